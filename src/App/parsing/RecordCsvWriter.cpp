#include "parsing/RecordCsvWriter.h"

#include "parsing/DataParser.h"

#include <charconv>
#include <cmath>
#include <cerrno>
#include <unistd.h>

namespace {

constexpr qsizetype BufferBytes = 1 << 20; // written out when this full

// Year, month and day of a day count since 1970-01-01 (proleptic Gregorian calendar).
void civilFromDays(qint64 days, qint64 &year, int &month, int &day)
{
    days += 719468;
    const qint64 era = (days >= 0 ? days : days - 146096) / 146097;
    const qint64 dayOfEra = days - era * 146097;
    const qint64 yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const qint64 dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const qint64 monthIndex = (5 * dayOfYear + 2) / 153;
    day = int(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = int(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}

char *twoDigits(char *out, int value)
{
    out[0] = char('0' + value / 10);
    out[1] = char('0' + value % 10);
    return out + 2;
}

bool needsQuotes(const QString &text)
{
    return text.contains(u',') || text.contains(u'"') || text.contains(u'\n') || text.contains(u'\r');
}

// The configuration name of a type, made once per type.
const QByteArray &typeName(int type)
{
    static const QList<QByteArray> names = [] {
        QList<QByteArray> list;
        for (int t = 0; t < ValueRecTypes::ImportTypeCount; ++t)
            list.append(DataParser::configName(t).toLatin1());
        return list;
    }();
    static const QByteArray unknown = DataParser::configName(-1).toLatin1();
    return type >= 0 && type < names.size() ? names.at(type) : unknown;
}

} // namespace

RecordCsvWriter::RecordCsvWriter(int fd) : m_fd(fd)
{
    m_buffer.reserve(BufferBytes + 4096);
}

RecordCsvWriter::~RecordCsvWriter()
{
    flush();
}

const char *RecordCsvWriter::header()
{
    return "timestamp,iaks,importType,value,unit,state,increment,obis,description,serialNumber\n";
}

void RecordCsvWriter::writeHeader()
{
    m_buffer.append(header());
}

void RecordCsvWriter::write(const ValueRecTypes::ValueRec &r)
{
    appendTime(r.timestamp);
    m_buffer.append(',');
    appendText(m_iaks, r.iaks);
    m_buffer.append(',');
    m_buffer.append(typeName(r.importType));
    m_buffer.append(',');
    appendNumber(r.value);
    m_buffer.append(',');
    appendText(m_unit, r.unit);
    m_buffer.append(',');
    appendInt(r.state);
    m_buffer.append(r.increment ? ",true," : ",false,");
    appendText(m_obis, r.obis);
    m_buffer.append(',');
    appendText(m_description, r.description);
    m_buffer.append(',');
    appendText(m_serialNumber, r.serialNumber);
    m_buffer.append('\n');
    if (m_buffer.size() >= BufferBytes)
        flush();
}

bool RecordCsvWriter::flush()
{
    const char *data = m_buffer.constData();
    qsizetype left = m_buffer.size();
    while (m_ok && left > 0) {
        const ssize_t written = ::write(m_fd, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        m_ok = written > 0;
        data += written;
        left -= written;
    }
    m_buffer.resize(0);
    return m_ok;
}

// yyyy-MM-ddTHH:mm:ss+hh:mm from the instant and its offset; years outside 1000..9999 take
// Qt's own formatting, which the fast path matches inside that range.
void RecordCsvWriter::appendTime(const QDateTime &time)
{
    if (!time.isValid())
        return;
    qint64 local = 0; // seconds on the clock since 1970
    int offset = 0;
    if (time.timeSpec() == Qt::LocalTime) {
        // The clock's reading is in the time itself; only its offset needs the zone rules.
        const qint64 wallMsecs = (time.date().toJulianDay() - 2440588) * 86400000 + time.time().msecsSinceStartOfDay();
        offset = localOffset(time, wallMsecs);
        local = (wallMsecs >= 0 ? wallMsecs : wallMsecs - 999) / 1000;
    } else {
        offset = time.offsetFromUtc();
        const qint64 msecs = time.toMSecsSinceEpoch();
        local = (msecs >= 0 ? msecs : msecs - 999) / 1000 + offset;
    }
    const qint64 days = (local >= 0 ? local : local - 86399) / 86400;
    const int secondOfDay = int(local - days * 86400);
    qint64 year = 0;
    int month = 0;
    int day = 0;
    civilFromDays(days, year, month, day);
    char text[32];
    char *p = text;
    if (year >= 1000 && year <= 9999) {
        p = std::to_chars(p, text + sizeof text, year).ptr;
        *p++ = '-';
        p = twoDigits(p, month);
        *p++ = '-';
        p = twoDigits(p, day);
        *p++ = 'T';
        p = twoDigits(p, secondOfDay / 3600);
        *p++ = ':';
        p = twoDigits(p, secondOfDay / 60 % 60);
        *p++ = ':';
        p = twoDigits(p, secondOfDay % 60);
    } else {
        const QByteArray qtText = time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toUtf8();
        m_buffer.append(qtText);
    }
    const int minutes = std::abs(offset) / 60;
    *p++ = offset < 0 ? '-' : '+';
    p = twoDigits(p, minutes / 60);
    *p++ = ':';
    p = twoDigits(p, minutes % 60);
    m_buffer.append(text, p - text);
}

// A local time's offset costs a conversion by the zone rules; a file repeats its times (every meter
// of a load profile the same intervals), so each reading of the clock is converted once.
int RecordCsvWriter::localOffset(const QDateTime &time, qint64 wallMsecs)
{
    const LocalKey key{wallMsecs, time.isDaylightTime()};
    const auto known = m_localOffsets.constFind(key);
    if (known != m_localOffsets.cend())
        return *known;
    if (m_localOffsets.size() >= MaxLocalOffsets)
        m_localOffsets.clear();
    const int offset = time.offsetFromUtc();
    m_localOffsets.insert(key, offset);
    return offset;
}

// The same shared string as in the column's last record gives the same field: its storage cannot
// have changed, since the column holds it too.
void RecordCsvWriter::appendText(TextColumn &column, const QString &text)
{
    if (text.constData() != column.text.constData() || text.size() != column.text.size()) {
        const qsizetype at = m_buffer.size();
        appendField(text);
        column.text = text;
        column.field = m_buffer.sliced(at);
        return;
    }
    m_buffer.append(column.field);
}

// The text as csvField quoting gives it, in UTF-8; plain ASCII goes byte by byte.
void RecordCsvWriter::appendField(const QString &text)
{
    const qsizetype n = text.size();
    const QChar *chars = text.constData();
    qsizetype i = 0;
    while (i < n && chars[i].unicode() < 0x80 && chars[i] != u',' && chars[i] != u'"' && chars[i] != u'\n'
           && chars[i] != u'\r')
        ++i;
    if (i == n) {
        const qsizetype at = m_buffer.size();
        m_buffer.resize(at + n);
        char *out = m_buffer.data() + at;
        for (qsizetype k = 0; k < n; ++k)
            out[k] = char(chars[k].unicode());
        return;
    }
    if (!needsQuotes(text)) {
        m_buffer.append(text.toUtf8());
        return;
    }
    QString quoted = text;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    m_buffer.append('"').append(quoted.toUtf8()).append('"');
}

// As QString::number(value, 'g', 15) gives it. A value whose shortest exact text has at most 15
// digits comes out of std::to_chars the same; longer ones may end on a tie that Qt rounds up and
// printf rounds to even, so those take Qt's own formatting. Zero has no sign in Qt's text.
void RecordCsvWriter::appendNumber(double value)
{
    char text[40];
    const char *shortestEnd = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific).ptr;
    int digits = 0;
    for (const char *c = text; c < shortestEnd && *c != 'e'; ++c)
        digits += *c >= '0' && *c <= '9';
    if (value == 0) {
        m_buffer.append('0');
    } else if (digits > 15 || !std::isfinite(value)) {
        m_buffer.append(QString::number(value, 'g', 15).toLatin1());
    } else {
        const char *end = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 15).ptr;
        m_buffer.append(text, end - text);
    }
}

void RecordCsvWriter::appendInt(qint64 value)
{
    char text[24];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    m_buffer.append(text, end - text);
}
