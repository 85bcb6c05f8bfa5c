// links: quillon_parsing
//
// quillon-parse FILE...
// Parses data files through the same road as the mail intake (".gz" files are unpacked first) and prints
// their records as CSV on standard output. A file that cannot be parsed is reported on standard
// error with its name in front; the exit code is 0 only when every file parsed.
// The file is read piece by piece (a large one through a mapped temporary copy), records come from
// the parser in batches and their lines go to a temporary spool file, which is copied to standard
// output once the file has parsed: a file failing at its last line prints nothing, and memory
// holds one batch and a few pages of the file, not the file or its records.

#include "parsing/DataFileReader.h"
#include "parsing/RecordCsvWriter.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QTextStream>

#include <unistd.h>

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
        QTemporaryFile spool;
        if (!spool.open()) {
            err << path << ": Could not open a spool file: " << spool.errorString() << '\n';
            return 1;
        }
        RecordCsvWriter spooled(spool.handle());
        RecordSink sink([&spooled](const RecordSink::Batch &batch) {
            for (const DataParser::ValueRec &r : batch)
                spooled.write(r);
        });
        const DataFileResult result = DataFileReader::read(input, sink);
        if (result.gunzipFailed) // the parser then got the packed bytes
            err << path << ": Could not gunzip file\n";
        if (result.gunzipTrailingData)
            err << path << ": Data after the last gzip member left out\n";
        if (!result.parsed) {
            err << path << ": " << result.errorText << '\n';
            allParsed = false;
            continue;
        }
        if (!spooled.flush() || !out.flush() || !copyToStdout(spool)) {
            err << path << ": Could not write the records\n";
            return 1;
        }
    }
    out.flush();
    err.flush();
    return allParsed ? 0 : 1;
}
