#include "tools/ToolNaming.h"

#include "KyrLogger/Logger.h"

void ToolNaming::reset()
{
    m_aks = std::make_unique<AksNaming>(m_config);
    m_cache.clear();
}

bool ToolNaming::applyOptions(DataParser::ValueRec &rec)
{
    AksNaming::applyPrefix(rec, m_config.prefix);
    m_aks->collectOptions(rec);
    const bool kept = AksNaming::applyOptions(rec);
    if (m_config.aksToUppercase)
        rec.iaks = rec.iaks.toUpper();
    return kept;
}

bool ToolNaming::map(DataParser::ValueRec &rec)
{
    if (m_aks->mapRecord(rec, m_cache))
        return true;
    LOG_OUT(Kyr::LogWarning, "Empty rds for '%1'").arg(rec.iaks).endl();
    return false;
}
