#pragma once
// The table of data-file formats: one row per format with its import type, configuration name,
// display name, detection signature and parser. Detection, parsing and the name lookups all walk
// it, so adding a format means adding one row.

#include "parsing/DataParser.h"
#include "parsing/formats/FormatParsers.h"

#include <QStringView>

#include <span>

namespace FormatTable {

// How a format is recognised from the detection head (the first 50 bytes without whitespace).
struct Signature
{
    enum Kind {
        StartsWith,     // the head starts with one of texts
        Contains,       // the head contains one of texts
        NoSignature,    // taken when no row's texts matched: the start of the fallback chain
        AfterDecline,   // no texts of its own: tried when the row before it declined
    };
    Kind kind = AfterDecline;
    std::span<const char16_t *const> texts;

    bool matches(QStringView head) const;
};

using Parser = FormatParsers::ParseResult (*)(const QByteArray &data, QString &errorText,
                                              FormatParsers::Records &values, const QString &fileName);

struct Format
{
    DataParser::ImportType type;
    const char *configName;   // configuration file and the %ITYPE% placeholder
    const char *displayName;  // lists of the user interface and the SQLite export
    Signature signature;
    Parser parse;             // none for IMPTYPE_NA
};

// All formats in detection order: the first row whose signature matches is chosen; when it
// declines, the AfterDecline rows that follow it are tried in turn.
std::span<const Format> formats();

// The row of a type; nullptr outside 0..ImportTypeCount-1.
const Format *byType(int type);

} // namespace FormatTable
