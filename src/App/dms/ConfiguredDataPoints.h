#pragma once
// The configured data points ("Dps"): companion points named with placeholders of the record
// (for example "%AKS%:Unit") that are created with their type and value when missing or of
// another type. Points that exist with the right type are left untouched.

#include "config/Settings.h"
#include "parsing/DataParser.h"

#include <QList>

class DmsAccess;

class ConfiguredDataPoints
{
public:
    explicit ConfiguredDataPoints(const QList<DpEntry> &entries);

    void apply(DmsAccess &dms, const DataParser::ValueRec &rec) const;

    // "BIT" 1, "BYS" 2, "WOS" 3, "DWS" 4, "BYU" 5, "WOU" 6, "DWU" 7, "FLT" 8, anything else 9 (STR).
    static int typeCode(const QString &valType);
    // The type names in the order of their codes, "STR" last.
    static const QStringList &typeNames();

private:
    QList<DpEntry> m_entries; // enabled ones only
};
