#pragma once
// How the offline tools name a record, as the live path does: prefix, options, upper-casing of the
// import identifier, then the mapping to the DMS point name. One per tool; reset for each run, so
// every run starts with the mapping cache empty.

#include "config/Settings.h"
#include "naming/AksNaming.h"

#include <memory>

class ToolNaming
{
public:
    explicit ToolNaming(const DmsConfig &config) : m_config(config) {}

    void reset();
    // Prefix, options and upper-casing; false when the options drop the record.
    bool applyOptions(DataParser::ValueRec &rec);
    // The DMS point name by the mapping; false (and logged) when the mapping gives none.
    bool map(DataParser::ValueRec &rec);

private:
    DmsConfig m_config;
    std::unique_ptr<AksNaming> m_aks;
    AksNaming::MappingCache m_cache;
};
