#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringDecoder>
#include <QTime>

#include <charconv>

#ifdef __linux__
#include <sys/mman.h>
#endif

// Line, field, number and time readers shared by the line-oriented format parsers (fallback
// line formats, column tables, weather and heat-meter files). They work on byte views into the
// file so that wide tables and long load profiles are read without a copy per field.
namespace TextFieldHelpers {

// Makes room for count more records. A large list is asked to live on huge pages: a file of a
// few MB gives millions of records of some 200 bytes each, and filling them page by page costs
// far more than reading the file (the kernel ignores the advice where huge pages are off).
template <typename Records>
inline void reserveRecords(Records &values, qsizetype count)
{
    values.reserve(values.size() + count);
#ifdef __linux__
    constexpr quintptr hugePage = 2 * 1024 * 1024;
    const quintptr begin = reinterpret_cast<quintptr>(values.data() + values.size());
    const quintptr end = reinterpret_cast<quintptr>(values.data() + values.capacity());
    const quintptr first = (begin + hugePage - 1) & ~(hugePage - 1);
    if (end > first + hugePage)
        madvise(reinterpret_cast<void *>(first), (end - first) & ~(hugePage - 1), MADV_HUGEPAGE);
#endif
}

// The data with every carriage-return byte removed (a copy only when there is one).
inline QByteArray withoutCarriageReturns(const QByteArray &data)
{
    if (!data.contains('\r'))
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

// The lines of data split at line feeds (the index of a piece is the line index).
inline QList<QByteArrayView> splitLines(QByteArrayView data)
{
    QList<QByteArrayView> lines;
    splitView(data, '\n', lines);
    return lines;
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
inline bool parseCDouble(QByteArrayView text, double &value, DecimalComma comma = DecimalComma::AsPoint)
{
    const char point = comma == DecimalComma::AsPoint ? '.' : ',';
    const qsizetype n = text.size();
    if (n > 0 && n < 64) {
        const char first = text.at(0);
        if ((first >= '0' && first <= '9') || first == '-' || first == '.') {
            char buffer[64];
            for (qsizetype i = 0; i < n; ++i) {
                const char c = text.at(i);
                buffer[i] = c == ',' ? point : c;
            }
            const auto result = std::from_chars(buffer, buffer + n, value, std::chars_format::general);
            if (result.ec == std::errc() && result.ptr == buffer + n)
                return true;
        }
    }
    QByteArray copy = text.toByteArray();
    if (comma == DecimalComma::AsPoint)
        copy.replace(',', '.');
    bool ok = false;
    value = copy.toDouble(&ok);
    return ok;
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
    qsizetype i = 0;
    for (const char *p = pattern; *p; ++p, ++i) {
        if (i >= text.size())
            return false;
        const char c = text.at(i);
        int *field = nullptr;
        switch (*p) {
        case 'y': field = &year; break;
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
    date = QDate(year, month, day);
    time = QTime(hour, minute, second, msec);
    return true;
}

} // namespace detail

// A time text read with a Qt date-time pattern (letters as in QDateTime::fromString, only
// digit fields). The wall-clock time is taken in spec (UTC or local time); an invalid text
// gives an invalid QDateTime. Texts of the exact shape of the pattern are read directly, all
// others by QDateTime::fromString, so that both ways accept the same texts.
inline QDateTime parseDateTime(QByteArrayView text, const char *qtPattern, const char *shape, Qt::TimeSpec spec)
{
    QDate date;
    QTime time;
    if (!detail::readFixedShape(text, shape, date, time)) {
        const QDateTime parsed = QDateTime::fromString(QString::fromLatin1(text), QLatin1String(qtPattern));
        if (!parsed.isValid())
            return QDateTime();
        date = parsed.date();
        time = parsed.time();
    }
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    return QDateTime(date, time, spec);
}

// Convenience for the patterns whose shape is the pattern itself ("yyyyMMdd", "dd.MM.yyyy HH:mm:ss").
inline QDateTime parseDateTime(QByteArrayView text, const char *pattern, Qt::TimeSpec spec)
{
    return parseDateTime(text, pattern, pattern, spec);
}

} // namespace TextFieldHelpers
