#pragma once
// The segments of an EDIFACT interchange, the same pieces ParseHelpers::forEachEdifactPiece gives
// at the segment terminator, found with fewer stops: only terminators and release characters
// are looked at on the way, line breaks only inside a segment found. Service characters that are
// line breaks, or a terminator equal to the release character, go the general way.

#include "parsing/ParseHelpers.h"

#include <QByteArrayView>

#include <cstring>
#include <string>
#include <type_traits>

namespace SegmentScanner {

namespace detail {

// Position of the first byte from pos on that is a, b, a carriage return or a line feed; n when
// there is none.
inline qsizetype findStop(const char *d, qsizetype pos, qsizetype n, char a, char b)
{
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi8(a);
    const __m128i vb = _mm_set1_epi8(b);
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    for (; pos + 16 <= n; pos += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(d + pos));
        const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, va), _mm_cmpeq_epi8(x, vb)),
                                         _mm_or_si128(_mm_cmpeq_epi8(x, cr), _mm_cmpeq_epi8(x, lf)));
        if (const int mask = _mm_movemask_epi8(hit))
            return pos + __builtin_ctz(unsigned(mask));
    }
#endif
    while (pos < n && d[pos] != a && d[pos] != b && d[pos] != '\r' && d[pos] != '\n')
        ++pos;
    return pos;
}

inline bool isLineBreak(char c) { return c == '\r' || c == '\n'; }

// Whether text holds a line break.
inline bool hasLineBreak(QByteArrayView text)
{
    const std::size_t n = std::size_t(text.size());
    return n > 0 && (std::memchr(text.data(), '\n', n) || std::memchr(text.data(), '\r', n));
}

inline qsizetype skipLineBreaks(const char *d, qsizetype pos, qsizetype n)
{
    while (pos < n && isLineBreak(d[pos]))
        ++pos;
    return pos;
}

// The segment of raw bytes [begin, end) as the general splitter gives it: without the line
// breaks around it, and cleaned into cleaned when line breaks or a released terminator lie in it.
inline QByteArrayView segment(const char *d, qsizetype begin, qsizetype end, bool releasedTerminator,
                              char terminator, char release, std::string &cleaned)
{
    begin = skipLineBreaks(d, begin, end);
    while (end > begin && isLineBreak(d[end - 1]))
        --end;
    const QByteArrayView raw(d + begin, end - begin);
    if (!releasedTerminator && !hasLineBreak(raw))
        return raw;
    const std::size_t offset = cleaned.size();
    ParseHelpers::detail::appendCleanPiece(raw, terminator, release, cleaned);
    return QByteArrayView(cleaned.data() + offset, qsizetype(cleaned.size() - offset));
}

// Whether the byte at pos is taken as it stands: an odd number of release characters lies in the
// run of release characters and line breaks before it (data is read from start on).
inline bool isReleased(const char *d, qsizetype start, qsizetype pos, char release)
{
    bool odd = false;
    for (; pos > start && (d[pos - 1] == release || isLineBreak(d[pos - 1])); --pos)
        odd ^= d[pos - 1] == release;
    return odd;
}

} // namespace detail

// Service characters that only the general splitter reads right.
inline bool needsGeneralSplitter(char terminator, char release)
{
    return terminator == release || detail::isLineBreak(terminator) || detail::isLineBreak(release);
}

// Calls sink(segment) for every segment of data from start on, exactly as
// ParseHelpers::forEachEdifactPiece(data, start, terminator, release, cleaned, sink) does, with
// the same result: whether the data ended cleanly (a sink returning false ends the walk early).
template <typename Sink>
bool forEach(QByteArrayView data, qsizetype start, char terminator, char release, std::string &cleaned, Sink &&sink)
{
    if (needsGeneralSplitter(terminator, release))
        return ParseHelpers::forEachEdifactPiece(data, start, terminator, release, cleaned, sink);
    const char *const d = data.data();
    const qsizetype n = data.size();
    qsizetype begin = detail::skipLineBreaks(d, start < 0 ? 0 : start, n);
    bool releasedTerminator = false;
    bool lineBreak = false; // after the segment's first byte
    ParsedPages::Stepper pages;
    for (qsizetype pos = detail::findStop(d, begin, n, terminator, release); pos < n;
         pos = detail::findStop(d, pos, n, terminator, release)) {
        if (d[pos] == release) {
            // A release character takes the next byte that is no line break as it stands.
            const qsizetype next = detail::skipLineBreaks(d, pos + 1, n);
            lineBreak |= next > pos + 1;
            if (next < n)
                releasedTerminator |= d[next] == terminator;
            pos = next < n ? next + 1 : n;
            continue;
        }
        if (d[pos] != terminator) {
            lineBreak = true;
            ++pos;
            continue;
        }
        const QByteArrayView piece = releasedTerminator || lineBreak
            ? detail::segment(d, begin, pos, releasedTerminator, terminator, release, cleaned)
            : QByteArrayView(d + begin, pos - begin);
        if constexpr (std::is_same_v<decltype(sink(piece)), bool>) {
            if (!sink(piece))
                return true;
        } else {
            sink(piece);
        }
        pos = begin = detail::skipLineBreaks(d, pos + 1, n);
        releasedTerminator = false;
        lineBreak = false;
        pages.at(pos);
    }
    if (begin >= n)
        return true;
    // A last segment without its terminator.
    const QByteArrayView piece = detail::segment(d, begin, n, releasedTerminator, terminator, release, cleaned);
    if constexpr (std::is_same_v<decltype(sink(piece)), bool>)
        return !sink(piece);
    else
        sink(piece);
    return false;
}

// Where the last segment of data from start on lies, found from the end of the data.
struct LastSegment {
    bool endsCleanly = true; // only line breaks follow the last terminator
    qsizetype begin = -1;    // raw bytes [begin, end) before its terminator at end; -1: no segment
    qsizetype end = -1;
    bool first = true;       // it is the first segment, too
};

// The last segment as forEach would give it, looked for from the end of data; for service
// characters that do not need the general splitter.
inline LastSegment lastSegment(QByteArrayView data, qsizetype start, char terminator, char release)
{
    const char *const d = data.data();
    start = start < 0 ? 0 : start;
    qsizetype end = data.size();
    while (end > start && detail::isLineBreak(d[end - 1]))
        --end;
    LastSegment last;
    if (end == start)
        return last;
    if (d[end - 1] != terminator || detail::isReleased(d, start, end - 1, release)) {
        last.endsCleanly = false;
        return last;
    }
    last.end = end - 1;
    for (qsizetype pos = last.end; pos > start;) {
        const void *hit = memrchr(d + start, terminator, std::size_t(pos - start));
        if (!hit)
            break;
        pos = static_cast<const char *>(hit) - d;
        if (!detail::isReleased(d, start, pos, release)) {
            last.begin = pos + 1;
            last.first = false;
            return last;
        }
    }
    last.begin = start;
    return last;
}

// How often text occurs in data from start on (an upper bound of the segments with that tag).
inline qsizetype countText(QByteArrayView data, qsizetype start, const char (&text)[4])
{
    const char *const d = data.data();
    const qsizetype n = data.size();
    qsizetype pos = start < 0 ? 0 : start;
    qsizetype count = 0;
#if defined(__SSE2__)
    const __m128i a = _mm_set1_epi8(text[0]);
    const __m128i b = _mm_set1_epi8(text[1]);
    const __m128i c = _mm_set1_epi8(text[2]);
    for (; pos + 18 <= n; pos += 16) {
        const __m128i x = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(d + pos)), a);
        const __m128i y = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(d + pos + 1)), b);
        const __m128i z = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(d + pos + 2)), c);
        for (unsigned mask = unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_and_si128(x, y), z))); mask; mask &= mask - 1)
            ++count;
    }
#endif
    for (; pos + 3 <= n; ++pos)
        count += d[pos] == text[0] && d[pos + 1] == text[1] && d[pos + 2] == text[2];
    return count;
}

} // namespace SegmentScanner
