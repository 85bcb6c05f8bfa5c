#include "KyrLogger/LogExcerpt.h"

#include <algorithm>

namespace Kyr {

namespace {

void appendEscaped(QString &out, char32_t c)
{
    switch (c) {
    case U'\n': out += QLatin1String("\\n"); return;
    case U'\r': out += QLatin1String("\\r"); return;
    case U'\t': out += QLatin1String("\\t"); return;
    default: break;
    }
    if (c < 0x100)
        out += QStringLiteral("\\x%1").arg(uint(c), 2, 16, QLatin1Char('0'));
    else
        out += QStringLiteral("\\u{%1}").arg(uint(c), 0, 16);
}

} // namespace

QString logExcerpt(const QString &text, qsizetype maxChars)
{
    QString out;
    out.reserve(std::min(text.size(), maxChars) + 16);
    qsizetype taken = 0;
    while (taken < text.size() && taken < maxChars) {
        char32_t c = text.at(taken).unicode();
        ++taken;
        if (QChar::isHighSurrogate(c) && taken < text.size() && text.at(taken).isLowSurrogate())
            c = QChar::surrogateToUcs4(char16_t(c), text.at(taken++).unicode());
        else if (QChar::isSurrogate(c))
            c = 0xFFFD; // an unpaired half shows as the replacement character
        // Line and paragraph separators count as printable but end a line in many viewers.
        if (QChar::isPrint(c) && c != 0x2028 && c != 0x2029)
            out += QStringView(QChar::fromUcs4(c));
        else
            appendEscaped(out, c);
    }
    if (taken < text.size())
        out += QStringLiteral("... (%1 more characters)").arg(text.size() - taken);
    return out;
}

} // namespace Kyr
