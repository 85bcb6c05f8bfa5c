#include "naming/NamingScript.h"

#include "naming/AksPlaceholders.h"
#include "naming/PureScriptCheck.h"

#include <QHash>
#include <QJSEngine>
#include <QJSValue>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace {

// Distinct script texts compiled per thread; past it the compiled functions are dropped and
// compiled again as they come.
constexpr qsizetype MaxCompiledScripts = 2000;

// A script in a new engine may loop for ever; past this time it is stopped. The compiled scripts
// cannot loop.
constexpr std::chrono::seconds MaxScriptTime(2);

// Interrupts the engine's evaluation when it is still running after MaxScriptTime.
class ScriptDeadline
{
public:
    explicit ScriptDeadline(QJSEngine &engine)
        : m_watch([this, &engine] {
            std::unique_lock lock(m_mutex);
            if (!m_finished.wait_for(lock, MaxScriptTime, [this] { return m_done; }))
                engine.setInterrupted(true);
        })
    {
    }

    ~ScriptDeadline()
    {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_finished.notify_one();
        m_watch.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_finished;
    bool m_done = false;
    std::thread m_watch;
};

NamingScript::Result resultOf(const QJSValue &value, bool thrown)
{
    NamingScript::Result result;
    result.ok = !thrown && !value.isError();
    result.text = value.toString();
    result.isNumber = value.isNumber();
    if (result.isNumber)
        result.number = value.toNumber();
    if (value.isError())
        result.errorLine = value.property(QStringLiteral("lineNumber")).toInt();
    return result;
}

QJSValue recordVariable(const QString &name, const DataParser::ValueRec &rec)
{
    if (name == QLatin1StringView("Value"))
        return QJSValue(rec.value);
    if (name == QLatin1StringView("IAKS"))
        return QJSValue(rec.iaks);
    if (name == QLatin1StringView("ITYPE"))
        return QJSValue(AksPlaceholders::importTypeName(rec.importType));
    if (name == QLatin1StringView("IUNIT"))
        return QJSValue(rec.unit);
    if (name == QLatin1StringView("IOBIS"))
        return QJSValue(rec.obis);
    if (name == QLatin1StringView("IDESCR"))
        return QJSValue(rec.description);
    if (name == QLatin1StringView("ISN"))
        return QJSValue(rec.serialNumber);
    return QJSValue(rec.ipAddress); // IIP
}

void setVariables(QJSEngine &engine, const DataParser::ValueRec &rec)
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

// The long-lived engine of one thread with the pure scripts compiled in it. A pure script becomes
//   function(<variables it names>) { try { return (<script>\n) } catch (e) { ... } }
// with the script on the function's first line, so that error lines stay those of the script.
// The record's variables are the function's parameters; the parts IAKSn the record does not have
// are left out, so that naming them fails as in a new engine. A value thrown is handed back
// in a box object, since a call does not tell a thrown value from a returned one.
class ThreadScripts
{
public:
    static ThreadScripts &local()
    {
        thread_local ThreadScripts scripts;
        return scripts;
    }

    // No value: the script is not pure (or did not compile as an expression) and needs a new
    // engine.
    std::optional<NamingScript::Result> evaluate(const QString &script, const DataParser::ValueRec &rec)
    {
        Entry &entry = entryOf(script);
        if (!entry.verdict.pure)
            return std::nullopt;

        QStringList parts;
        qsizetype present = 0;
        if (!entry.verdict.parts.isEmpty()) {
            parts = rec.iaks.split(u':');
            while (present < entry.verdict.parts.size() && entry.verdict.parts[present] <= parts.size())
                ++present;
        }
        QJSValue &function = entry.variants[present];
        if (function.isUndefined())
            function = compile(script, entry.verdict, present);
        if (!function.isCallable())
            return std::nullopt;

        QJSValueList args;
        args.reserve(entry.verdict.variables.size() + present);
        for (const QString &name : std::as_const(entry.verdict.variables))
            args.append(recordVariable(name, rec));
        for (qsizetype i = 0; i < present; ++i)
            args.append(QJSValue(parts[entry.verdict.parts[i] - 1]));

        QJSValue value = function.call(args);
        const bool thrown = value.strictlyEquals(m_thrown);
        if (thrown) {
            value = m_thrown.property(QStringLiteral("value"));
            m_thrown.setProperty(QStringLiteral("value"), QJSValue());
        }
        return resultOf(value, thrown);
    }

private:
    struct Entry
    {
        PureScriptCheck::Verdict verdict;
        QList<QJSValue> variants; // by the number of named parts the record has
    };

    ThreadScripts()
        : m_thrown(m_engine.newObject())
    {
    }

    Entry &entryOf(const QString &script)
    {
        auto it = m_scripts.find(script);
        if (it != m_scripts.end())
            return *it;
        if (m_scripts.size() >= MaxCompiledScripts)
            m_scripts.clear();
        Entry entry;
        entry.verdict = PureScriptCheck::check(script);
        entry.variants.resize(entry.verdict.parts.size() + 1);
        return *m_scripts.insert(script, entry);
    }

    // The function, or null when the script is no expression.
    QJSValue compile(const QString &script, const PureScriptCheck::Verdict &verdict, qsizetype present)
    {
        QStringList parameters = verdict.variables;
        for (qsizetype i = 0; i < present; ++i)
            parameters.append(QStringLiteral("IAKS") + QString::number(verdict.parts[i]));
        const QString text = QStringLiteral("(function(__thrown){return function(") + parameters.join(u',')
                             + QStringLiteral("){try{return(") + script
                             + QStringLiteral("\n)}catch(e){__thrown.value=e;return __thrown}}})");
        const QJSValue factory = m_engine.evaluate(text);
        if (!factory.isCallable())
            return QJSValue(QJSValue::NullValue);
        return factory.call({m_thrown});
    }

    QJSEngine m_engine;
    QJSValue m_thrown;
    QHash<QString, Entry> m_scripts;
};

} // namespace

NamingScript::Result NamingScript::evaluate(const QString &script, const DataParser::ValueRec &rec)
{
    if (std::optional<Result> result = ThreadScripts::local().evaluate(script, rec))
        return *result;
    return evaluateInFreshEngine(script, rec);
}

NamingScript::Result NamingScript::evaluateInFreshEngine(const QString &script, const DataParser::ValueRec &rec)
{
    QJSEngine engine;
    setVariables(engine, rec);
    // The engine clears its error state when evaluate returns; the stack trace of an uncaught
    // exception tells a thrown value (throw 5) from a returned one.
    QStringList exceptionTrace;
    QJSValue value;
    bool expired = false;
    {
        ScriptDeadline deadline(engine);
        value = engine.evaluate(script, QString(), 1, &exceptionTrace);
        expired = engine.isInterrupted(); // the engine also turned the result into an error then
    }
    if (expired) {
        NamingScript::Result result;
        result.text = QStringLiteral("Script did not finish within %1 s").arg(MaxScriptTime.count());
        return result;
    }
    return resultOf(value, !exceptionTrace.isEmpty());
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
