#pragma once

#include "parsing/InputSpool.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <type_traits>

class QDomDocument;

// Splitters and lookup tables shared by the format parsers.
namespace ParseHelpers {

// Splits one CSV line at separator; quote switches quoting on and off, a doubled quote inside
// quotes stands for one quote character. Empty fields are kept, except a trailing one.
QStringList splitQuoted(const QString &line, QChar separator, QChar quote);

// Calls sink(QByteArrayView piece) for every piece of data (from start on) that ends with an
// unescaped separator. Carriage returns and line feeds are dropped (unless one of them is the
// separator); every release+separator pair is turned into the separator alone, other release
// sequences stay for the next level. Returns true when nothing but line breaks follows the last
// separator; otherwise the rest goes to sink as well and the result is false.
// A piece handed to sink points into data, or, when it had to be unescaped, to its copy at the
// end of cleaned; with cleaned's capacity reserved to data's size all those views stay valid.
// A sink that returns bool stops the walk by returning false (the result is then true).
template <typename Sink>
bool forEachEdifactPiece(QByteArrayView data, qsizetype start, char separator, char release,
                         std::string &cleaned, Sink &&sink);

// The same pieces as a list of Latin-1 texts; returns whether the input ended cleanly.
bool splitEdifact(QByteArrayView data, qsizetype start, char separator, char release, QStringList &pieces);

// Deepest element nesting an XML data file may have; deeper files are refused before a document
// tree is built (real exports nest fewer than ten levels).
inline constexpr int MaxXmlDepth = 256;

// Loads an XML file into document; on failure errorText names the parser's message and where it
// stopped, or that the file nests deeper than MaxXmlDepth, and the result is false. The
// recursive walks over the document are bounded by that depth.
bool loadXml(const QByteArray &data, bool namespaceProcessing, QDomDocument &document, QString &errorText);

// Unit of an OBIS code ("1-1:1.29.0" gives "kWh"); increment tells whether values with this
// code are interval amounts. An unknown or short code gives an empty unit and no increment.
QString obisUnit(const QString &obis, bool &increment);

// Unit text of an EDIFACT measure unit code ("KWH" gives "kWh"), empty when unknown.
QString ediUnit(const QString &code);

// Text of an ebIX product code ("8716867000030" gives "Energy active"), the code when unknown.
QString productName(const QString &code);

namespace detail {
// Appends the unescaped text of a piece that contains line breaks or escaped separators to out.
void appendCleanPiece(QByteArrayView raw, char separator, char release, std::string &out);

// Position of the first byte from pos on that is the separator, the release character, a
// carriage return or a line feed; n when there is none.
inline qsizetype skipOrdinary(const char *d, qsizetype pos, qsizetype n, char separator, char release)
{
#if defined(__SSE2__)
    const __m128i sep = _mm_set1_epi8(separator);
    const __m128i rel = _mm_set1_epi8(release);
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    for (; pos + 16 <= n; pos += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(d + pos));
        const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, sep), _mm_cmpeq_epi8(x, rel)),
                                         _mm_or_si128(_mm_cmpeq_epi8(x, cr), _mm_cmpeq_epi8(x, lf)));
        if (const int mask = _mm_movemask_epi8(hit))
            return pos + __builtin_ctz(unsigned(mask));
    }
#endif
    while (pos < n && d[pos] != separator && d[pos] != release && d[pos] != '\r' && d[pos] != '\n')
        ++pos;
    return pos;
}
} // namespace detail

template <typename Sink>
bool forEachEdifactPiece(QByteArrayView data, qsizetype start, char separator, char release,
                         std::string &cleaned, Sink &&sink)
{
    const char *const d = data.data();
    const qsizetype n = data.size();
    qsizetype pos = start < 0 ? 0 : start;
    ParsedPages::Stepper pages;
    while (pos < n) {
        pages.at(pos);
        qsizetype first = -1;    // first byte of the piece's content
        qsizetype last = -1;     // one past its last byte
        bool lineBreakInside = false;
        bool escapedSeparator = false;
        bool pendingBreak = false;
        bool escaped = false;
        bool ended = false;
        while (pos < n) {
            // A run of ordinary bytes is taken as a whole.
            const qsizetype run = pos;
            pos = detail::skipOrdinary(d, pos, n, separator, release);
            if (pos > run) {
                if (first < 0)
                    first = run;
                lineBreakInside |= pendingBreak;
                pendingBreak = false;
                escaped = false;
                last = pos;
                if (pos == n)
                    break;
            }
            const char c = d[pos];
            if ((c == '\r' || c == '\n') && c != separator) {
                pendingBreak = first >= 0;
                ++pos;
                continue;
            }
            if (c == separator && !escaped && c != release) {
                ended = true;
                break;
            }
            if (c == release) {
                escaped = !escaped;
            } else {
                escapedSeparator = true; // a released separator
                escaped = false;
            }
            if (first < 0)
                first = pos;
            lineBreakInside |= pendingBreak;
            pendingBreak = false;
            last = ++pos;
        }
        if (!ended && first < 0)
            return true;
        QByteArrayView raw = first < 0 ? QByteArrayView(d + pos, qsizetype(0))
                                       : QByteArrayView(d + first, last - first);
        if (lineBreakInside || escapedSeparator) {
            const std::size_t offset = cleaned.size();
            detail::appendCleanPiece(raw, separator, release, cleaned);
            raw = QByteArrayView(cleaned.data() + offset, qsizetype(cleaned.size() - offset));
        }
        if constexpr (std::is_same_v<decltype(sink(raw)), bool>) {
            if (!sink(raw))
                return true;
        } else {
            sink(raw);
        }
        if (!ended)
            return false;
        ++pos;
    }
    return true;
}

} // namespace ParseHelpers
