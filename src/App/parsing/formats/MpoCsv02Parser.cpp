#include "parsing/ParseHelpers.h"
#include "parsing/formats/FormatParsers.h"
#include "parsing/FieldReaders.h"

using namespace FieldReaders;

// MPO CSV 02: one value per fixed-column line. Character positions (0-based) of a line:
//
//   0-13    end of the interval, yyyyMMddhhmmss
//   14-16   its zone offset in whole hours, signed ("+01", "-05", " 02"), -12 to +14
//   17-30   start of the interval, yyyyMMddhhmmss
//   31-33   its zone offset, as above
//   34-49   record kind (not used)
//   50-81   device text (meter number or name)          -> serialNumber, identifier part 1
//   82-98   channel code, OBIS in any of the written forms "1.1.1.29.0.255", "1-1:1.29.0*255"
//   99-133  value, "," or "." as decimal point
//   134-    channel text                                 -> description
//
// Only lines longer than 133 characters are data lines (header and trailer lines are shorter).
// A time "20240101001500+01" is the wall-clock time of a zone one hour ahead of UTC, so the
// instant is the time read as UTC minus the offset; the record carries it in local time.
//
// The channel code becomes the OBIS form A-B:C.D.E (with "*F" appended when a sixth group is
// present and is not 255); the unit and the increment flag follow from that code as for every
// OBIS-coded format. A code of fewer than five groups is kept as written, without unit.
// The identifier is the device text and the OBIS form with "-" and ":" written as ".", as in
// MPO CSV 01 ("DEVICE 4711:1.1.1.29.0").
// State 5001 marks a line whose interval is implausible: end minus start must be a positive
// whole number of minutes of at most one day (an unreadable start also fails the check).
// The parser declines when no line is long enough or when the first long line has no valid
// end time and zone; after that it owns the file.

namespace FormatParsers {

namespace {

constexpr qsizetype MinimumLength = 134;

// The instant of a time column and its zone column; invalid when either is unreadable.
QDateTime zonedTime(const QString &line, qsizetype timePos, qsizetype zonePos)
{
    const QByteArray timeText = QStringView(line).mid(timePos, 14).toLatin1();
    const QDateTime wallClock = parseDateTime(timeText, "yyyyMMddhhmmss", Qt::UTC);
    bool ok = false;
    const int zoneHours = QStringView(line).mid(zonePos, 3).trimmed().toInt(&ok);
    if (!wallClock.isValid() || !ok || zoneHours < -12 || zoneHours > 14)
        return QDateTime();
    return wallClock.addSecs(-qint64(zoneHours) * 3600);
}

QString obisForm(const QString &channel)
{
    QString dotted = channel;
    dotted.replace(u'-', u'.').replace(u':', u'.').replace(u'*', u'.');
    const QStringList groups = dotted.split(u'.');
    if (groups.size() < 5)
        return channel;
    QString obis = groups.at(0) + u'-' + groups.at(1) + u':' + groups.at(2) + u'.' + groups.at(3) + u'.' + groups.at(4);
    if (groups.size() >= 6 && !groups.at(5).isEmpty() && groups.at(5) != QLatin1String("255"))
        obis += u'*' + groups.at(5);
    return obis;
}

bool plausibleInterval(const QDateTime &start, const QDateTime &end)
{
    if (!start.isValid())
        return false;
    const qint64 seconds = start.secsTo(end);
    return seconds > 0 && seconds <= 86400 && seconds % 60 == 0;
}

} // namespace

ParseResult parseMpoCsv02(const QByteArray &data, QString &errorText, Records &values)
{
    const QByteArray clean = withoutCarriageReturns(data);
    const QList<QByteArrayView> lines = splitLines(clean);
    bool accepted = false;
    for (qsizetype index = 0; index < lines.size(); ++index) {
        const QString line = decodeText(lines.at(index));
        if (line.size() < MinimumLength)
            continue;
        const QDateTime end = zonedTime(line, 0, 14);
        if (!end.isValid()) {
            if (!accepted)
                return ParseResult::NotThisFormat;
            errorText = QStringLiteral("Invalid format on line %1 :").arg(index + 1) + line;
            return ParseResult::Faulty;
        }
        accepted = true;

        DataParser::ValueRec rec;
        DataParser::resetRecord(rec);
        rec.importType = DataParser::IMPTYPE_MPO_CSV_02;
        rec.timestamp = end.toLocalTime();
        rec.serialNumber = line.mid(50, 32).trimmed();
        rec.description = line.mid(134).trimmed();
        rec.obis = obisForm(line.mid(82, 17).trimmed());
        rec.unit = ParseHelpers::obisUnit(rec.obis, rec.increment);
        QString iakCode = rec.obis;
        iakCode.replace(u'-', u'.').replace(u':', u'.');
        rec.iaks = rec.serialNumber + u':' + iakCode;
        const QString valueText = line.mid(99, 35).trimmed();
        if (!parseCDouble(valueText, rec.value)) {
            errorText = QStringLiteral("Could not parse value '") + valueText
                + QStringLiteral("' , index 99 on line %1 :").arg(index + 1) + line;
            return ParseResult::Faulty;
        }
        if (!plausibleInterval(zonedTime(line, 17, 31), end))
            rec.state = 5001;
        values.append(rec);
    }
    // Every accepted line gives a record or fails the file, so an accepted file is never empty.
    return accepted ? ParseResult::Parsed : ParseResult::NotThisFormat;
}

} // namespace FormatParsers
