#pragma once
// The placeholders of point names and mapping patterns: %AKS%, %AKS<n>%, %IAKS%, %IAKS<n>%,
// %ITYPE%, %IUNIT%, %IOBIS%, %IDESCR%, %ISN%, %IIP%.

#include "parsing/DataParser.h"

#include <QString>

class AksPlaceholders
{
public:
    // Replaces the placeholders in 'text' in place, in the order listed above. A numbered
    // placeholder without a matching ":" part stays in the text.
    static void replace(QString &text, const DataParser::ValueRec &rec);

    // Configuration name of an import type; "?" outside the known range.
    static QString importTypeName(DataParser::ImportType type);
};
