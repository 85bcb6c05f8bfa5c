#pragma once

// Line, field, number and time readers shared by the format parsers. The byte-view readers let
// wide tables and long load profiles be read without a copy per field; the text readers serve
// the vendor exports that are split into QStrings.

#include "parsing/DataParser.h"
#include "parsing/RecordSink.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringDecoder>
#include <QStringView>
#include <QTime>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace FieldReaders {

// Makes room for count more records. A large list that holds a whole file's records is asked to
// live on huge pages: a file of a few MB gives millions of records of some 200 bytes each, and
// filling them page by page costs far more than reading the file (the kernel ignores the advice
// where huge pages are off).
inline void reserveRecords(RecordSink &sink, qsizetype count)
{
    sink.reserve(count);
    if (sink.batched()) // one batch, filled again and again
        return;
#ifdef __linux__
    const QList<DataParser::ValueRec> &values = sink.pending();
    constexpr quintptr hugePage = 2 * 1024 * 1024;
    const quintptr begin = reinterpret_cast<quintptr>(values.data() + values.size());
    const quintptr end = reinterpret_cast<quintptr>(values.data() + values.capacity());
    const quintptr first = (begin + hugePage - 1) & ~(hugePage - 1);
    if (end > first + hugePage)
        madvise(reinterpret_cast<void *>(first), (end - first) & ~(hugePage - 1), MADV_HUGEPAGE);
#endif
}

// Makes room for the records a file of lineCount lines with valuesPerLine values each would
// give, bounded by what dataSize bytes can hold (a value takes at least a digit and a separator;
// real exports spend far more than 8 bytes).
inline void reserveRecordsForLines(RecordSink &values, qsizetype lineCount,
                                   qsizetype valuesPerLine, qsizetype dataSize)
{
    reserveRecords(values, std::min(lineCount * std::max<qsizetype>(valuesPerLine, 1), dataSize / 8));
}

// Brings rec to the reset state with the given time. DataParser::resetRecord passes the current
// time; a parser that has the reading's time passes that and saves the clock read, which costs
// more than the rest of a reading.
void resetRecord(DataParser::ValueRec &rec, const QDateTime &timestamp);

// Whether data holds the byte, looked for a few megabytes at a time (ParsedPages).
inline bool containsByte(QByteArrayView data, char byte)
{
    for (qsizetype at = 0; at < data.size(); at += ParsedPages::StepBytes) {
        if (memchr(data.data() + at, byte, size_t(std::min(ParsedPages::StepBytes, data.size() - at))))
            return true;
        ParsedPages::release();
    }
    return false;
}

// The data with every carriage-return byte removed (a copy only when there is one).
inline QByteArray withoutCarriageReturns(const QByteArray &data)
{
    if (!containsByte(data, '\r'))
        return data;
    QByteArray clean = data;
    clean.removeIf([](char c) { return c == '\r'; });
    return clean;
}

// Splits at every occurrence of separator; empty pieces, also a trailing one, are kept, so
// "a;;b;" gives four pieces and "" gives one empty piece. The views point into text.
template <typename List>
inline void splitView(QByteArrayView text, char separator, List &pieces)
{
    pieces.clear();
    const char *const begin = text.data();
    const qsizetype size = text.size();
    qsizetype start = 0;
    for (;;) {
        const void *hit = size > start ? memchr(begin + start, separator, size_t(size - start)) : nullptr;
        if (!hit) {
            pieces.append(QByteArrayView(begin + start, size - start));
            return;
        }
        const qsizetype pos = static_cast<const char *>(hit) - begin;
        pieces.append(QByteArrayView(begin + start, pos - start));
        start = pos + 1;
    }
}

// The lines of data split at line feeds (the index of a piece is the line index), as splitView
// splits them.
inline QList<QByteArrayView> splitLines(QByteArrayView data)
{
    QList<QByteArrayView> lines;
    ParsedPages::Stepper pages;
    const char *const begin = data.data();
    for (qsizetype start = 0;;) {
        const void *hit = data.size() > start ? memchr(begin + start, '\n', size_t(data.size() - start)) : nullptr;
        if (!hit) {
            lines.append(QByteArrayView(begin + start, data.size() - start));
            return lines;
        }
        const qsizetype pos = static_cast<const char *>(hit) - begin;
        lines.append(QByteArrayView(begin + start, pos - start));
        start = pos + 1;
        pages.at(start);
    }
}

// The same lines one after the other, carriage returns removed (a line with one is cleaned into the
// cursor's own buffer): what splitLines gives after withoutCarriageReturns, without a list of them
// all or a cleaned copy of the whole data.
class LineCursor
{
public:
    explicit LineCursor(QByteArrayView data) : m_data(data) {}

    // The next line; false after the last one.
    bool next(QByteArrayView &line)
    {
        if (m_done)
            return false;
        ++m_index;
        const void *hit = m_data.size() > m_start ? memchr(m_data.data() + m_start, '\n', size_t(m_data.size() - m_start)) : nullptr;
        const qsizetype end = hit ? static_cast<const char *>(hit) - m_data.data() : m_data.size();
        line = m_data.sliced(m_start, end - m_start);
        m_done = !hit;
        m_start = end + 1;
        m_pages.at(m_start);
        if (memchr(line.data(), '\r', size_t(line.size()))) {
            m_clean = line.toByteArray();
            m_clean.removeIf([](char c) { return c == '\r'; });
            line = m_clean;
        }
        return true;
    }
    // The index of the line last given (0 for the first).
    qsizetype index() const { return m_index; }

private:
    QByteArrayView m_data;
    qsizetype m_start = 0;
    qsizetype m_index = -1;
    bool m_done = false;
    QByteArray m_clean;
    ParsedPages::Stepper m_pages;
};

// The lines of data with carriage returns removed; the views point into buffer, which keeps the
// cleaned bytes alive.
inline QList<QByteArrayView> splitLines(const QByteArray &data, QByteArray &buffer)
{
    buffer = withoutCarriageReturns(data);
    return splitLines(QByteArrayView(buffer));
}

// Text of bytes from a file whose character set is not declared: plain ASCII and valid UTF-8
// are read as UTF-8 (a leading byte-order mark is dropped), anything else as Latin-1, the
// character set of the older exports.
inline QString decodeText(QByteArrayView bytes)
{
    bool ascii = true;
    for (const char c : bytes) {
        if (uchar(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii)
        return QString::fromLatin1(bytes);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return QString::fromLatin1(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

enum class DecimalComma {
    AsPoint,     // "," is read as "." (the exports written with a German decimal comma)
    NotANumber,  // "," makes the text unreadable, as in any C-locale number
};

// A C-locale double; surrounding whitespace is tolerated as by QByteArray::toDouble. Plain
// decimal numbers take a fast path; everything else (signs, "inf", out-of-range exponents ...)
// is decided by Qt, so both paths accept the same texts.
namespace detail {

// The fast path of the number readers: a plain decimal text (first character a digit, "-" or
// ".") that std::from_chars takes whole, with "," read as point. from_chars accepts none that
// Qt refuses; whatever it refuses is left to the caller's Qt reader.
inline bool readPlainDecimal(QByteArrayView text, double &value, char point)
{
    const qsizetype n = text.size();
    if (n <= 0 || n >= 64)
        return false;
    const char first = text.at(0);
    if (!((first >= '0' && first <= '9') || first == '-' || first == '.'))
        return false;
    char buffer[64];
    for (qsizetype i = 0; i < n; ++i) {
        const char c = text.at(i);
        buffer[i] = c == ',' ? point : c;
    }
    double v = 0;
    const auto result = std::from_chars(buffer, buffer + n, v, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != buffer + n || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

} // namespace detail

// A finite C-locale double; surrounding whitespace is tolerated as by QByteArray::toDouble.
// Plain decimal numbers take a fast path; everything else (signs, out-of-range exponents ...) is
// decided by Qt, so both paths accept the same texts. "nan", "inf" and the like are refused, and
// value is then untouched.
inline bool parseCDouble(QByteArrayView text, double &value, DecimalComma comma = DecimalComma::AsPoint)
{
    if (detail::readPlainDecimal(text, value, comma == DecimalComma::AsPoint ? '.' : ','))
        return true;
    QByteArray copy = text.toByteArray();
    if (comma == DecimalComma::AsPoint)
        copy.replace(',', '.');
    bool ok = false;
    const double v = copy.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false; // "nan" and "inf" are no meter values: they would pass every range check
    value = v;
    return true;
}

inline bool parseCDouble(const QString &text, double &value, DecimalComma comma = DecimalComma::AsPoint)
{
    // Any character outside Latin-1 turns into "?" and fails, as it would in Qt's own reader.
    return parseCDouble(QByteArrayView(text.toLatin1()), value, comma);
}

namespace detail {

// Reads a time text that has exactly the shape of pattern (every letter one digit, every other
// character itself); letters: y year, M month, d day, H or h hour, m minute, s second,
// z millisecond. Returns false when the shape differs; date and time are then untouched.
inline bool readFixedShape(QByteArrayView text, const char *pattern, QDate &date, QTime &time)
{
    int year = 0, month = 1, day = 1, hour = 0, minute = 0, second = 0, msec = 0;
    int yearDigits = 0;
    qsizetype i = 0;
    for (const char *p = pattern; *p; ++p, ++i) {
        if (i >= text.size())
            return false;
        const char c = text.at(i);
        int *field = nullptr;
        switch (*p) {
        case 'y': field = &year; ++yearDigits; break;
        case 'M': field = &month; break;
        case 'd': field = &day; break;
        case 'H': case 'h': field = &hour; break;
        case 'm': field = &minute; break;
        case 's': field = &second; break;
        case 'z': field = &msec; break;
        default:
            if (c != *p)
                return false;
            continue;
        }
        if (c < '0' || c > '9')
            return false;
        if (p == pattern || p[-1] != *p)
            *field = 0;
        *field = *field * 10 + (c - '0');
    }
    if (i != text.size())
        return false;
    if (yearDigits == 2)
        year += 1900; // a two-digit year is one of the 1900s, as Qt's "yy" reads it
    date = QDate(year, month, day);
    time = QTime(hour, minute, second, msec);
    return true;
}

} // namespace detail

// Time stamps outside these years are refused: no meter sends them, and they would wrap the time
// slots of the supervision further down the road.
inline constexpr int EarliestYear = 1990;
inline constexpr int LatestYear = 2100;

// Whether time lies within EarliestYear..LatestYear (local calendar).
inline bool isPlausibleTime(const QDateTime &time)
{
    const int year = time.date().year();
    return time.isValid() && year >= EarliestYear && year <= LatestYear;
}

// The text that says a time stamp lies outside the accepted years.
QString implausibleTimeText(const QString &timeText);

// The time a wall clock shows in spec (Qt::LocalTime or Qt::UTC). A local time that the clock
// skips when it is put forward is moved past the gap by the gap's length (02:30 on the night the
// clocks go from 02:00 to 03:00 becomes 03:30), so that the value is kept; an hour that occurs
// twice when the clock is put back is taken as Qt takes it. Invalid for an invalid date or time
// and for a year outside EarliestYear..LatestYear.
QDateTime wallClockTime(QDate date, QTime time, Qt::TimeSpec spec);

// text read by Qt with pattern as a wall-clock time in spec; like wallClockTime, never lost in
// a local gap. Invalid when the text does not match the pattern.
QDateTime fromPattern(const QString &text, const QString &pattern, Qt::TimeSpec spec);

// An ISO 8601 date and time (fractions of a second allowed). A zone designator or offset in the
// text is honoured: the time is that instant. A text without one is a wall-clock time in
// zoneless (see wallClockTime). Invalid when the text is no such time.
QDateTime isoTime(const QString &text, Qt::TimeSpec zoneless);

// A time text read with a Qt date-time pattern (letters as in QDateTime::fromString, only
// digit fields). The wall-clock time is taken in spec (UTC or local time, see wallClockTime);
// an invalid text gives an invalid QDateTime. Texts of the exact shape of the pattern are read
// directly, all others by Qt, so that both ways accept the same texts.
inline QDateTime parseDateTime(QByteArrayView text, const char *qtPattern, const char *shape, Qt::TimeSpec spec)
{
    QDate date;
    QTime time;
    if (!detail::readFixedShape(text, shape, date, time))
        return fromPattern(QString::fromLatin1(text), QLatin1String(qtPattern), spec);
    return wallClockTime(date, time, spec);
}

// Convenience for the patterns whose shape is the pattern itself ("yyyyMMdd", "dd.MM.yyyy HH:mm:ss").
inline QDateTime parseDateTime(QByteArrayView text, const char *pattern, Qt::TimeSpec spec)
{
    return parseDateTime(text, pattern, pattern, spec);
}

// A number in a text field as the vendor exports write it: "," is read as the decimal point,
// then the C locale decides (surrounding blanks, also Unicode ones, tolerated). value is
// untouched when the text is no number.
bool readNumber(QStringView text, double &value);

// The text "date time" of a reading whose date and time stand in separate fields.
QString dateAndTime(QStringView date, QStringView time);

// text read with a QDateTime::fromString pattern made of the digit fields d, dd, M, MM, yyyy,
// HH, hh, mm and ss, taken as a wall-clock time in spec (Qt::LocalTime or Qt::UTC, see
// wallClockTime). Invalid when the text does not match. Texts of the plain shape are read
// directly; any other text is left to Qt's parser, so both ways accept the same texts. Unlike
// parseDateTime, a single d or M takes one or two digits.
QDateTime readTime(QStringView text, QStringView pattern, Qt::TimeSpec spec);

// An amount per interval rather than a rate: energy units end in "wh" (any case), and units
// with a "/" are amounts per unit of something.
bool isIntervalUnit(const QString &unit);

} // namespace FieldReaders
