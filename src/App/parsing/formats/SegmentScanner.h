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

// Position of the first byte from pos on that is a or b; n when there is none.
inline qsizetype findEither(const char *d, qsizetype pos, qsizetype n, char a, char b)
{
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi8(a);
    const __m128i vb = _mm_set1_epi8(b);
    for (; pos + 16 <= n; pos += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(d + pos));
        if (const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(x, va), _mm_cmpeq_epi8(x, vb))))
            return pos + __builtin_ctz(unsigned(mask));
    }
#endif
    while (pos < n && d[pos] != a && d[pos] != b)
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

// The segment of raw bytes [begin, end) as the general splitter gives it: without the line
// breaks around it, and cleaned into cleaned when line breaks or a released terminator lie in it.
inline QByteArrayView segment(const char *d, qsizetype begin, qsizetype end, bool releasedTerminator,
                              char terminator, char release, std::string &cleaned)
{
    while (begin < end && isLineBreak(d[begin]))
        ++begin;
    while (end > begin && isLineBreak(d[end - 1]))
        --end;
    const QByteArrayView raw(d + begin, end - begin);
    if (!releasedTerminator && !hasLineBreak(raw))
        return raw;
    const std::size_t offset = cleaned.size();
    ParseHelpers::detail::appendCleanPiece(raw, terminator, release, cleaned);
    return QByteArrayView(cleaned.data() + offset, qsizetype(cleaned.size() - offset));
}

} // namespace detail

// Calls sink(segment) for every segment of data from start on, exactly as
// ParseHelpers::forEachEdifactPiece(data, start, terminator, release, cleaned, sink) does, with
// the same result: whether the data ended cleanly (a sink returning false ends the walk early).
template <typename Sink>
bool forEach(QByteArrayView data, qsizetype start, char terminator, char release, std::string &cleaned, Sink &&sink)
{
    if (terminator == release || detail::isLineBreak(terminator) || detail::isLineBreak(release))
        return ParseHelpers::forEachEdifactPiece(data, start, terminator, release, cleaned, sink);
    const char *const d = data.data();
    const qsizetype n = data.size();
    qsizetype begin = start < 0 ? 0 : start;
    bool releasedTerminator = false;
    for (qsizetype pos = detail::findEither(d, begin, n, terminator, release); pos < n;
         pos = detail::findEither(d, pos, n, terminator, release)) {
        if (d[pos] == release) {
            // A release character takes the next byte that is no line break as it stands.
            for (++pos; pos < n && detail::isLineBreak(d[pos]);)
                ++pos;
            if (pos < n)
                releasedTerminator |= d[pos++] == terminator;
            continue;
        }
        const QByteArrayView piece = detail::segment(d, begin, pos, releasedTerminator, terminator, release, cleaned);
        if constexpr (std::is_same_v<decltype(sink(piece)), bool>) {
            if (!sink(piece))
                return true;
        } else {
            sink(piece);
        }
        begin = ++pos;
        releasedTerminator = false;
    }
    for (qsizetype i = begin; i < n; ++i) {
        if (!detail::isLineBreak(d[i])) { // a last segment without its terminator
            const QByteArrayView piece = detail::segment(d, begin, n, releasedTerminator, terminator, release, cleaned);
            if constexpr (std::is_same_v<decltype(sink(piece)), bool>)
                return !sink(piece);
            else
                sink(piece);
            return false;
        }
    }
    return true;
}

} // namespace SegmentScanner
