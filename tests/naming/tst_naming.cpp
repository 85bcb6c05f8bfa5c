// Naming of data points: wildcard patterns, prefix and options, placeholders, the mapping table
// with its cache, and the scripts with their failures.

#include "naming/AksNaming.h"
#include "naming/AksPlaceholders.h"
#include "naming/NamingScript.h"
#include "naming/PureScriptCheck.h"
#include "naming/WildcardPattern.h"

#include "../common/LogCapture.h"
#include "KyrLogger/Logger.h"

#include <QTest>

using Rec = DataParser::ValueRec;
Q_DECLARE_METATYPE(QList<MappingEntry>)

namespace {

Rec record(const QString &iaks, double value = 1.0, const QString &sn = QString())
{
    Rec r;
    r.timestamp = QDateTime(QDate(2026, 3, 1), QTime(12, 0), Qt::UTC);
    r.iaks = iaks;
    r.value = value;
    r.serialNumber = sn;
    r.importType = DataParser::ImportType(3);
    return r;
}

MappingEntry makeMapping(const QString &imported, const QString &dmsAks, const QString &script = QString())
{
    MappingEntry m;
    m.imported = imported;
    m.dmsAks = dmsAks;
    m.script = script;
    return m;
}

OptionEntry makeOption(const QString &pattern, int code, int importType = 0)
{
    OptionEntry o;
    o.dmsAks = pattern;
    o.option = code;
    o.importType = importType;
    return o;
}

// Prefix and options of the configuration, one record, and what naming makes of it.
struct NamingCase
{
    QString prefix;
    bool upper;
    QList<OptionEntry> options;
    QString iaks;
    double value;
    QString expectedAks; // empty: dropped
    QList<int> expectedFlags;
};

} // namespace

Q_DECLARE_METATYPE(NamingCase)

class TestNaming : public QObject
{
    Q_OBJECT
private slots:
    void wildcard_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("matches");
        QTest::newRow("star spans level separators") << "M1:*" << "M1:E:1.8.0" << true;
        QTest::newRow("star spans slashes") << "*:E" << "a/b:c/d:E" << true;
        QTest::newRow("star matches nothing") << "M1:*" << "M1:" << true;
        QTest::newRow("case-sensitive") << "m1:*" << "M1:E" << false;
        QTest::newRow("whole text, not a prefix") << "M1" << "M1:E" << false;
        QTest::newRow("whole text, not a part") << "*1" << "M1:E" << false;
        QTest::newRow("question mark is one character") << "M?:E" << "M12:E" << false;
        QTest::newRow("question mark matches a colon") << "M1?E" << "M1:E" << true;
        QTest::newRow("bracket set") << "[AB]1" << "B1" << true;
        QTest::newRow("bracket complement") << "[!AB]1" << "B1" << false;
        QTest::newRow("bracket range") << "M[0-9]" << "M7" << true;
        QTest::newRow("escaped star is literal") << "A\\*" << "AB" << false;
        QTest::newRow("escaped star matches itself") << "A\\*" << "A*" << true;
        QTest::newRow("regex characters are literal") << "a.b(c)+*" << "a.b(c)+x" << true;
        QTest::newRow("several stars") << "A*B*C" << "A:x:B:y:C" << true;
        QTest::newRow("tail must follow head") << "AB*BA" << "ABA" << false;
        QTest::newRow("unclosed bracket is literal") << "A[B" << "A[B" << true;
        QTest::newRow("empty pattern matches empty text only") << "" << "x" << false;
    }

    void wildcard()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, text);
        QFETCH(bool, matches);
        QCOMPARE(WildcardPattern(pattern).matches(text), matches);
    }

    void prefixAndOptions_data()
    {
        QTest::addColumn<NamingCase>("c");
        QTest::newRow("text prefix") << NamingCase{"SITE", false, {}, "M1:E", 1.0, "SITE:M1:E", {}};
        QTest::newRow("no prefix") << NamingCase{"", false, {}, "M1:E", 1.0, "M1:E", {}};
        QTest::newRow("upper-cased together with prefix") << NamingCase{"site", true, {}, "m1:e", 1.0, "SITE:M1:E", {}};
        QTest::newRow("script prefix") << NamingCase{"='X_' + IAKS", false, {}, "M1", 1.0, "X_M1", {}};
        QTest::newRow("failing prefix script keeps the identifier") << NamingCase{"=)(", false, {}, "M1", 1.0, "M1", {}};
        QTest::newRow("option 0 reads the UTC time as local time") << NamingCase{"", false, {makeOption("*", 0)}, "A", 1.0, "A", {0}};
        QTest::newRow("option 5 second last") << NamingCase{"", false, {makeOption("A:*", 5)}, "A:B:C", 1.0, "A:B:123:C", {5}};
        QTest::newRow("option 5 on one part") << NamingCase{"", false, {makeOption("A", 5)}, "A", 1.0, "123:A", {5}};
        QTest::newRow("option 4 suffix") << NamingCase{"", false, {makeOption("*", 4)}, "A:B", 1.0, "A:B:123", {4}};
        QTest::newRow("options 4 and 5: only 4") << NamingCase{"", false, {makeOption("*", 5), makeOption("A*", 4)}, "A:B", 1.0, "A:B:123", {5, 4}};
        QTest::newRow("option 2 drops zero") << NamingCase{"", false, {makeOption("*", 2)}, "A", 0.0, "", {2}};
        QTest::newRow("option 2 keeps non-zero") << NamingCase{"", false, {makeOption("*", 2)}, "A", 0.001, "A", {2}};
        QTest::newRow("option for another import type") << NamingCase{"", false, {makeOption("*", 2, 4)}, "A", 0.0, "A", {}};
        QTest::newRow("option for this import type") << NamingCase{"", false, {makeOption("*", 2, 3)}, "A", 0.0, "", {2}};
        QTest::newRow("every matching entry adds its code") << NamingCase{"", false, {makeOption("*", 3), makeOption("B", 1), makeOption("A", 1)}, "A", 1.0, "A", {3, 1}};
        QTest::newRow("options see the prefixed identifier") << NamingCase{"P", false, {makeOption("A:*", 4)}, "A:B", 1.0, "P:A:B", {}};
        QTest::newRow("options match before upper-casing") << NamingCase{"", true, {makeOption("A:*", 4)}, "a:b", 1.0, "A:B", {}};
    }

    void prefixAndOptions()
    {
        QFETCH(NamingCase, c);
        DmsConfig cfg;
        cfg.prefix = c.prefix;
        cfg.aksToUppercase = c.upper;
        cfg.options = c.options;
        AksNaming naming(cfg);
        AksNaming::MappingCache cache;
        Rec r = record(c.iaks, c.value, QStringLiteral("123"));
        AksNaming::applyPrefix(r, cfg.prefix);
        const bool kept = naming.nameRecord(r, cache);
        QCOMPARE(r.flagList, c.expectedFlags);
        QCOMPARE(kept, !c.expectedAks.isEmpty());
        if (kept)
            QCOMPARE(r.aks, c.expectedAks);
        // The clock reading stays; only option 0 takes it as local time instead of UTC.
        QCOMPARE(r.timestamp.date(), QDate(2026, 3, 1));
        QCOMPARE(r.timestamp.time(), QTime(12, 0));
        QCOMPARE(r.timestamp.timeSpec(), c.expectedFlags.contains(0) ? Qt::LocalTime : Qt::UTC);
    }

    void placeholders_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("whole names") << "%AKS%|%IAKS%" << "B:C:D|M1:E:1.8.0";
        QTest::newRow("numbered parts") << "%IAKS1%-%IAKS3%-%AKS2%" << "M1-1.8.0-C";
        QTest::newRow("missing part stays") << "%IAKS9%/%AKS4%" << "%IAKS9%/%AKS4%";
        QTest::newRow("two-digit part is not part one") << "%IAKS10%" << "%IAKS10%";
        QTest::newRow("record fields") << "%ITYPE%;%IUNIT%;%IOBIS%;%IDESCR%;%ISN%;%IIP%" << "MSCONS;kWh;1-1:1.8.0;Main;42;10.0.0.7";
        QTest::newRow("case-sensitive") << "%iaks%" << "%iaks%";
        QTest::newRow("no placeholder") << "PLAIN:TEXT" << "PLAIN:TEXT";
        QTest::newRow("repeated") << "%ISN%%ISN%" << "4242";
    }

    void placeholders()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        Rec r = record(QStringLiteral("M1:E:1.8.0"), 1.0, QStringLiteral("42"));
        r.aks = QStringLiteral("B:C:D");
        r.unit = QStringLiteral("kWh");
        r.obis = QStringLiteral("1-1:1.8.0");
        r.description = QStringLiteral("Main");
        r.ipAddress = QStringLiteral("10.0.0.7");
        AksPlaceholders::replace(text, r);
        QCOMPARE(text, expected);
    }

    void mapping_data()
    {
        QTest::addColumn<QList<MappingEntry>>("table");
        QTest::addColumn<QString>("iaks");
        QTest::addColumn<QString>("expectedAks"); // empty: dropped
        QTest::addColumn<double>("expectedValue");
        QTest::addColumn<QString>("warning");     // part of the warnings logged

        QTest::newRow("numbered identifier part") << QList<MappingEntry>{makeMapping("M1:*", "BLD:%IAKS2%:VAL")} << "M1:E" << "BLD:E:VAL" << 2.5 << "";
        QTest::newRow("no match keeps the identifier") << QList<MappingEntry>{makeMapping("M2:*", "X")} << "M1:E" << "M1:E" << 2.5 << "";
        QTest::newRow("first matching entry wins") << QList<MappingEntry>{makeMapping("M1:?", "FIRST"), makeMapping("M1:*", "SECOND")} << "M1:E" << "FIRST" << 2.5 << "";
        QTest::newRow("AKS placeholders stand for the target text") << QList<MappingEntry>{makeMapping("*", "X:%AKS1%")} << "M1:E" << "X:X" << 2.5 << "";
        QTest::newRow("placeholder in the pattern") << QList<MappingEntry>{makeMapping("%ISN%:*", "SN:%IAKS2%")} << "77:X" << "SN:X" << 2.5 << "";
        QTest::newRow("rds script") << QList<MappingEntry>{makeMapping("*", "='R:' + IAKS1.toLowerCase() + ':' + ISN")} << "M1:E" << "R:m1:77" << 2.5 << "";
        QTest::newRow("value script scales") << QList<MappingEntry>{makeMapping("*", "%IAKS%", "Value * 1000")} << "M1:E" << "M1:E" << 2500.0 << "";
        QTest::newRow("value script sees type and unit") << QList<MappingEntry>{makeMapping("*", "%IAKS%", "ITYPE == 'MSCONS' && IUNIT == 'kWh' ? 1 : 2")} << "M1" << "M1" << 1.0 << "";
        QTest::newRow("numeric text result") << QList<MappingEntry>{makeMapping("*", "%IAKS%", "'12.5'")} << "M1" << "M1" << 12.5 << "";
        QTest::newRow("empty target drops") << QList<MappingEntry>{makeMapping("M1:*", "")} << "M1:E" << "" << 0.0 << "";
        QTest::newRow("empty script result drops") << QList<MappingEntry>{makeMapping("M1:*", "=''")} << "M1:E" << "" << 0.0 << "";
        QTest::newRow("disabled entry is skipped") << QList<MappingEntry>{[] { auto m = makeMapping("*", "OFF"); m.enabled = false; return m; }(), makeMapping("*", "ON")} << "M1" << "ON" << 2.5 << "";
        // Failing scripts: the record goes on, named and valued as the warning says.
        QTest::newRow("rds syntax error keeps the identifier") << QList<MappingEntry>{makeMapping("*", "=IAKS +")} << "M1:E" << "M1:E" << 2.5 << "Could not evaluate rds script 'IAKS +' - SyntaxError";
        QTest::newRow("rds thrown error") << QList<MappingEntry>{makeMapping("*", "=throw new Error('no')")} << "M1:E" << "M1:E" << 2.5 << "Could not evaluate rds script 'throw new Error('no')' - Error: no";
        QTest::newRow("value script error keeps the value") << QList<MappingEntry>{makeMapping("*", "X", "Value *")} << "M1:E" << "X" << 2.5 << "Could not evaluate value script 'Value *' - SyntaxError";
        QTest::newRow("non-numeric result gives 0") << QList<MappingEntry>{makeMapping("*", "X", "'abc'")} << "M1:E" << "X" << 0.0 << "Could not convert script value 'abc' to double";
        QTest::newRow("NaN goes on for the value path to refuse") << QList<MappingEntry>{makeMapping("*", "X", "Value * 'x'")} << "M1:E" << "X" << qQNaN() << "";
        QTest::newRow("undefined gives 0") << QList<MappingEntry>{makeMapping("*", "X", "var a = 1;")} << "M1:E" << "X" << 0.0 << "Could not convert script value 'undefined' to double";
    }

    void mapping()
    {
        QFETCH(QList<MappingEntry>, table);
        QFETCH(QString, iaks);
        QFETCH(QString, expectedAks);
        QFETCH(double, expectedValue);
        QFETCH(QString, warning);
        DmsConfig cfg;
        cfg.mappings = table;
        AksNaming naming(cfg);
        AksNaming::MappingCache cache;
        Rec r = record(iaks, 2.5, QStringLiteral("77"));
        r.unit = QStringLiteral("kWh");
        LogCapture log;
        const bool kept = naming.mapRecord(r, cache);
        QCOMPARE(kept, !expectedAks.isEmpty());
        if (kept) {
            QCOMPARE(r.aks, expectedAks);
            QCOMPARE(r.value, expectedValue);
        }
        QVERIFY2(log.joined(Kyr::LogWarning).contains(warning), qPrintable(log.joined(Kyr::LogWarning)));
    }

    void mappingCacheKeepsFirstResult()
    {
        DmsConfig cfg;
        cfg.mappings = {makeMapping("%ISN%:*", "BY_SN:%IAKS2%"), makeMapping("*", "OTHER")};
        AksNaming naming(cfg);
        AksNaming::MappingCache cache;
        const auto mapped = [&](const char *iaks, const char *sn) {
            Rec r = record(QString::fromLatin1(iaks), 1.0, QString::fromLatin1(sn));
            return naming.mapRecord(r, cache) ? r.aks : QStringLiteral("(dropped)");
        };
        QCOMPARE(mapped("77:X", "77"), QStringLiteral("BY_SN:X"));
        // Same identifier from another meter: no longer matches the first pattern, but the cached
        // index stands.
        QCOMPARE(mapped("77:X", "88"), QStringLiteral("BY_SN:X"));
        // A new identifier is matched afresh, and misses are cached as -1.
        QCOMPARE(mapped("88:Y", "77"), QStringLiteral("OTHER"));
        QCOMPARE(cache.value(QStringLiteral("77:X")), 0);
        QCOMPARE(cache.value(QStringLiteral("88:Y")), 1);

        DmsConfig empty;
        AksNaming noTable(empty);
        Rec r = record(QStringLiteral("Z"));
        QVERIFY(noTable.mapRecord(r, cache = {}));
        QCOMPARE(cache.value(QStringLiteral("Z")), -1);
    }

    void scriptIsolation_data()
    {
        QTest::addColumn<QString>("before"); // evaluated first, to leave something behind
        QTest::addColumn<QString>("script");
        QTest::addColumn<bool>("pure");      // compiled once and run in the thread's engine

        QTest::newRow("value script") << "" << "Value * 1000" << true;
        QTest::newRow("rds script with parts") << "" << "'BLD:' + IAKS2 + ':' + IAKS3.toLowerCase() // rds" << true;
        QTest::newRow("part the record lacks") << "" << "IAKS4" << true;
        QTest::newRow("typeof a part the record lacks") << "" << "typeof IAKS4 + IAKS1" << true;
        QTest::newRow("global counter") << "x = (typeof x === 'undefined') ? 1 : x + 1" << "x = (typeof x === 'undefined') ? 1 : x + 1" << false;
        QTest::newRow("changed Math.round") << "Math.round = Math.floor" << "Math.round(Value)" << true;
        QTest::newRow("changed prototype") << "String.prototype.toLowerCase = String.prototype.toUpperCase" << "IAKS1.toLowerCase()" << true;
        QTest::newRow("throws") << "" << "throw new Error('no')" << false;
        QTest::newRow("throws a non-error") << "" << "({ toString() { throw 5 } }) + ''" << true;
        QTest::newRow("error on the second line") << "" << "Value +\n  IAKS.x.y" << true;
        QTest::newRow("syntax error") << "" << "Value *" << true;
        QTest::newRow("error value") << "" << "new Error('bad')" << false;
        QTest::newRow("undefined") << "" << "var a = 1;" << false;
        QTest::newRow("object") << "" << "({ a: 1 })" << true;
        QTest::newRow("global object") << "" << "this.Value" << false;
        QTest::newRow("closes the wrapper") << "" << "1), (2" << false;
        QTest::newRow("regular expression") << "" << "IAKS.replace(/M/, 'X')" << false;
    }

    // The thread's engine gives what a new engine gives, also after scripts that change their engine.
    void scriptIsolation()
    {
        QFETCH(QString, before);
        QFETCH(QString, script);
        QFETCH(bool, pure);
        QCOMPARE(PureScriptCheck::check(script).pure, pure);
        Rec r = record(QStringLiteral("M1:E:1.8.0"), 2.5);
        if (!before.isEmpty())
            NamingScript::evaluate(before, r);
        const NamingScript::Result fresh = NamingScript::evaluateInFreshEngine(script, r);
        for (int round = 0; round < 2; ++round) {
            const NamingScript::Result result = NamingScript::evaluate(script, r);
            QCOMPARE(result.ok, fresh.ok);
            QCOMPARE(result.text, fresh.text);
            QCOMPARE(result.isNumber, fresh.isNumber);
            QCOMPARE(result.number, fresh.number);
            QCOMPARE(result.errorLine, fresh.errorLine);
        }
    }

    void endlessScriptIsStopped()
    {
        const NamingScript::Result result = NamingScript::evaluate(QStringLiteral("while (true) {}"), record(QStringLiteral("M1")));
        QVERIFY(!result.ok);
        QCOMPARE(result.text, QStringLiteral("Script did not finish within 2 s"));
    }
};

QTEST_GUILESS_MAIN(TestNaming)
#include "tst_naming.moc"
