// links: quillon_parsing
//
// quillon-parse FILE...
// Parses data files through the same road as the mail intake (".gz" files are unpacked first) and prints
// their records as CSV on standard output. A file that cannot be parsed is reported on standard
// error with its name in front; the exit code is 0 only when every file parsed.
// The file is read piece by piece (a large one through a mapped temporary copy) and records come
// from the parser in batches. Their lines go straight to standard output when that is a regular
// file, which is cut back to where the file's lines began when it fails; to a pipe or terminal
// they go through a temporary spool file copied out once the file has parsed. Either way a file
// failing at its last line prints nothing, and memory holds one batch and a few pages of the
// file, not the file or its records.

#include "parsing/DataFileReader.h"
#include "parsing/RecordCsvWriter.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QTextStream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace {

// Appends the spool's bytes to standard output; false when either side fails.
bool copyToStdout(QFile &spool)
{
    if (!spool.seek(0))
        return false;
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    for (qint64 n = 0; (n = spool.read(chunk.data(), chunk.size())) > 0;) {
        for (const char *p = chunk.constData(); n > 0;) {
            const ssize_t written = ::write(STDOUT_FILENO, p, size_t(n));
            if (written <= 0)
                return false;
            p += written;
            n -= written;
        }
    }
    return true;
}

// Where the lines of one data file go until it has parsed.
class FileLines
{
public:
    // out: standard output's writer, flushed before each file.
    explicit FileLines(RecordCsvWriter &out) : m_out(out)
    {
        struct stat info {};
        m_straight = fstat(STDOUT_FILENO, &info) == 0 && S_ISREG(info.st_mode);
    }

    // Starts a file; false with errorText when no spool file can be opened.
    bool begin()
    {
        if (!m_out.flush())
            return fail(QStringLiteral("Could not write the records"));
        if (m_straight) {
            // Appended output (">>") starts at the end, whatever the descriptor's offset says.
            const bool append = fcntl(STDOUT_FILENO, F_GETFL) & O_APPEND;
            m_start = lseek(STDOUT_FILENO, 0, append ? SEEK_END : SEEK_CUR);
            return true;
        }
        m_spooled.reset(); // before its file goes
        m_spool = std::make_unique<QTemporaryFile>();
        if (!m_spool->open())
            return fail(QStringLiteral("Could not open a spool file: ") + m_spool->errorString());
        m_spooled = std::make_unique<RecordCsvWriter>(m_spool->handle());
        return true;
    }
    RecordCsvWriter &writer() { return m_straight ? m_out : *m_spooled; }
    // The file parsed: its lines stay, or are copied out of the spool.
    bool keep()
    {
        if (m_straight ? m_out.flush() : m_spooled->flush() && copyToStdout(*m_spool))
            return true;
        return fail(QStringLiteral("Could not write the records"));
    }
    // The file failed: its lines go.
    void drop()
    {
        writer().discard();
        if (m_straight && ftruncate(STDOUT_FILENO, m_start) == 0)
            lseek(STDOUT_FILENO, m_start, SEEK_SET);
    }
    QString errorText() const { return m_errorText; }

private:
    bool fail(const QString &text)
    {
        m_errorText = text;
        return false;
    }

    RecordCsvWriter &m_out;
    bool m_straight = false;
    off_t m_start = 0;
    std::unique_ptr<QTemporaryFile> m_spool;
    std::unique_ptr<RecordCsvWriter> m_spooled;
    QString m_errorText;
};

} // namespace

int main(int argc, char *argv[])
{
    // Without TZ the C library checks /etc/localtime again on every local-time conversion (two
    // per record); naming the same file once makes the zone load once for this short run.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList files = app.arguments().mid(1);
    if (files.isEmpty()) {
        err << "Usage: quillon-parse FILE...\n"
               "Parses meter data files (.gz files are unpacked first) and prints their values as CSV.\n";
        return 2;
    }

    bool allParsed = true;
    RecordCsvWriter out(STDOUT_FILENO);
    out.writeHeader();
    FileLines lines(out);
    for (const QString &path : files) {
        const QString name = QFileInfo(path).fileName();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            err << path << ": Could not open file: " << file.errorString() << '\n';
            allParsed = false;
            continue;
        }
        DataFileInput input;
        input.name = name;
        input.parserFileName = name;
        input.device = &file;
        if (!lines.begin()) {
            err << path << ": " << lines.errorText() << '\n';
            return 1;
        }
        RecordSink sink([&lines](const RecordSink::Batch &batch) {
            for (const DataParser::ValueRec &r : batch)
                lines.writer().write(r);
        });
        const DataFileResult result = DataFileReader::read(input, sink);
        if (result.gunzipFailed) // the parser then got the packed bytes
            err << path << ": Could not gunzip file\n";
        if (result.gunzipTrailingData)
            err << path << ": Data after the last gzip member left out\n";
        if (!result.parsed) {
            lines.drop();
            err << path << ": " << result.errorText << '\n';
            allParsed = false;
            continue;
        }
        if (!lines.keep()) {
            err << path << ": " << lines.errorText() << '\n';
            return 1;
        }
    }
    out.flush();
    err.flush();
    return allParsed ? 0 : 1;
}
