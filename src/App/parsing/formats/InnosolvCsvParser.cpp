// Innosolv export: nine header lines (line 1 "Creation;", lines 6 to 8 the meter points, OBIS
// codes and units by column), then one line per time stamp. A value column may be followed by a
// status column (OBIS title "S") that holds the status letter of that value. The first faulty
// data line ends the file.

#include "parsing/formats/FormatParsers.h"
#include "parsing/FieldReaders.h"

namespace FormatParsers {

namespace {

// State of a status letter; letters are case-sensitive, anything unknown is normal.
qint32 statusState(QStringView letter)
{
    if (letter == QLatin1String("E"))
        return 2001;
    if (letter == QLatin1String("V"))
        return 2002;
    if (letter == QLatin1String("G"))
        return 2003;
    if (letter == QLatin1String("F"))
        return 2004;
    return 0;
}

} // namespace

ParseResult parseInnosolvCsv(const QByteArray &data, QString &errorText, Records &values)
{
    errorText.clear();
    QByteArray buffer;
    const QList<QByteArrayView> lines = FieldReaders::splitLines(data, buffer);
    if (lines.size() < 2) {
        errorText = QStringLiteral("Not enough lines");
        return ParseResult::Faulty;
    }
    if (!lines.at(1).startsWith("Creation;")) {
        // Kept as the reason: the caller reports it instead of its generic text.
        errorText = QStringLiteral("No Innosolv device");
        return ParseResult::NotThisFormat;
    }
    if (lines.size() <= 8) {
        errorText = QStringLiteral("Not enough lines for titles");
        return ParseResult::Faulty;
    }
    const QChar sep = QLatin1Char(';');
    const QStringList meterPoints = QString::fromUtf8(lines.at(6)).split(sep);
    const QStringList obisCodes = QString::fromUtf8(lines.at(7)).split(sep);
    const QStringList units = QString::fromUtf8(lines.at(8)).split(sep);

    const qsizetype before = values.size();
    FieldReaders::reserveRecordsForLines(values, lines.size(), meterPoints.size(), data.size());
    DataParser::ValueRec rec;
    for (qsizetype i = 9; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines.at(i));
        // One final ";" closes the line rather than opening an empty column.
        const QList<QStringView> fields = (line.endsWith(sep) ? QStringView(line).chopped(1) : QStringView(line)).split(sep);
        if (fields.size() < 2 || fields.at(0).isEmpty())
            continue;
        FieldReaders::resetRecord(rec, FieldReaders::readTime(fields.at(0), u"dd.MM.yyyy HH:mm", Qt::LocalTime));
        if (!rec.timestamp.isValid()) {
            errorText = QStringLiteral("Could not parse timestamp (%1): %2").arg(fields.at(0).toString(), line);
            return ParseResult::Faulty;
        }
        rec.importType = DataParser::IMPTYPE_INNOSOLV_CSV;
        qsizetype k = 1;
        while (k < fields.size()) {
            if (k >= meterPoints.size()) {
                errorText = QStringLiteral("Field index (%1) out of range (meterpoints): %2").arg(QString::number(k), line);
                return ParseResult::Faulty;
            }
            if (k >= obisCodes.size()) {
                errorText = QStringLiteral("Field index (%1) out of range (obis): %2").arg(QString::number(k), line);
                return ParseResult::Faulty;
            }
            if (k >= units.size()) {
                errorText = QStringLiteral("Field index (%1) out of range (units): %2").arg(QString::number(k), line);
                return ParseResult::Faulty;
            }
            rec.iaks = meterPoints.at(k);
            rec.obis = obisCodes.at(k);
            rec.unit = units.at(k);
            if (!FieldReaders::readNumber(fields.at(k), rec.value)) {
                errorText = QStringLiteral("Could not parse value (%1) on field index %2: %3")
                                .arg(fields.at(k).toString(), QString::number(k), line);
                return ParseResult::Faulty;
            }
            rec.increment = FieldReaders::isIntervalUnit(rec.unit);
            // The record is reset once per line, yet the state belongs to this column alone: a
            // column without a status column is normal, whatever an earlier column carried.
            rec.state = 0;
            if (k + 1 < fields.size() && k + 1 < obisCodes.size() && obisCodes.at(k + 1) == QLatin1String("S")) {
                rec.state = statusState(fields.at(k + 1));
                k += 2;
            } else {
                k += 1;
            }
            values.append(rec);
        }
    }
    if (values.size() == before) {
        errorText = QStringLiteral("No data found");
        return ParseResult::NoData;
    }
    return ParseResult::Parsed;
}

} // namespace FormatParsers
