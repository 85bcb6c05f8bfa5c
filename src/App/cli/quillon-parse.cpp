// links: quillon_parsing
//
// quillon-parse FILE...
// Parses data files through the same road as the mail intake (".gz" files are unpacked first) and prints
// their records as CSV on standard output. A file that cannot be parsed is reported on standard
// error with its name in front; the exit code is 0 only when every file parsed.

#include "parsing/DataFileReader.h"
#include "parsing/RecordCsvWriter.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <unistd.h>

int main(int argc, char *argv[])
{
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
        input.bytes = file.readAll();
        const DataFileResult result = DataFileReader::read(input);
        if (result.gunzipFailed) // the parser then got the packed bytes
            err << path << ": Could not gunzip file\n";
        if (!result.parsed) {
            err << path << ": " << result.errorText << '\n';
            allParsed = false;
            continue;
        }
        for (const DataParser::ValueRec &r : result.records)
            out.write(r);
    }
    out.flush();
    err.flush();
    return allParsed ? 0 : 1;
}
