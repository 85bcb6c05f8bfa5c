#include "naming/AksNaming.h"

#include "naming/AksPlaceholders.h"
#include "naming/NamingScript.h"

#include "KyrLogger/Logger.h"

#include <QTimeZone>

#include <cmath>

namespace {
// Bound for the compiled patterns that came from placeholder replacement.
constexpr qsizetype MaxReplacedPatterns = 20000;
} // namespace

AksNaming::AksNaming(const DmsConfig &config)
    : m_config(config)
{
    for (const OptionEntry &o : config.options) {
        if (o.enabled)
            m_options.append({o.importType, o.option, WildcardPattern(o.dmsAks)});
    }
    for (const MappingEntry &m : config.mappings) {
        const bool placeholders = m.imported.contains(u'%');
        m_mappings.append({m.enabled, placeholders,
                           placeholders ? WildcardPattern() : WildcardPattern(m.imported), m});
    }
}

bool AksNaming::isEndMailMarker(const DataParser::ValueRec &rec)
{
    return rec.aks.endsWith(endMailMarker());
}

void AksNaming::applyPrefix(DataParser::ValueRec &rec, const QString &prefix)
{
    if (prefix.isEmpty())
        return;
    if (!prefix.startsWith(u'=')) {
        rec.iaks = prefix + u':' + rec.iaks;
        return;
    }
    const NamingScript::Result result = NamingScript::evaluate(prefix.mid(1), rec);
    // The result's text becomes the identifier. An evaluation error is logged and leaves the
    // identifier as it was, so that no point is named after an error text.
    if (!result.ok) {
        LOG_OUT(Kyr::LogWarning, "Could not evaluate prefix script '%1' - %2").arg(prefix.mid(1)).arg(result.text).endl();
        return;
    }
    rec.iaks = result.text;
}

void AksNaming::collectOptions(DataParser::ValueRec &rec) const
{
    for (const CompiledOption &o : m_options) {
        if ((o.importType == 0 || o.importType == int(rec.importType)) && o.pattern.matches(rec.iaks))
            rec.flagList.append(o.option);
    }
}

bool AksNaming::applyOptions(DataParser::ValueRec &rec)
{
    if (rec.flagList.isEmpty())
        return true;
    if (rec.flagList.contains(OptIgnoreUtc)) {
        // The UTC reading is taken as local time: 10:00 UTC becomes 10:00 local time.
        QString text = rec.timestamp.toUTC().toString(Qt::ISODate);
        if (text.endsWith(u'Z'))
            text.chop(1);
        rec.timestamp = QDateTime::fromString(text, Qt::ISODate);
    }
    if (rec.flagList.contains(OptIgnoreZero) && rec.value == 0.0)
        return false;
    if (rec.flagList.contains(OptSnSuffix)) {
        rec.iaks += u':' + rec.serialNumber;
        return true;
    }
    if (rec.flagList.contains(OptSnSecondLast)) {
        QStringList parts = rec.iaks.split(u':');
        parts.insert(parts.size() - 1, rec.serialNumber);
        rec.iaks = parts.join(u':');
    }
    return true;
}

const WildcardPattern &AksNaming::placeholderPattern(const QString &text)
{
    auto it = m_replacedPatterns.constFind(text);
    if (it != m_replacedPatterns.constEnd())
        return *it;
    if (m_replacedPatterns.size() >= MaxReplacedPatterns)
        m_replacedPatterns.clear();
    return *m_replacedPatterns.insert(text, WildcardPattern(text));
}

int AksNaming::findMapping(const DataParser::ValueRec &rec)
{
    for (qsizetype i = 0; i < m_mappings.size(); ++i) {
        const CompiledMapping &m = m_mappings[i];
        if (!m.enabled)
            continue;
        if (!m.hasPlaceholders) {
            if (m.pattern.matches(rec.iaks))
                return int(i);
            continue;
        }
        QString pattern = m.entry.imported;
        AksPlaceholders::replace(pattern, rec);
        if (placeholderPattern(pattern).matches(rec.iaks))
            return int(i);
    }
    return -1;
}

bool AksNaming::mapRecord(DataParser::ValueRec &rec, MappingCache &cache)
{
    rec.aks = rec.iaks;
    auto cached = cache.constFind(rec.iaks);
    int index;
    if (cached != cache.constEnd()) {
        index = *cached;
    } else {
        index = findMapping(rec);
        cache.insert(rec.iaks, index);
    }
    if (index < 0)
        return true;

    const MappingEntry &entry = m_mappings[index].entry;
    if (!entry.dmsAks.startsWith(u'=')) {
        // %AKS% and its parts stand for the DmsAks text itself here.
        rec.aks = entry.dmsAks;
        AksPlaceholders::replace(rec.aks, rec);
    } else {
        const QString script = entry.dmsAks.mid(1);
        const NamingScript::Result result = NamingScript::evaluate(script, rec);
        if (result.ok)
            rec.aks = result.text;
        else
            LOG_OUT(Kyr::LogWarning, "Could not evaluate rds script '%1' - %2").arg(script).arg(result.text).endl();
    }
    if (rec.aks.isEmpty())
        return false;

    if (!entry.script.isEmpty()) {
        const NamingScript::Result result = NamingScript::evaluate(entry.script, rec);
        if (!result.ok) {
            LOG_OUT(Kyr::LogWarning, "Could not evaluate value script '%1' - %2").arg(entry.script).arg(result.text).endl();
        } else if (result.isNumber && !std::isfinite(result.number)) {
            // NaN and the infinities are numbers to the script engine, but no value: they go on
            // as they are, and the value path refuses them, rather than becoming a written 0.
            rec.value = result.number;
        } else if (!NamingScript::toValue(result, rec.value)) {
            rec.value = 0.0;
            LOG_OUT(Kyr::LogWarning, "Could not convert script value '%1' to double").arg(result.text).endl();
        }
    }
    return true;
}

bool AksNaming::nameRecord(DataParser::ValueRec &rec, MappingCache &cache)
{
    if (!isEndMailMarker(rec))
        collectOptions(rec);
    if (!applyOptions(rec))
        return false;
    if (m_config.aksToUppercase)
        rec.iaks = rec.iaks.toUpper();
    return mapRecord(rec, cache);
}
