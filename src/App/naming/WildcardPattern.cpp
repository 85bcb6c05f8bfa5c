#include "naming/WildcardPattern.h"

namespace {

bool isWildcard(QChar c)
{
    return c == u'*' || c == u'?' || c == u'[' || c == u'\\';
}

// Position after a bracket set starting at 'open', or -1 when the bracket is not closed (then it
// is an ordinary character, as in the shell).
qsizetype bracketEnd(const QString &p, qsizetype open)
{
    qsizetype i = open + 1;
    if (i < p.size() && (p[i] == u'!' || p[i] == u'^'))
        ++i;
    if (i < p.size() && p[i] == u']') // a "]" right after the opening is a member
        ++i;
    while (i < p.size() && p[i] != u']')
        ++i;
    return i < p.size() ? i + 1 : -1;
}

} // namespace

WildcardPattern::WildcardPattern(const QString &pattern)
    : m_pattern(pattern)
{
    qsizetype firstWild = 0;
    while (firstWild < pattern.size() && !isWildcard(pattern[firstWild]))
        ++firstWild;
    m_literal = firstWild == pattern.size();
    if (m_literal)
        return;
    m_head = pattern.left(firstWild);
    qsizetype lastWild = pattern.size() - 1;
    while (!isWildcard(pattern[lastWild]) && pattern[lastWild] != u']')
        --lastWild;
    // A character right after a backslash is literal but belongs to the escape, not to the tail.
    m_tail = pattern.mid(lastWild + 1);
    if (lastWild >= 1 && pattern[lastWild - 1] == u'\\' && pattern[lastWild] != u'\\')
        m_tail.clear();
    m_minLength = int(m_head.size() + m_tail.size());
    m_regex.setPattern(toRegularExpression(pattern));
    m_regex.optimize();
}

bool WildcardPattern::matches(const QString &text) const
{
    if (m_literal)
        return text == m_pattern;
    if (text.size() < m_minLength || !text.startsWith(m_head) || !text.endsWith(m_tail))
        return false;
    return m_regex.match(text).hasMatch();
}

QString WildcardPattern::toRegularExpression(const QString &p)
{
    QString rx;
    rx.reserve(p.size() * 2 + 8);
    for (qsizetype i = 0; i < p.size(); ++i) {
        const QChar c = p[i];
        if (c == u'*') {
            rx += QStringLiteral("(?s:.*)");
        } else if (c == u'?') {
            rx += QStringLiteral("(?s:.)");
        } else if (c == u'\\' && i + 1 < p.size()) {
            rx += QRegularExpression::escape(QString(p[++i]));
        } else if (c == u'[' && bracketEnd(p, i) > 0) {
            const qsizetype end = bracketEnd(p, i);
            qsizetype j = i + 1;
            QString set = QStringLiteral("[");
            if (p[j] == u'!' || p[j] == u'^') {
                set += u'^';
                ++j;
            }
            const qsizetype firstMember = j;
            for (; j < end - 1; ++j) {
                const QChar m = p[j];
                // Ranges keep their "-"; everything else that is special inside a class is escaped.
                if (m == u'-' && j > firstMember && j + 1 < end - 1)
                    set += u'-';
                else if (m == u'\\' || m == u']' || m == u'[' || m == u'^' || m == u'-')
                    set += u'\\' + QString(m);
                else
                    set += m;
            }
            set += u']';
            rx += set;
            i = end - 1;
        } else {
            rx += QRegularExpression::escape(QString(c));
        }
    }
    return QRegularExpression::anchoredPattern(rx);
}
