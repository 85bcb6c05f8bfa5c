#include "parsing/formats/FormatParsers.h"
#include "parsing/FieldReaders.h"

#include <QVarLengthArray>

using namespace FieldReaders;

namespace FormatParsers {

ParseResult parseSingleMeterpointCsv(const QByteArray &data, QString &errorText, Records &values, const QString &fileName)
{
    const QByteArray clean = withoutCarriageReturns(data);
    const QList<QByteArrayView> lines = splitLines(clean);

    QString name = fileName;
    if (name.toUpper().endsWith(QLatin1String(".CSV")))
        name.chop(4);

    bool accepted = false;
    QVarLengthArray<QByteArrayView, 8> fields;
    for (qsizetype index = 0; index < lines.size(); ++index) {
        const QByteArrayView line = lines.at(index);
        if (line.isEmpty())
            continue;
        // time;value or two leading texts;time;value
        splitView(line, ';', fields);
        QDateTime timestamp;
        double value = 0.0;
        bool valid = fields.size() == 2 || fields.size() == 4;
        if (valid) {
            const qsizetype timeField = fields.size() == 2 ? 0 : 2;
            timestamp = parseDateTime(fields.at(timeField), "dd.MM.yyyy HH:mm:ss", Qt::UTC);
            valid = timestamp.isValid() && parseCDouble(fields.at(timeField + 1).trimmed(), value);
        }
        if (!valid) {
            if (!accepted)
                return ParseResult::NotThisFormat;
            if (errorText.isEmpty())
                errorText = QStringLiteral("Invalid format on line %1 :").arg(index + 1) + decodeText(line);
            return ParseResult::Faulty;
        }
        accepted = true;

        DataParser::ValueRec rec;
        DataParser::resetRecord(rec);
        rec.timestamp = timestamp;
        rec.iaks = name;
        rec.importType = DataParser::IMPTYPE_SINGLEMETERPT_CSV;
        rec.increment = true;
        rec.value = value;
        values.append(rec);
    }
    // Every accepted line gives a record or fails the file, so an accepted file is never empty.
    return accepted ? ParseResult::Parsed : ParseResult::NotThisFormat;
}

} // namespace FormatParsers
