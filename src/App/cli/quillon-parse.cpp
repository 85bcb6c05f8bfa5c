// links: quillon_parsing
//
// quillon-parse FILE...
// Parses data files through the same road as the mail intake (".gz" files are unpacked first) and prints
// their records as CSV on standard output. A file that cannot be parsed is reported on standard
// error with its name in front; the exit code is 0 only when every file parsed.

#include "parsing/DataFileReader.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

namespace {

// A CSV field, quoted when it holds a comma, a quote or a line break (RFC 4180).
QString csvField(const QString &text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

// ISO 8601 with the offset from UTC that the time stamp has, for example 2018-01-01T00:15:00+01:00.
QString isoTime(const QDateTime &time)
{
    if (!time.isValid())
        return QString();
    const int offset = time.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + (offset < 0 ? u'-' : u'+')
        + QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QLatin1Char('0')).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString csvLine(const DataParser::ValueRec &r)
{
    const QStringList fields{
        isoTime(r.timestamp),
        csvField(r.iaks),
        DataParser::configName(r.importType),
        QString::number(r.value, 'g', 15),
        csvField(r.unit),
        QString::number(r.state),
        r.increment ? QStringLiteral("true") : QStringLiteral("false"),
        csvField(r.obis),
        csvField(r.description),
        csvField(r.serialNumber),
    };
    return fields.join(u',');
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList files = app.arguments().mid(1);
    if (files.isEmpty()) {
        err << "Usage: quillon-parse FILE...\n"
               "Parses meter data files (.gz files are unpacked first) and prints their values as CSV.\n";
        return 2;
    }

    bool allParsed = true;
    out << "timestamp,iaks,importType,value,unit,state,increment,obis,description,serialNumber\n";
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
        if (result.gunzipTrailingData)
            err << path << ": Data after the last gzip member left out\n";
        if (!result.parsed) {
            err << path << ": " << result.errorText << '\n';
            allParsed = false;
            continue;
        }
        for (const DataParser::ValueRec &r : result.records)
            out << csvLine(r) << '\n';
    }
    out.flush();
    err.flush();
    return allParsed ? 0 : 1;
}
