#include "naming/AksPlaceholders.h"

namespace {

void replaceParts(QString &text, const QString &name, const QString &value)
{
    const QString marker = u'%' + name;
    if (!text.contains(marker))
        return;
    const QStringList parts = value.split(u':');
    for (qsizetype n = 0; n < parts.size(); ++n)
        text.replace(marker + QString::number(n + 1) + u'%', parts[n]);
}

} // namespace

void AksPlaceholders::replace(QString &text, const DataParser::ValueRec &rec)
{
    if (!text.contains(u'%'))
        return;
    text.replace(QStringLiteral("%AKS%"), rec.aks);
    replaceParts(text, QStringLiteral("AKS"), rec.aks);
    text.replace(QStringLiteral("%IAKS%"), rec.iaks);
    replaceParts(text, QStringLiteral("IAKS"), rec.iaks);
    text.replace(QStringLiteral("%ITYPE%"), importTypeName(rec.importType));
    text.replace(QStringLiteral("%IUNIT%"), rec.unit);
    text.replace(QStringLiteral("%IOBIS%"), rec.obis);
    text.replace(QStringLiteral("%IDESCR%"), rec.description);
    text.replace(QStringLiteral("%ISN%"), rec.serialNumber);
    text.replace(QStringLiteral("%IIP%"), rec.ipAddress);
}

QString AksPlaceholders::importTypeName(DataParser::ImportType type)
{
    return DataParser::configName(int(type));
}
