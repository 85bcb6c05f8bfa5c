#include "dms/ConfiguredDataPoints.h"

#include "naming/AksPlaceholders.h"

#include "KyrIpc/DmsAccess.h"

#include <algorithm>
#include <limits>

namespace {

// Integer texts are read as decimal numbers (invalid text gives 0) and clamped to the range of
// the point's type, so 300 written to a BYS point gives 127.
template<typename T>
T integerValue(const QString &text)
{
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok);
    if (!ok)
        return 0;
    return T(std::clamp<qint64>(v, std::numeric_limits<T>::min(), std::numeric_limits<T>::max()));
}

} // namespace

ConfiguredDataPoints::ConfiguredDataPoints(const QList<DpEntry> &entries)
{
    for (const DpEntry &e : entries) {
        if (e.enabled)
            m_entries.append(e);
    }
}

const QStringList &ConfiguredDataPoints::typeNames()
{
    static const QStringList names = {QStringLiteral("BIT"), QStringLiteral("BYS"), QStringLiteral("WOS"),
                                      QStringLiteral("DWS"), QStringLiteral("BYU"), QStringLiteral("WOU"),
                                      QStringLiteral("DWU"), QStringLiteral("FLT"), QStringLiteral("STR")};
    return names;
}

int ConfiguredDataPoints::typeCode(const QString &valType)
{
    const qsizetype i = typeNames().indexOf(valType);
    return i >= 0 ? int(i) + 1 : Orvane::STR;
}

void ConfiguredDataPoints::apply(DmsAccess &dms, const DataParser::ValueRec &rec) const
{
    for (const DpEntry &e : m_entries) {
        const int type = typeCode(e.valType);
        QString name = e.aks;
        AksPlaceholders::replace(name, rec);
        if (dms.ReadType(name) == type)
            continue;
        dms.CreatePoint(name, type, 10, true, -1);
        switch (type) {
        case Orvane::BIT: dms.SendBit(name, integerValue<qint64>(e.value) != 0, 10, true); break;
        case Orvane::BYS: dms.SendBys(name, integerValue<qint8>(e.value), 10, true); break;
        case Orvane::WOS: dms.SendWos(name, integerValue<qint16>(e.value), 10, true); break;
        case Orvane::DWS: dms.SendDws(name, integerValue<qint32>(e.value), 10, true); break;
        case Orvane::BYU: dms.SendByu(name, integerValue<quint8>(e.value), 10, true); break;
        case Orvane::WOU: dms.SendWou(name, integerValue<quint16>(e.value), 10, true); break;
        case Orvane::DWU: dms.SendDwu(name, integerValue<quint32>(e.value), 10, true); break;
        case Orvane::FLT: {
            bool ok = false;
            const double v = e.value.trimmed().toDouble(&ok);
            dms.SendFlt(name, ok ? v : 0.0, 10, true);
            break;
        }
        default: {
            QString text = e.value;
            AksPlaceholders::replace(text, rec);
            dms.SendStr(name, text, 10, true);
            break;
        }
        }
    }
}
