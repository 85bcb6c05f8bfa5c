#pragma once
// Evaluation of the small JavaScript programs of the naming settings (prefix script, RDS script,
// value script). Every evaluation runs in a new QJSEngine whose global object carries the
// record's fields: IAKS, IAKS1, IAKS2, ... (the ":" parts), ITYPE, IUNIT, IOBIS, IDESCR, ISN, IIP
// and Value. The script's completion value is its result.

#include "parsing/DataParser.h"

#include <QString>

class QJSEngine;

class NamingScript
{
public:
    struct Result
    {
        bool ok = false;      // false: the engine reported an error, 'text' holds it
        QString text;         // the result's text form
        bool isNumber = false;
        double number = 0.0;
        int errorLine = 0;    // line of an uncaught error object, 0 when there is none
    };

    static Result evaluate(const QString &script, const DataParser::ValueRec &rec);

    // Sets the global variables of a record; the script tester offers the same ones.
    static void setVariables(QJSEngine &engine, const DataParser::ValueRec &rec);

    // The result of a value script as a number: numbers as they are, texts holding a decimal
    // number read in C notation; false for anything else (NaN included).
    static bool toValue(const Result &result, double &value);
};
