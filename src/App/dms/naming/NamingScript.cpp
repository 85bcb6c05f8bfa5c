#include "dms/naming/NamingScript.h"

#include "dms/naming/AksPlaceholders.h"

#include <QJSEngine>
#include <QJSValue>

#include <cmath>

void NamingScript::setVariables(QJSEngine &engine, const DataParser::ValueRec &rec)
{
    QJSValue global = engine.globalObject();
    global.setProperty(QStringLiteral("IAKS"), rec.iaks);
    const QStringList parts = rec.iaks.split(u':');
    for (qsizetype n = 0; n < parts.size(); ++n)
        global.setProperty(QStringLiteral("IAKS") + QString::number(n + 1), parts[n]);
    global.setProperty(QStringLiteral("ITYPE"), AksPlaceholders::importTypeName(rec.importType));
    global.setProperty(QStringLiteral("IUNIT"), rec.unit);
    global.setProperty(QStringLiteral("IOBIS"), rec.obis);
    global.setProperty(QStringLiteral("IDESCR"), rec.description);
    global.setProperty(QStringLiteral("ISN"), rec.serialNumber);
    global.setProperty(QStringLiteral("IIP"), rec.ipAddress);
    global.setProperty(QStringLiteral("Value"), rec.value);
}

NamingScript::Result NamingScript::evaluate(const QString &script, const DataParser::ValueRec &rec)
{
    QJSEngine engine;
    setVariables(engine, rec);
    const QJSValue value = engine.evaluate(script);
    Result result;
    result.ok = !value.isError() && !engine.hasError();
    result.text = value.toString();
    result.isNumber = value.isNumber();
    if (result.isNumber)
        result.number = value.toNumber();
    if (value.isError())
        result.errorLine = value.property(QStringLiteral("lineNumber")).toInt();
    return result;
}

bool NamingScript::toValue(const Result &result, double &value)
{
    bool ok = false;
    double number = 0.0;
    if (result.isNumber) {
        number = result.number;
        ok = true;
    } else {
        number = result.text.trimmed().toDouble(&ok);
    }
    if (!ok || std::isnan(number))
        return false;
    value = number;
    return true;
}
