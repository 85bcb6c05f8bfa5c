#pragma once
// Evaluation of the small JavaScript programs of the naming settings (prefix script, RDS script,
// value script) and of the script tester. A script sees the record's fields as global variables:
// IAKS, IAKS1, IAKS2, ... (the ":" parts), ITYPE, IUNIT, IOBIS, IDESCR, ISN, IIP and Value. The
// script's completion value is its result. Every evaluation is isolated: nothing one evaluation
// leaves behind (a global variable, a changed built-in) is seen by the next.

#include "parsing/DataParser.h"

#include <QString>

class NamingScript
{
public:
    struct Result
    {
        bool ok = false;      // false: the script threw or gave an error value, 'text' holds it
        QString text;         // the result's text form
        bool isNumber = false;
        double number = 0.0;
        int errorLine = 0;    // line of an uncaught error object, 0 when there is none
    };

    // The one entry for the value path, the offline tools and the script tester. Gives exactly the
    // result of evaluateInFreshEngine. A script that PureScriptCheck accepts is compiled once per
    // thread into a function of the variables it names and called in the thread's long-lived
    // engine, which it cannot change; any other script gets a new engine.
    static Result evaluate(const QString &script, const DataParser::ValueRec &rec);

    // The reference: a new QJSEngine for this one evaluation.
    static Result evaluateInFreshEngine(const QString &script, const DataParser::ValueRec &rec);

    // The result of a value script as a number: numbers as they are, texts holding a decimal
    // number read in C notation; false for anything else (NaN included).
    static bool toValue(const Result &result, double &value);
};
