// SILOVEDA daily export: a header whose fields 1 to 3 name the energy, volume and E9 columns
// with their units in square brackets, then one line per day and meter (day, three values,
// meter number in field 5). The first faulty line ends the file.

#include "parsing/formats/FormatParsers.h"
#include "parsing/FieldReaders.h"
#include "parsing/ParseHelpers.h"

#include <QRegularExpression>

namespace FormatParsers {

namespace {

// The unit of a value column: what the pattern captures between the last "[" that a "]" follows
// and the last "]" of the header field; empty without brackets.
QString bracketUnit(const QString &headerField)
{
    static const QRegularExpression unitPattern(QStringLiteral(".*\\[(?<unit>.*)\\].*"));
    return unitPattern.match(headerField).captured(QStringLiteral("unit"));
}

} // namespace

ParseResult parseSilovedaCsv(const QByteArray &data, QString &errorText, Records &values)
{
    static const QString valueNames[3] = {QStringLiteral("ENERGIE"), QStringLiteral("VOLUMEN"), QStringLiteral("E9")};
    errorText.clear();
    const QChar separator = QLatin1Char(';');
    const QChar quote = QLatin1Char('"');
    QByteArray buffer;
    const QList<QByteArrayView> lines = FieldReaders::splitLines(data, buffer);
    const QStringList header = ParseHelpers::splitQuoted(QString::fromUtf8(lines.at(0)), separator, quote);
    if (header.size() < 6) {
        errorText = QStringLiteral("Not enough fields");
        return ParseResult::Faulty;
    }
    const QString units[3] = {bracketUnit(header.at(1)), bracketUnit(header.at(2)), bracketUnit(header.at(3))};

    const qsizetype before = values.size();
    FieldReaders::reserveRecordsForLines(values, lines.size(), 3, data.size());
    DataParser::ValueRec rec;
    QString lastDay;
    QDateTime timestamp;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines.at(i));
        if (line.isEmpty())
            continue;
        const QStringList fields = ParseHelpers::splitQuoted(line, separator, quote);
        if (fields.size() < 6) {
            errorText = QStringLiteral("Not enough data fields: ") + line;
            return ParseResult::Faulty;
        }
        if (fields.at(0).isEmpty())
            continue;
        // Each line holds the readings at the end of its day; the lines of one day follow each other.
        if (fields.at(0) != lastDay) {
            lastDay = fields.at(0);
            timestamp = FieldReaders::readTime(QString(lastDay + QLatin1String(" 23:45:00")), u"dd.MM.yyyy hh:mm:ss",
                                            Qt::LocalTime);
        }
        if (!timestamp.isValid()) {
            errorText = QStringLiteral("Could not parse timestamp on line '") + line + QStringLiteral("' (") + fields.at(0)
                        + QLatin1Char(')');
            return ParseResult::Faulty;
        }
        const QString &meter = fields.at(5);
        const QString prefix = QStringLiteral("SILOVEDA:") + meter + QLatin1Char(':');
        bool failed = false;
        for (int j = 0; j < 3; ++j) {
            FieldReaders::resetRecord(rec, timestamp);
            rec.importType = DataParser::IMPTYPE_SILOVEDA_CSV;
            rec.iaks = prefix + valueNames[j];
            rec.serialNumber = meter;
            rec.unit = units[j];
            const QString &valueText = fields.at(1 + j);
            if (valueText.isEmpty())
                continue;
            if (!FieldReaders::readNumber(valueText, rec.value)) {
                errorText = QStringLiteral("Could not parse value %1 '%2' on line '%3'").arg(QString::number(j), valueText, line);
                failed = true;
                continue;
            }
            values.append(rec);
        }
        if (failed)
            return ParseResult::Faulty;
    }
    if (values.size() == before) {
        errorText = QStringLiteral("No data found");
        return ParseResult::NoData;
    }
    return ParseResult::Parsed;
}

} // namespace FormatParsers
