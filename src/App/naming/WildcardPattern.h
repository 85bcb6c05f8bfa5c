#pragma once
// A shell-style wildcard pattern of the configuration (mapping, options, range checks): "*" stands
// for any run of characters (":" and "/" included), "?" for one character, "[...]" for a set
// ("[!...]" or "[^...]" for its complement), "\" takes the next character literally. Matching is
// case-sensitive and covers the whole text.

#include <QRegularExpression>
#include <QString>

class WildcardPattern
{
public:
    WildcardPattern() = default;
    explicit WildcardPattern(const QString &pattern);

    const QString &pattern() const { return m_pattern; }
    bool matches(const QString &text) const;

    // The anchored regular expression that a pattern stands for.
    static QString toRegularExpression(const QString &pattern);

private:
    QString m_pattern;
    // Literal text every match starts and ends with: most patterns are rejected by these alone.
    QString m_head;
    QString m_tail;
    int m_minLength = 0;
    bool m_literal = true; // no wildcard at all: plain comparison
    QRegularExpression m_regex;
};
