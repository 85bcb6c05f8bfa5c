#pragma once
// The elements of one EDIFACT segment and the components of each element, as the general
// splitter (ParseHelpers::forEachEdifactPiece) gives them when it splits the segment at the
// element separator and then each element at the component separator. The common segment is
// split on both levels in one pass; a segment with a line break, a doubled release character or
// a release character at its end, or unusual service characters, goes the general way.

#include "parsing/ParseHelpers.h"

#include <QByteArrayView>

#include <array>
#include <cstring>
#include <span>
#include <string>
#include <vector>

namespace SegmentPieces {

using Pieces = std::vector<QByteArrayView>;
using PieceSpan = std::span<const QByteArrayView>;

// Splits text at separator into views into the text or into its own buffer of unescaped
// pieces; the views stay valid until the next split.
class PieceSplitter
{
public:
    void split(QByteArrayView text, char separator, char release, Pieces &out)
    {
        out.clear();
        cleaned.clear();
        cleaned.reserve(std::size_t(text.size()));
        if (!splitPlain(text, separator, release, out)) {
            out.clear();
            cleaned.clear();
            ParseHelpers::forEachEdifactPiece(text, 0, separator, release, cleaned,
                                              [&out](QByteArrayView piece) { out.push_back(piece); });
        }
    }

private:
    // The common case in one pass: no line break in the text and every release character
    // followed by an ordinary character or the separator. The pieces are then what the general
    // splitter gives: a released separator belongs to its piece without the release character,
    // any other released character keeps it, and an empty last piece is dropped. False (out
    // unfinished) for any other text.
    bool splitPlain(QByteArrayView text, char separator, char release, Pieces &out)
    {
        const char *const d = text.data();
        const qsizetype n = text.size();
        if (separator == release || release == '\r' || release == '\n')
            return false;
        qsizetype begin = 0;
        bool released = false; // the piece holds a released separator
        for (qsizetype i = ParseHelpers::detail::skipOrdinary(d, 0, n, separator, release); i < n;
             i = ParseHelpers::detail::skipOrdinary(d, i, n, separator, release)) {
            const char c = d[i];
            if (c == release) {
                const char next = i + 1 < n ? d[i + 1] : release;
                if (next == release || next == '\r' || next == '\n')
                    return false;
                released |= next == separator;
                i += 2;
            } else if (c == separator) {
                out.push_back(piece(text.sliced(begin, i - begin), separator, released));
                begin = ++i;
                released = false;
            } else {
                return false; // a line break
            }
        }
        if (begin < n)
            out.push_back(piece(text.sliced(begin), separator, released));
        return true;
    }

    // raw itself, or a copy without the release characters of its released separators (each
    // separator in raw is one).
    QByteArrayView piece(QByteArrayView raw, char separator, bool released)
    {
        if (!released)
            return raw;
        const std::size_t offset = cleaned.size();
        const char *const d = raw.data();
        const qsizetype n = raw.size();
        qsizetype from = 0;
        for (const void *hit = std::memchr(d + 1, separator, std::size_t(n - 1)); hit;) {
            const qsizetype at = static_cast<const char *>(hit) - d;
            cleaned.append(d + from, std::size_t(at - 1 - from));
            from = at;
            hit = at + 1 < n ? std::memchr(d + at + 1, separator, std::size_t(n - at - 1)) : nullptr;
        }
        cleaned.append(d + from, std::size_t(n - from));
        return QByteArrayView(cleaned.data() + offset, qsizetype(cleaned.size() - offset));
    }

    std::string cleaned;
};

// One segment's elements and, for each, its components; views stay valid until the next split.
class Splitter
{
public:
    void setServiceCharacters(char elementSeparator, char componentSeparator, char releaseCharacter)
    {
        element = elementSeparator;
        component = componentSeparator;
        release = releaseCharacter;
        const auto lineBreak = [](char c) { return c == '\r' || c == '\n'; };
        onePassPossible = element != release && component != release && component != element
            && !lineBreak(element) && !lineBreak(component) && !lineBreak(release);
        special.fill(false);
        for (const char c : {element, component, release, '\r', '\n'})
            special[uchar(c)] = true;
    }

    void split(QByteArrayView segment)
    {
        lazyElement = -1;
        onePass = onePassPossible && splitOnePass(segment);
        if (!onePass)
            elementSplitter.split(segment, element, release, generalElements);
    }

    qsizetype elementCount() const { return onePass ? elementTotal : qsizetype(generalElements.size()); }

    // Element e (which must exist).
    QByteArrayView elementAt(qsizetype e)
    {
        if (!onePass)
            return generalElements[std::size_t(e)];
        Piece &piece = elements[std::size_t(e)];
        if (piece.released) {
            piece.text = clean(piece.text, element);
            piece.released = false;
        }
        return piece.text;
    }

    // The components of element e, nothing when there is no such element.
    PieceSpan components(qsizetype e)
    {
        if (e >= elementCount())
            return {};
        if (!onePass)
            return generalComponents(e);
        const qsizetype first = firstComponents[std::size_t(e)];
        const qsizetype end = firstComponents[std::size_t(e) + 1];
        for (qsizetype k = first; k < end; ++k)
            cleanComponent(k);
        return PieceSpan(componentTexts.data() + first, std::size_t(end - first));
    }

    // The first component of element e, empty when there is none.
    QByteArrayView firstComponent(qsizetype e)
    {
        if (e >= elementCount())
            return {};
        if (!onePass) {
            const PieceSpan c = generalComponents(e);
            return c.empty() ? QByteArrayView() : c.front();
        }
        const qsizetype first = firstComponents[std::size_t(e)];
        if (first == firstComponents[std::size_t(e) + 1])
            return {};
        cleanComponent(first);
        return componentTexts[std::size_t(first)];
    }

private:
    // Pieces one pass takes; a segment with more goes the general way.
    static constexpr qsizetype MaxElements = 32;
    static constexpr qsizetype MaxComponents = 64;

    struct Piece {
        QByteArrayView text;
        bool released; // holds a released separator: cleaned when read
    };

    PieceSpan generalComponents(qsizetype e)
    {
        if (lazyElement != e) {
            componentSplitter.split(generalElements[std::size_t(e)], component, release, lazyComponents);
            lazyElement = e;
        }
        return lazyComponents;
    }

    void cleanComponent(qsizetype k)
    {
        if (componentReleased[std::size_t(k)]) {
            componentTexts[std::size_t(k)] = clean(componentTexts[std::size_t(k)], component);
            componentReleased[std::size_t(k)] = false;
        }
    }

    // Position of the first byte from pos on that is a service character or a line break.
    qsizetype findSpecial(const char *d, qsizetype pos, qsizetype n) const
    {
#if defined(__SSE2__)
        if (pos + 16 <= n) {
            const __m128i ve = _mm_set1_epi8(element);
            const __m128i vc = _mm_set1_epi8(component);
            const __m128i vr = _mm_set1_epi8(release);
            const __m128i cr = _mm_set1_epi8('\r');
            const __m128i lf = _mm_set1_epi8('\n');
            for (; pos + 16 <= n; pos += 16) {
                const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(d + pos));
                const __m128i hit = _mm_or_si128(
                    _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, ve), _mm_cmpeq_epi8(x, vc)), _mm_cmpeq_epi8(x, vr)),
                    _mm_or_si128(_mm_cmpeq_epi8(x, cr), _mm_cmpeq_epi8(x, lf)));
                if (const int mask = _mm_movemask_epi8(hit))
                    return pos + __builtin_ctz(unsigned(mask));
            }
        }
#endif
        while (pos < n && !special[uchar(d[pos])])
            ++pos;
        return pos;
    }

    // Both levels in one pass, when no line break lies in the segment and every release
    // character is followed by a byte that is neither a release character nor a line break.
    // A release character before a separator leaves the piece of that level (and the levels
    // below) when it is cleaned; before anything else it stays. False for any other segment.
    bool splitOnePass(QByteArrayView segment)
    {
        const char *const d = segment.data();
        const qsizetype n = segment.size();
        if (cleaned.size() < std::size_t(2 * n))
            cleaned.resize(std::size_t(2 * n)); // every piece is cleaned at most once
        cleanedUsed = 0;
        qsizetype elementBegin = 0;
        qsizetype componentBegin = 0;
        bool elementHasRelease = false;
        bool componentHasRelease = false;
        qsizetype e = 0;
        qsizetype k = 0;
        firstComponents[0] = 0;
        for (qsizetype i = findSpecial(d, 0, n); i < n; i = findSpecial(d, i, n)) {
            const char c = d[i];
            if (c == release) {
                const char next = i + 1 < n ? d[i + 1] : release;
                if (next == release || next == '\r' || next == '\n')
                    return false;
                elementHasRelease |= next == element;
                componentHasRelease |= next == element || next == component;
                i += 2;
                continue;
            }
            if ((c != component && c != element) || k == MaxComponents || e == MaxElements)
                return false; // a line break, or too many pieces
            if (c == component || componentBegin < i) { // an empty last component is dropped
                componentTexts[std::size_t(k)] = QByteArrayView(d + componentBegin, i - componentBegin);
                componentReleased[std::size_t(k++)] = componentHasRelease;
            }
            componentBegin = i + 1;
            componentHasRelease = false;
            if (c == element) {
                elements[std::size_t(e++)] = {QByteArrayView(d + elementBegin, i - elementBegin), elementHasRelease};
                firstComponents[std::size_t(e)] = k;
                elementBegin = i + 1;
                elementHasRelease = false;
            }
            ++i;
        }
        if (elementBegin < n) { // an empty last element is dropped
            if (k == MaxComponents || e == MaxElements)
                return false;
            if (componentBegin < n) {
                componentTexts[std::size_t(k)] = QByteArrayView(d + componentBegin, n - componentBegin);
                componentReleased[std::size_t(k++)] = componentHasRelease;
            }
            elements[std::size_t(e++)] = {QByteArrayView(d + elementBegin, n - elementBegin), elementHasRelease};
            firstComponents[std::size_t(e)] = k;
        }
        elementTotal = e;
        return true;
    }

    // A copy of raw without the release characters before element separators and, for a
    // component (separator is the component separator), before component separators.
    QByteArrayView clean(QByteArrayView raw, char separator)
    {
        char *const first = cleaned.data() + cleanedUsed;
        char *out = first;
        const char *const d = raw.data();
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (d[i] == release && (d[i + 1] == element || d[i + 1] == separator))
                ++i;
            *out++ = d[i];
        }
        cleanedUsed += std::size_t(out - first);
        return QByteArrayView(first, out - first);
    }

    char element = '+';
    char component = ':';
    char release = '?';
    bool onePassPossible = false;
    std::array<bool, 256> special{};

    // The last segment split in one pass.
    bool onePass = false;
    qsizetype elementTotal = 0;
    std::array<Piece, MaxElements> elements{};
    std::array<qsizetype, MaxElements + 1> firstComponents{}; // per element its first component, then the end
    std::array<QByteArrayView, MaxComponents> componentTexts{};
    std::array<bool, MaxComponents> componentReleased{}; // per component: holds a released separator
    std::vector<char> cleaned;
    std::size_t cleanedUsed = 0;

    // The general way: elements split, the components of one element split when asked for.
    PieceSplitter elementSplitter;
    PieceSplitter componentSplitter;
    Pieces generalElements;
    Pieces lazyComponents;
    qsizetype lazyElement = -1;
};

} // namespace SegmentPieces
