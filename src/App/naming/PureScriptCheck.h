#pragma once
// Decides from a script's text whether it is a single expression that cannot change the engine it
// runs in: no assignment, no declaration, no loop, no regular expression, no access to the global
// object other than by name, and calls only of built-in functions that leave every object as it
// was. Such a script gives the same result in a long-lived engine as in a new one, so it may be
// compiled once and called again and again. Anything the check does not recognise is left to a
// new engine per evaluation.

#include <QList>
#include <QString>
#include <QStringList>

class PureScriptCheck
{
public:
    struct Verdict
    {
        bool pure = false;
        QStringList variables; // record variables the text names (IAKS, ITYPE, ..., Value)
        QList<int> parts;      // numbers n of the IAKSn the text names, ascending
    };

    static Verdict check(const QString &script);
};
