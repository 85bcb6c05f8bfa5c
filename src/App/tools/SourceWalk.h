#pragma once
// The walk over the source folders of the offline tools (import, export to SQLite, search): every
// file below a folder is read, a saved mail (".eml") has its attachments extracted, every data file
// goes through DataFileReader, and the tool's handler gets the records batch by batch as the parser
// goes, then the file's outcome. A data file is read piece by piece, so no file is held whole in
// memory, nor are its records (a saved mail is decoded whole; its size has the same bound). The
// walk runs in the calling tool's thread and only increments the tool's counters.

#include "MailSecurity/MIME.h"
#include "parsing/DataParser.h"
#include "parsing/RecordSink.h"

#include <QList>

class QFile;
#include <QSet>
#include <QString>

#include <functional>

// What one source file gave.
struct SourceFile
{
    enum class Outcome {
        Ok,            // records parsed (a mail: every attachment parsed)
        OpenFailed,    // unreadable or larger than the file limit
        DecodeFailed,  // the mail could not be decoded (errorText: the component's error)
        MailError,     // the attachment walk failed (mailCode)
        NoAttachment,  // a mail without a data-file attachment
        ParseFailed,   // a data file the parser refused (errorText: the parser's text)
    };
    QString path;
    bool isMail = false;
    Outcome outcome = Outcome::Ok;
    QString errorText;
    int mailCode = 0;
    QList<MIME::Header> mailHeaders;
};

// A tool's side of the walk. For each file: fileStarted once its data is about to be read, then for
// each data file or attachment dataStarted, its records in file order batch by batch, dataEnded;
// at last fileEnded with the outcome, also for a file that never started (it could not be read or
// decoded). A handler that keeps only whole files drops what a refused data file gave.
class SourceHandler
{
public:
    virtual ~SourceHandler() = default;
    virtual void fileStarted(const SourceFile &file) { Q_UNUSED(file) }
    virtual void dataStarted(const SourceFile &file) { Q_UNUSED(file) }
    // The handler may change the records (naming them) but not keep references into the batch.
    virtual void records(const SourceFile &file, RecordSink::Batch &batch) = 0;
    virtual void dataEnded(const SourceFile &file, bool parsed) { Q_UNUSED(file) Q_UNUSED(parsed) }
    virtual void fileEnded(const SourceFile &file) = 0;
};

struct WalkCounters
{
    qint64 files = 0;
    qint64 failed = 0;
    qint64 skipped = 0;
    qint64 records = 0;
};

class SourceWalk
{
public:
    enum class Tool { Import, Search, Export };
    using InfoSink = std::function<void(const QString &)>;

    // Result codes of the attachment walk (MimePartWalk, shared with the mail intake).
    static constexpr int MailParseError = -43;
    static constexpr int MailMultipartError = -61;

    SourceWalk(Tool tool, WalkCounters &counters, InfoSink info);

    // Search: entries (files and folders) whose name does not contain the text are skipped.
    void setNameFilter(const QString &text) { m_nameFilter = text; }
    // Export: files for which this returns true are counted as skipped and not read.
    void setSkipTest(std::function<bool(const QString &path)> test) { m_skip = std::move(test); }

    // Visits every file below the folder, in file-system order, and hands each outcome to the
    // handler. An empty folder text names no folder.
    void walk(QString folder, SourceHandler &handler);

private:
    void walkFolder(const QString &folder, SourceHandler &handler, QSet<QString> &visited);
    // Reads one file (mail or data file) into the handler; counts it as failed when it fails.
    void processFile(const QString &path, SourceHandler &handler);
    void processMail(QFile &in, SourceFile &file, SourceHandler &handler);
    void processDataFile(QFile &in, SourceFile &file, SourceHandler &handler);
    QString progressText(qint64 position, qsizetype entries, const QString &folder, const QString &path) const;

    Tool m_tool;
    WalkCounters &m_counters;
    InfoSink m_info;
    QString m_nameFilter;
    std::function<bool(const QString &)> m_skip;
    RecordSink m_records; // the data files' batches, one after the other
};
