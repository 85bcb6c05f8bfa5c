#include "naming/PureScriptCheck.h"

#include <QSet>

#include <algorithm>

namespace {

// Longer texts and higher part numbers are left to a new engine; they bound the work of the check
// and the number of compiled variants of one script.
constexpr qsizetype MaxCheckedLength = 4096;
constexpr int MaxPart = 64;

// Built-in functions that neither change their arguments nor their receiver nor any other object,
// on whatever built-in object they are found by these names. Callbacks they accept are called with
// primitive arguments and no receiver.
const QSet<QString> &pureCallees()
{
    static const QSet<QString> names{
        QStringLiteral("abs"), QStringLiteral("acos"), QStringLiteral("asin"), QStringLiteral("atan"),
        QStringLiteral("atan2"), QStringLiteral("cbrt"), QStringLiteral("ceil"), QStringLiteral("charAt"),
        QStringLiteral("charCodeAt"), QStringLiteral("codePointAt"), QStringLiteral("concat"), QStringLiteral("cos"),
        QStringLiteral("endsWith"), QStringLiteral("exp"), QStringLiteral("floor"), QStringLiteral("fromCharCode"),
        QStringLiteral("hypot"), QStringLiteral("includes"), QStringLiteral("indexOf"), QStringLiteral("isFinite"),
        QStringLiteral("isInteger"), QStringLiteral("isNaN"), QStringLiteral("join"), QStringLiteral("lastIndexOf"),
        QStringLiteral("log"), QStringLiteral("log10"), QStringLiteral("log2"), QStringLiteral("max"),
        QStringLiteral("min"), QStringLiteral("padEnd"), QStringLiteral("padStart"), QStringLiteral("parseFloat"),
        QStringLiteral("parseInt"), QStringLiteral("pow"), QStringLiteral("random"), QStringLiteral("repeat"),
        QStringLiteral("replace"), QStringLiteral("replaceAll"), QStringLiteral("round"), QStringLiteral("sign"),
        QStringLiteral("sin"), QStringLiteral("slice"), QStringLiteral("split"), QStringLiteral("sqrt"),
        QStringLiteral("startsWith"), QStringLiteral("substr"), QStringLiteral("substring"), QStringLiteral("tan"),
        QStringLiteral("toExponential"), QStringLiteral("toFixed"), QStringLiteral("toLowerCase"),
        QStringLiteral("toPrecision"), QStringLiteral("toString"), QStringLiteral("toUpperCase"), QStringLiteral("trim"),
        QStringLiteral("trimEnd"), QStringLiteral("trimStart"), QStringLiteral("trunc"), QStringLiteral("valueOf"),
        QStringLiteral("Boolean"), QStringLiteral("Number"), QStringLiteral("String")};
    return names;
}

// Names that reach the global object or the function the script is compiled into, declare or
// assign without an assignment operator (for-in), run loops, reach the calling function, or read
// what depends on where the script runs (the stack and column of an error).
const QSet<QString> &deniedNames()
{
    static const QSet<QString> names{
        QStringLiteral("this"), QStringLiteral("globalThis"), QStringLiteral("arguments"), QStringLiteral("eval"),
        QStringLiteral("new"), QStringLiteral("delete"), QStringLiteral("function"), QStringLiteral("class"),
        QStringLiteral("var"), QStringLiteral("let"), QStringLiteral("const"), QStringLiteral("import"),
        QStringLiteral("export"), QStringLiteral("super"), QStringLiteral("with"), QStringLiteral("yield"),
        QStringLiteral("await"), QStringLiteral("async"), QStringLiteral("debugger"), QStringLiteral("for"),
        QStringLiteral("while"), QStringLiteral("do"), QStringLiteral("target"), QStringLiteral("caller"),
        QStringLiteral("callee"), QStringLiteral("stack"), QStringLiteral("columnNumber")};
    return names;
}

// Words after which a "/" starts a regular expression rather than a division.
const QSet<QString> &operatorWords()
{
    static const QSet<QString> names{
        QStringLiteral("typeof"), QStringLiteral("void"), QStringLiteral("in"), QStringLiteral("instanceof"),
        QStringLiteral("return"), QStringLiteral("case"), QStringLiteral("else"), QStringLiteral("throw"),
        QStringLiteral("of")};
    return names;
}

const QSet<QString> &recordVariables()
{
    static const QSet<QString> names{QStringLiteral("IAKS"), QStringLiteral("ITYPE"), QStringLiteral("IUNIT"),
                                     QStringLiteral("IOBIS"), QStringLiteral("IDESCR"), QStringLiteral("ISN"),
                                     QStringLiteral("IIP"), QStringLiteral("Value")};
    return names;
}

// Punctuators, longest first. The assigning ones, the arrow, the statement separator and the
// optional call are not pure.
struct Punctuator
{
    const char *text;
    bool pure;
};
constexpr Punctuator punctuators[] = {
    {">>>=", false}, {"...", true}, {"===", true}, {"!==", true}, {"**=", false}, {"<<=", false},
    {">>=", false},  {">>>", true}, {"&&=", false}, {"||=", false}, {"?\?=", false}, {"=>", false},
    {"==", true},    {"!=", true},  {"<=", true},  {">=", true},  {"+=", false}, {"-=", false},
    {"*=", false},   {"/=", false}, {"%=", false}, {"&=", false}, {"|=", false}, {"^=", false},
    {"++", false},   {"--", false}, {"**", true},  {"<<", true},  {">>", true},  {"&&", true},
    {"||", true},    {"??", true},  {"?.", true},  {"=", false},  {";", false},  {"{", true},
    {"}", true},     {"(", true},   {")", true},   {"[", true},   {"]", true},   {".", true},
    {",", true},     {"<", true},   {">", true},   {"+", true},   {"-", true},   {"*", true},
    {"/", true},     {"%", true},   {"&", true},   {"|", true},   {"^", true},   {"!", true},
    {"~", true},     {"?", true},   {":", true}};

bool isIdentifierStart(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u'$';
}

bool isIdentifierPart(QChar c)
{
    return isIdentifierStart(c) || (c >= u'0' && c <= u'9');
}

enum class Token { None, Operand, OperatorWord, Punctuator };

class Scanner
{
public:
    explicit Scanner(const QString &text)
        : m_text(text)
    {
    }

    PureScriptCheck::Verdict run()
    {
        PureScriptCheck::Verdict verdict;
        if (m_text.size() > MaxCheckedLength)
            return verdict;
        QSet<QString> variables;
        QSet<int> parts;
        int depth = 0;
        bool first = true;
        while (skipSpaceAndComments()) {
            const QChar c = m_text[m_pos];
            if (isIdentifierStart(c)) {
                const qsizetype start = m_pos;
                while (m_pos < m_text.size() && isIdentifierPart(m_text[m_pos]))
                    ++m_pos;
                const QString name = m_text.mid(start, m_pos - start);
                if (deniedNames().contains(name) || name.startsWith(QStringLiteral("__")))
                    return {};
                if (recordVariables().contains(name)) {
                    variables.insert(name);
                } else if (name.startsWith(QStringLiteral("IAKS")) && name.size() > 4 && name[4] != u'0') {
                    bool numeric = false;
                    const int n = QStringView(name).mid(4).toInt(&numeric);
                    if (numeric) {
                        if (n > MaxPart)
                            return {};
                        parts.insert(n);
                    }
                }
                m_lastName = name;
                m_last = operatorWords().contains(name) ? Token::OperatorWord : Token::Operand;
                m_lastIsIdentifier = true;
            } else if (c.isDigit() || (c == u'.' && m_pos + 1 < m_text.size() && m_text[m_pos + 1].isDigit())) {
                scanNumber();
                m_last = Token::Operand;
                m_lastIsIdentifier = false;
            } else if (c == u'\'' || c == u'"') {
                if (!scanString(c))
                    return {};
                m_last = Token::Operand;
                m_lastIsIdentifier = false;
            } else {
                // An expression statement cannot begin with a block.
                if (first && c == u'{')
                    return {};
                if (!scanPunctuator(depth))
                    return {};
            }
            first = false;
        }
        if (m_failed || depth != 0)
            return {};
        verdict.pure = true;
        verdict.variables = QStringList(variables.cbegin(), variables.cend());
        verdict.variables.sort();
        verdict.parts = QList<int>(parts.cbegin(), parts.cend());
        std::sort(verdict.parts.begin(), verdict.parts.end());
        return verdict;
    }

private:
    // False at the end of the text; an unterminated comment or a character outside the checked
    // set ends the scan as not pure.
    bool skipSpaceAndComments()
    {
        while (m_pos < m_text.size()) {
            const QChar c = m_text[m_pos];
            if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r') {
                ++m_pos;
            } else if (m_text.mid(m_pos, 2) == QStringLiteral("//")) {
                while (m_pos < m_text.size() && m_text[m_pos] != u'\n' && m_text[m_pos] != u'\r')
                    ++m_pos;
            } else if (m_text.mid(m_pos, 2) == QStringLiteral("/*")) {
                const qsizetype end = m_text.indexOf(QStringLiteral("*/"), m_pos + 2);
                if (end < 0) {
                    m_failed = true;
                    return false;
                }
                m_pos = end + 2;
            } else if (c.unicode() > 0x7e || c.unicode() < 0x20 || c == u'\\' || c == u'`' || c == u'#' || c == u'@') {
                m_failed = true;
                return false;
            } else {
                return true;
            }
        }
        return false;
    }

    void scanNumber()
    {
        const bool hex = m_text.mid(m_pos, 2).compare(QStringLiteral("0x"), Qt::CaseInsensitive) == 0;
        ++m_pos;
        while (m_pos < m_text.size()) {
            const QChar c = m_text[m_pos];
            const QChar prev = m_text[m_pos - 1];
            if (isIdentifierPart(c) || c == u'.' || (!hex && (c == u'+' || c == u'-') && (prev == u'e' || prev == u'E')))
                ++m_pos;
            else
                break;
        }
    }

    bool scanString(QChar quote)
    {
        ++m_pos;
        while (m_pos < m_text.size()) {
            const QChar c = m_text[m_pos];
            if (c == quote) {
                ++m_pos;
                return true;
            }
            if (c == u'\n' || c == u'\r')
                return false;
            m_pos += (c == u'\\') ? 2 : 1;
        }
        return false;
    }

    bool scanPunctuator(int &depth)
    {
        for (const Punctuator &p : punctuators) {
            const QLatin1StringView text(p.text);
            if (QStringView(m_text).mid(m_pos).startsWith(text)) {
                // "?." before a digit is a conditional followed by a number.
                if (text == QLatin1StringView("?.") && m_pos + 2 < m_text.size() && m_text[m_pos + 2].isDigit())
                    continue;
                if (!p.pure)
                    return false;
                if (text == QLatin1StringView("/") && m_last != Token::Operand)
                    return false; // a regular expression
                if (text == QLatin1StringView("(")) {
                    // A call: only of a pure built-in by its name; after ")", "]", a number, a text
                    // or "?." it would call something computed. After an operator they group.
                    if (m_last == Token::Operand && !(m_lastIsIdentifier && pureCallees().contains(m_lastName)))
                        return false;
                    if (m_last == Token::Punctuator && m_lastPunctuator == QLatin1StringView("?."))
                        return false;
                }
                if (text == QLatin1StringView("(") || text == QLatin1StringView("[") || text == QLatin1StringView("{"))
                    ++depth;
                if (text == QLatin1StringView(")") || text == QLatin1StringView("]") || text == QLatin1StringView("}")) {
                    if (--depth < 0)
                        return false;
                }
                m_pos += text.size();
                m_lastPunctuator = text;
                // A closing parenthesis or bracket ends an operand; a closing brace may end a block,
                // after which a "/" would start a regular expression.
                m_last = (text == QLatin1StringView(")") || text == QLatin1StringView("]")) ? Token::Operand : Token::Punctuator;
                m_lastIsIdentifier = false;
                return true;
            }
        }
        return false;
    }

    const QString &m_text;
    qsizetype m_pos = 0;
    bool m_failed = false;
    Token m_last = Token::None;
    bool m_lastIsIdentifier = false;
    QString m_lastName;
    QLatin1StringView m_lastPunctuator;
};

} // namespace

PureScriptCheck::Verdict PureScriptCheck::check(const QString &script)
{
    return Scanner(script).run();
}
