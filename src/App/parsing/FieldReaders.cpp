#include "parsing/FieldReaders.h"

#include <QDate>
#include <QLocale>
#include <QTime>

#include <cmath>

namespace FieldReaders {

void resetRecord(DataParser::ValueRec &rec, const QDateTime &timestamp)
{
    rec.timestamp = timestamp;
    rec.iaks.clear();
    rec.aks.clear();
    rec.importType = DataParser::IMPTYPE_NA;
    rec.value = 0.0;
    rec.increment = false;
    rec.state = 0;
    rec.unit.clear();
    rec.description.clear();
    rec.serialNumber.clear();
    rec.ipAddress.clear();
    rec.obis.clear();
    rec.flagList.clear();
}

bool readNumber(QStringView text, double &value)
{
    // Only texts of digits, points, commas, minus signs and exponent letters take the fast path;
    // blanks, plus signs, "inf" and the like go to Qt.
    char buffer[64];
    const qsizetype n = text.size();
    if (n > 0 && n < qsizetype(sizeof buffer)) {
        bool plain = true;
        for (qsizetype i = 0; i < n && plain; ++i) {
            const char16_t c = text[i].unicode();
            plain = (c >= '0' && c <= '9') || c == '.' || c == ',' || c == '-' || c == 'e' || c == 'E';
            buffer[i] = char(c);
        }
        if (plain && detail::readPlainDecimal(QByteArrayView(buffer, n), value, '.'))
            return true;
    }
    bool ok = false;
    const double v = QLocale::c().toDouble(text.toString().replace(QLatin1Char(','), QLatin1Char('.')).trimmed(), &ok);
    if (!ok || !std::isfinite(v))
        return false; // "nan" and "inf" are no meter values
    value = v;
    return true;
}

QString dateAndTime(QStringView date, QStringView time)
{
    QString text;
    text.reserve(date.size() + 1 + time.size());
    text.append(date).append(QLatin1Char(' ')).append(time);
    return text;
}

namespace {

// Reads text of the plain shape of pattern: a single d or M takes one or two digits, every other
// run of a field letter exactly as many digits as it is long, every other character itself.
bool readPlainShape(QStringView text, QStringView pattern, QDate &date, QTime &time)
{
    int fields[128] = {};   // by pattern letter
    fields['M'] = fields['d'] = 1;
    qsizetype t = 0;
    for (qsizetype p = 0; p < pattern.size();) {
        const char16_t letter = pattern[p].unicode();
        if (letter != 'd' && letter != 'M' && letter != 'y' && letter != 'H' && letter != 'h' && letter != 'm'
            && letter != 's') {
            if (t >= text.size() || text[t] != pattern[p])
                return false;
            ++t;
            ++p;
            continue;
        }
        qsizetype run = 1;
        while (p + run < pattern.size() && pattern[p + run] == pattern[p])
            ++run;
        p += run;
        qsizetype digits = 0;
        int number = 0;
        const qsizetype most = run == 1 ? 2 : run;
        while (digits < most && t < text.size() && text[t] >= QLatin1Char('0') && text[t] <= QLatin1Char('9')) {
            number = number * 10 + (text[t].unicode() - '0');
            ++digits;
            ++t;
        }
        if (digits == 0 || (run > 1 && digits != run))
            return false;
        fields[letter == 'h' ? 'H' : letter] = number;
    }
    if (t != text.size())
        return false;
    date = QDate(fields['y'], fields['M'], fields['d']);
    time = QTime(fields['H'], fields['m'], fields['s']);
    return true;
}

} // namespace

QString implausibleTimeText(const QString &timeText)
{
    return QStringLiteral("Time stamp outside the years %1 to %2: %3").arg(EarliestYear).arg(LatestYear).arg(timeText);
}

QDateTime wallClockTime(QDate date, QTime time, Qt::TimeSpec spec)
{
    if (!date.isValid() || !time.isValid() || date.year() < EarliestYear || date.year() > LatestYear)
        return QDateTime();
    const QDateTime wallClock(date, time, spec);
    if (wallClock.isValid() || spec != Qt::LocalTime)
        return wallClock;
    // Skipped by the clock: read at the offset in force before the gap (a day earlier), which
    // lands as far past the gap's end as the text lies past its start.
    const int offsetBefore = QDateTime(date.addDays(-1), time, Qt::LocalTime).offsetFromUtc();
    return QDateTime(date, time, Qt::OffsetFromUTC, offsetBefore).toLocalTime();
}

QDateTime fromPattern(const QString &text, const QString &pattern, Qt::TimeSpec spec)
{
    // Qt's pattern reader takes local time, which fails in a gap; a zone designator appended to
    // text and pattern makes it read UTC, and the wall-clock fields are then taken in spec.
    const QDateTime utc = QDateTime::fromString(text + QLatin1String(" Z"), pattern + QLatin1String(" t"));
    return utc.isValid() ? wallClockTime(utc.date(), utc.time(), spec) : QDateTime();
}

QDateTime isoTime(const QString &text, Qt::TimeSpec zoneless)
{
    const QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (time.isValid() && time.timeSpec() != Qt::LocalTime)
        return time;
    // No zone in the text (or a local time the clock skips): read the wall clock as UTC first.
    const QDateTime utc = QDateTime::fromString(text + u'Z', Qt::ISODateWithMs);
    return utc.isValid() ? wallClockTime(utc.date(), utc.time(), zoneless) : time;
}

QDateTime readTime(QStringView text, QStringView pattern, Qt::TimeSpec spec)
{
    QDate date;
    QTime time;
    if (readPlainShape(text, pattern, date, time))
        return wallClockTime(date, time, spec);
    return fromPattern(text.toString(), pattern.toString(), spec);
}

bool isIntervalUnit(const QString &unit)
{
    return unit.endsWith(QLatin1String("wh"), Qt::CaseInsensitive) || unit.contains(QLatin1Char('/'));
}

} // namespace FieldReaders
