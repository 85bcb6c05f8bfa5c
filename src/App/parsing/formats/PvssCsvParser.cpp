// PVSS export: header lines name the points, descriptions and units column by column; every
// line that starts with a digit holds a time stamp and one value per column. Faulty lines and
// fields are skipped; the good values are delivered, and result 1 with the last fault's text
// tells the caller that the file was not clean.

#include "parsing/formats/FormatParsers.h"
#include "parsing/FieldReaders.h"

namespace FormatParsers {

namespace {

// The list a header line carries after its keyword; field 0 is normally the empty text before
// the first ";", so list index and data column agree.
QStringList headerList(const QString &line, qsizetype keywordLength)
{
    return line.mid(keywordLength).split(QLatin1Char(';'));
}

} // namespace

ParseResult parsePvssCsv(const QByteArray &data, QString &errorText, Records &values)
{
    errorText.clear();
    const qsizetype before = values.size();
    ParseResult result = ParseResult::Parsed;
    QStringList identifiers;   // point names with "_" turned into ":"
    QStringList descriptions;
    QStringList units;
    QByteArray buffer;
    DataParser::ValueRec rec;
    const QList<QByteArrayView> lines = FieldReaders::splitLines(data, buffer);
    for (const QByteArrayView raw : lines) {
        const QString line = QString::fromUtf8(raw.trimmed());
        if (line.isEmpty())
            continue;
        const char16_t first = line.at(0).unicode();
        if (first < '0' || first > '9') {
            if (line.startsWith(QLatin1String("DPName:"))) {
                identifiers = headerList(line, 7);
                for (QString &name : identifiers)
                    name.replace(QLatin1Char('_'), QLatin1Char(':'));
                FieldReaders::reserveRecordsForLines(values, lines.size(), identifiers.size(), data.size());
            } else if (line.startsWith(QLatin1String("Description:"))) {
                descriptions = headerList(line, 12);
            } else if (line.startsWith(QLatin1String("Unit:"))) {
                units = headerList(line, 5);
            }
            continue;
        }
        // A line that starts with a digit always splits into at least its time stamp field.
        const QList<QStringView> fields = QStringView(line).split(QLatin1Char(';'));
        FieldReaders::resetRecord(rec, FieldReaders::readTime(fields.at(0), u"yyyy-MM-dd HH:mm:ss", Qt::LocalTime));
        if (!rec.timestamp.isValid()) {
            errorText = QStringLiteral("Could not parse timestamp: ") + line;
            result = ParseResult::Faulty;
            continue;
        }
        rec.importType = DataParser::IMPTYPE_PVSS_CSV;
        for (qsizetype i = 1; i < fields.size(); ++i) {
            if (i >= identifiers.size()) {
                errorText = QStringLiteral("Field # out of range (no RDS): ") + line;
                result = ParseResult::Faulty;
                continue;
            }
            rec.iaks = identifiers.at(i);
            rec.unit = units.value(i);
            rec.description = descriptions.value(i);
            if (!FieldReaders::readNumber(fields.at(i), rec.value)) {
                errorText = QStringLiteral("Could not parse value: ") + line;
                result = ParseResult::Faulty;
                continue;
            }
            values.append(rec);
        }
    }
    if (values.size() > before || result == ParseResult::Faulty)
        return result;
    errorText = QStringLiteral("No data found");
    return ParseResult::NoData;
}

} // namespace FormatParsers
