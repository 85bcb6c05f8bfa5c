// Simple CSV 3: a title line naming the columns, free header lines (line 4 may be the unit
// line), then one line per time stamp with a value per column. The first faulty data line ends
// the file.

#include "parsing/formats/FormatParsers.h"
#include "parsing/FieldReaders.h"

namespace FormatParsers {

ParseResult parseSimpleCsv3(const QByteArray &data, QString &errorText, Records &values)
{
    errorText.clear();
    const qsizetype before = values.size();
    QByteArray buffer;
    const QList<QByteArrayView> lines = FieldReaders::splitLines(data, buffer);
    const QChar separator = QLatin1Char(';');

    QStringList descriptions;   // trimmed titles
    QStringList identifiers;    // the same with "'" turned into ":"
    for (const QString &title : QString::fromUtf8(lines.at(0)).split(separator)) {
        descriptions << title.trimmed();
        identifiers << QString(descriptions.last()).replace(QLatin1Char('\''), QLatin1Char(':'));
    }
    FieldReaders::reserveRecordsForLines(values, lines.size(), identifiers.size(), data.size());
    QStringList units;
    bool dataMet = false;
    DataParser::ValueRec rec;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines.at(i));
        if (line.trimmed().isEmpty())
            continue;
        const QList<QStringView> fields = QStringView(line).split(separator);
        FieldReaders::resetRecord(rec, FieldReaders::readTime(fields.at(0).trimmed(), u"dd.MM.yyyy HH:mm", Qt::LocalTime));
        if (!rec.timestamp.isValid()) {
            if (dataMet) {
                errorText = QStringLiteral("Could not parse timestamp: ") + line;
                return ParseResult::Faulty;
            }
            if (i == 4) {
                units.clear();
                for (const QStringView unit : fields)
                    units << unit.trimmed().toString();
            }
            continue;
        }
        dataMet = true;
        rec.importType = DataParser::IMPTYPE_SIMPLE_CSV_3;
        bool faulty = false;
        for (qsizetype k = 1; k < fields.size(); ++k) {
            if (k >= identifiers.size()) {
                errorText = QStringLiteral("Field # out of range: ") + line;
                faulty = true;
                continue;
            }
            rec.iaks = identifiers.at(k);
            rec.description = descriptions.at(k);
            rec.unit = units.value(k);
            const QStringView valueText = fields.at(k).trimmed();
            if (valueText.isEmpty() || valueText == QLatin1String("?"))
                continue;
            if (!FieldReaders::readNumber(valueText, rec.value)) {
                errorText = QStringLiteral("Could not parse value: ") + line;
                faulty = true;
                continue;
            }
            values.append(rec);
        }
        if (faulty)
            return ParseResult::Faulty;
    }
    if (values.size() == before) {
        errorText = QStringLiteral("No data found");
        return ParseResult::NoData;
    }
    return ParseResult::Parsed;
}

} // namespace FormatParsers
