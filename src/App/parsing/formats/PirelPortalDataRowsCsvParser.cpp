// Pirel-Portal data rows: two or three title lines starting with ";" (column names, optional
// identifiers, units), then one line per ISO 8601 time stamp with a value per column. Every file
// that starts with ";" comes here; one of another layout is declined with its own text. The first
// faulty data line ends the file.

#include "parsing/formats/FormatParsers.h"
#include "parsing/FieldReaders.h"
#include "parsing/ParseHelpers.h"

namespace FormatParsers {

ParseResult parsePirelPortalDataRowsCsv(const QByteArray &data, QString &errorText, Records &values)
{
    errorText.clear();
    const QChar separator = QLatin1Char(';');
    const QChar quote = QLatin1Char('"');
    QByteArray buffer;
    const QList<QByteArrayView> lines = FieldReaders::splitLines(data, buffer);
    if (lines.size() < 2 || !lines.at(1).startsWith(';')) {
        // Kept as the reason: the caller reports it instead of its generic text.
        errorText = QStringLiteral("Can not be IMPTYPE_PIRELPORTAL_DATAROW_CSV");
        return ParseResult::NotThisFormat;
    }
    auto titleLine = [&](qsizetype i) { return ParseHelpers::splitQuoted(QString::fromUtf8(lines.at(i)), separator, quote); };
    const QStringList names = titleLine(0);   // line A: names, also the descriptions
    QStringList identifiers;                  // line C, when there are three title lines
    QStringList units;                        // line B
    qsizetype first = 2;
    if (lines.size() >= 3 && lines.at(2).startsWith(';')) {
        identifiers = titleLine(1);
        units = titleLine(2);
        first = 3;
    } else {
        units = titleLine(1);
    }

    const qsizetype before = values.size();
    FieldReaders::reserveRecordsForLines(values, lines.size(), names.size(), data.size());
    DataParser::ValueRec rec;
    for (qsizetype i = first; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines.at(i));
        const QStringList fields = ParseHelpers::splitQuoted(line, separator, quote);
        if (fields.size() < 2)
            continue;
        // A zone designator in the text is honoured; without one the time is local.
        FieldReaders::resetRecord(rec, FieldReaders::isoTime(fields.at(0), Qt::LocalTime));
        if (!rec.timestamp.isValid()) {
            errorText = QStringLiteral("Could not parse timestamp: %1 (%2)").arg(fields.at(0), line);
            return ParseResult::Faulty;
        }
        rec.importType = DataParser::IMPTYPE_PIRELPORTAL_DATAROW_CSV;
        bool faulty = false;
        for (qsizetype k = 1; k < fields.size(); ++k) {
            const QString identifier = identifiers.value(k).isEmpty() ? names.value(k) : identifiers.at(k);
            if (identifier.isEmpty()) {
                errorText = QStringLiteral("No title found for field ") + QString::number(k);
                faulty = true;
                continue;
            }
            rec.iaks = identifier;
            rec.unit = units.value(k);
            rec.increment = FieldReaders::isIntervalUnit(rec.unit);
            rec.description = names.value(k);
            const QString valueText = fields.at(k).trimmed();
            if (valueText.isEmpty())
                continue;
            if (!FieldReaders::readNumber(valueText, rec.value)) {
                errorText = QStringLiteral("Could not parse value: %1 (%2/%3)").arg(valueText, fields.at(0), line);
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
