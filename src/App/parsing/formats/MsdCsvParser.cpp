// MSD export of one energy channel: five header lines starting with ";;" (meter, description,
// two unused, register), then one reading per line (date, time in UTC, energy of the interval).
// The first faulty reading ends the file.

#include "parsing/formats/FormatParsers.h"
#include "parsing/FieldReaders.h"

namespace FormatParsers {

ParseResult parseMsdCsv(const QByteArray &data, QString &errorText, Records &values)
{
    errorText.clear();
    QByteArray buffer;
    const QList<QByteArrayView> lines = FieldReaders::splitLines(data, buffer);
    if (lines.size() < 5)
        return ParseResult::NotThisFormat;
    const QChar separator = QLatin1Char(';');
    QString headerTexts[5];
    bool headerFailed = false;
    for (int i = 0; i < 5; ++i) {
        const QString line = QString::fromUtf8(lines.at(i).trimmed());
        const QStringList fields = line.split(separator);
        if (!line.startsWith(QLatin1String(";;")) || fields.size() < 3)
            headerFailed = true;
        else
            headerTexts[i] = fields.at(2).trimmed();
    }
    if (headerFailed)
        return ParseResult::NotThisFormat;
    const QString &meter = headerTexts[0];
    const QString &description = headerTexts[1];
    const QString &registerId = headerTexts[4];
    // Without meter or register the block names no channel: nothing to read, and no fault either.
    if (meter.isEmpty() || registerId.isEmpty())
        return ParseResult::Parsed;
    const QString identifier = meter + QLatin1Char(':') + registerId;
    const QString unit = QStringLiteral("kWh");

    const qsizetype before = values.size();
    FieldReaders::reserveRecordsForLines(values, lines.size(), 1, data.size());
    DataParser::ValueRec rec;
    for (qsizetype i = 5; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines.at(i).trimmed());
        if (line.isEmpty())
            continue;
        const QList<QStringView> fields = QStringView(line).split(separator);
        if (fields.size() < 3) {
            errorText = QStringLiteral("Not enough data: ") + line;
            return ParseResult::Faulty;
        }
        const QString when = FieldReaders::dateAndTime(fields.at(0).trimmed(), fields.at(1).trimmed());
        FieldReaders::resetRecord(rec, FieldReaders::readTime(when, u"dd.MM.yyyy HH:mm:ss", Qt::UTC));
        if (!rec.timestamp.isValid()) {
            errorText = QStringLiteral("Could not parse timestamp: ") + line;
            return ParseResult::Faulty;
        }
        rec.importType = DataParser::IMPTYPE_MSD_CSV;
        rec.iaks = identifier;
        rec.description = description;
        rec.serialNumber = meter;
        rec.unit = unit;
        rec.increment = true;
        const QStringView valueText = fields.at(2).trimmed();
        if (valueText.isEmpty()) {
            errorText = QStringLiteral("Empty value: ") + line;
            return ParseResult::Faulty;
        }
        if (!FieldReaders::readNumber(valueText, rec.value)) {
            errorText = QStringLiteral("Could not parse value: ") + line;
            return ParseResult::Faulty;
        }
        values.append(rec);
    }
    if (values.size() == before) {
        errorText = QStringLiteral("No data found");
        return ParseResult::NoData;
    }
    return ParseResult::Parsed;
}

} // namespace FormatParsers
