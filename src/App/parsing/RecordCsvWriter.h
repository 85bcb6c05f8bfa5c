#pragma once
// Value records as CSV lines (quillon-parse's output): time stamp in ISO 8601 with its offset,
// identifier, format name, value ('g', 15 digits), unit, state, increment, OBIS, description,
// serial number; texts quoted when they hold a comma, a quote or a line break (RFC 4180).
// Lines are formatted straight into one buffer (numbers with std::to_chars, ASCII texts copied
// as they are) and the buffer goes to the file descriptor when it is full, so writing keeps up
// with parsing. What records of one file repeat is formatted once: a text field the same shared
// string as in the record before (the same meter), and the offset of a local time seen before.

#include "parsing/ValueRec.h"

#include <QByteArray>
#include <QHash>
#include <QString>

class RecordCsvWriter
{
public:
    explicit RecordCsvWriter(int fd);
    ~RecordCsvWriter();

    static const char *header(); // the column line, with its line break

    void writeHeader();
    void write(const ValueRecTypes::ValueRec &record);
    // Writes out what is buffered; false when the descriptor refused it.
    bool flush();
    // Forgets what is buffered.
    void discard() { m_buffer.resize(0); }

private:
    // One text column: the last string written there (held, so its storage stays its own) and
    // its field text.
    struct TextColumn
    {
        QString text;
        QByteArray field;
    };
    // A local wall-clock time (milliseconds on the clock since 1970) and whether it is summer time.
    struct LocalKey
    {
        qint64 wallMsecs;
        bool daylight;
        bool operator==(const LocalKey &o) const { return wallMsecs == o.wallMsecs && daylight == o.daylight; }
    };
    friend size_t qHash(const LocalKey &k, size_t seed) { return qHashMulti(seed, k.wallMsecs, k.daylight); }
    static constexpr qsizetype MaxLocalOffsets = 1 << 16;

    void appendTime(const QDateTime &time);
    int localOffset(const QDateTime &time, qint64 wallMsecs);
    void appendText(TextColumn &column, const QString &text);
    void appendField(const QString &text);
    void appendNumber(double value);
    void appendInt(qint64 value);

    int m_fd;
    bool m_ok = true;
    QByteArray m_buffer;
    TextColumn m_iaks, m_unit, m_obis, m_description, m_serialNumber;
    QHash<LocalKey, int> m_localOffsets; // offset from UTC in seconds
};
