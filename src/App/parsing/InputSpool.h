#pragma once
// The bytes of one data file or attachment on their way to the parser. Small inputs stay in
// memory. Past MemoryBytes the bytes go on into an unnamed temporary file (in the temporary
// folder, TMPDIR), which is mapped read-only once complete. While the parser reads it, the pages it
// touched are given back every few megabytes (ParsedPages), so a file of hundreds of megabytes costs
// the process a few megabytes of resident memory instead of its size. The process's own copy also
// keeps the parser safe from a source file that another program shortens meanwhile.

#include <QByteArray>
#include <QString>

class QIODevice;

class InputSpool
{
public:
    static constexpr qint64 MemoryBytes = 16LL * 1024 * 1024;

    explicit InputSpool(qint64 memoryBytes = MemoryBytes) : m_memoryBytes(memoryBytes) {}
    ~InputSpool();
    InputSpool(const InputSpool &) = delete;
    InputSpool &operator=(const InputSpool &) = delete;

    // Takes bytes already in memory as the whole input (shared, not copied).
    void adopt(const QByteArray &bytes);
    // Appends bytes; false when the temporary file cannot take them (errorText says why).
    bool append(const char *data, qint64 size);
    // Copies what the device has left; false on a read or write failure, or when there is more
    // than maxBytes in all (tooLarge).
    bool appendFrom(QIODevice &device, qint64 maxBytes);
    // Maps a spilled input; false when that fails. Call once after the last append.
    bool finish();
    // Drops everything appended, to start again.
    void clear();

    // The whole input; valid while the spool lives.
    QByteArray bytes() const;
    qint64 size() const { return m_size; }
    bool spilled() const { return m_fd >= 0; }
    // Gives the pages of the mapping back to the kernel; they are read again from the file when
    // touched again, so this never changes what bytes() shows.
    void releaseParsedPages() const;
    QString errorText() const { return m_errorText; }
    bool tooLarge() const { return m_tooLarge; }

private:
    bool spill();
    bool fail(const QString &what);
    void unmap();

    qint64 m_memoryBytes;
    QByteArray m_memory;
    int m_fd = -1;
    void *m_map = nullptr;
    qint64 m_size = 0;
    QString m_errorText;
    bool m_tooLarge = false;
};

// While it lives, the spool is the one this thread parses: ParsedPages::release gives its pages back.
class ParsedSpoolScope
{
public:
    explicit ParsedSpoolScope(const InputSpool &spool);
    ~ParsedSpoolScope();
    ParsedSpoolScope(const ParsedSpoolScope &) = delete;
    ParsedSpoolScope &operator=(const ParsedSpoolScope &) = delete;

private:
    const InputSpool *m_previous;
};

// The parsers' scanning loops and the record batches report their progress here, so that the pages
// of a spooled input never pile up, however a parser walks it (several first find every line or
// segment, then read them). Without a spool being parsed in this thread nothing happens.
namespace ParsedPages {
inline constexpr qint64 StepBytes = 4LL * 1024 * 1024;
// Gives the pages of the spool parsed in this thread back now.
void release();

// Gives them back each time a loop has gone StepBytes further.
class Stepper
{
public:
    void at(qint64 position)
    {
        if (position >= m_next) {
            release();
            m_next = position + StepBytes;
        }
    }

private:
    qint64 m_next = StepBytes;
};
} // namespace ParsedPages
