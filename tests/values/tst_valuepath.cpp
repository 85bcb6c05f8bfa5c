// The value path of a running DMS handler thread against the embedded point store: what the store
// holds after a mail's values and its end-of-mail marker went through addMailValue.

#include "../common/DmsHandlerRun.h"
#include "../common/JsonCases.h"
#include "../common/LogCapture.h"
#include "KyrLogger/Logger.h"

#include <QCoreApplication>
#include <QTest>

using Rec = DataParser::ValueRec;
// DmsConfig{.name = value}: a case names only the settings it changes, the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

const QString casesFile = QStringLiteral("tests/data/dms/cases.json");

Rec value(const QString &iaks, double v, const QDateTime &stamp, qint32 state = 0)
{
    Rec r;
    r.timestamp = stamp;
    r.iaks = iaks;
    r.value = v;
    r.state = state;
    r.importType = DataParser::ImportType(3);
    return r;
}

DmsConfig onFreshStores(DmsConfig config)
{
    static int run = 0;
    ++run;
    config.dmsConnection = QStringLiteral("values-dms-%1").arg(run);
    config.pdbsConnection = QStringLiteral("values-pdbs-%1").arg(run);
    return config;
}

// A ready DMS handler thread on fresh in-memory stores for the DMS and the PDBS, the DMS store
// prepared as a former run left it.
class HandlerRun : public DmsHandlerRun
{
public:
    explicit HandlerRun(const DmsConfig &config, const std::function<void(Orvane::PointStore &)> &prepare = {})
        : DmsHandlerRun(onFreshStores(config), DmsTiming{.asyncUpDelayMs = 1, .logoutDelayMs = 1})
    {
        if (prepare)
            prepare(*store);
        ok = startReady();
    }
    bool ok = false;
};

} // namespace

class TestValuePath : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qunsetenv("ServiceMode");
        qunsetenv("ORVANE_CURRENT_PROJECT_LOCATION");
        QCoreApplication::setApplicationName(QStringLiteral("QuillonTest"));
    }

    void dbStates_data() { JsonCases::addRows(casesFile, QStringLiteral("db states")); }

    void dbStates()
    {
        QFETCH(QJsonObject, row);
        const QJsonArray states = row["states"].toArray();
        // The driver's ":LastMail" as a former run left it.
        const QString lastMail = QStringLiteral("System:Driver:QuillonTest:LastMail");
        HandlerRun run(DmsConfig{.prefix = "SITE", .useTrdConfig = row["useTrdConfig"].toBool()},
                       [&](Orvane::PointStore &s) { s.setPoint(lastMail, Orvane::STR, QStringLiteral("2020-01-02T03:04:05")); });
        QVERIFY(run.ok);
        QSignalSpy written(run.handler.get(), &DmsHandler::sigValueToDb);
        const QDateTime now = QDateTime::currentDateTime();
        const QDateTime base = now.addSecs(-600);
        QList<Rec> recs;
        for (int i = 0; i < 3; ++i) {
            Rec r = value("M1:E", 1.0 + i, base.addSecs(i * 60), row["state"].toInt());
            r.increment = row["increment"].toBool();
            recs.append(r);
        }
        QVERIFY(run.mail(recs));
        const auto rows = run.trend("SITE:M1:E");
        QCOMPARE(rows.size(), states.size());
        for (int i = 0; i < rows.size(); ++i) {
            QCOMPARE(rows[i].state, quint32(states[i].toInt()));
            QCOMPARE(rows[i].value, 1.0 + i);
            QCOMPARE(rows[i].timeMs, base.addSecs(i * 60).toMSecsSinceEpoch());
        }
        QCOMPARE(written.size(), states.size());
        QCOMPARE(written.at(0).at(1).value<quint32>(), quint32(states[0].toInt()));
        // The point and its companions exist; the last value also went to the DMS.
        QCOMPARE(run.pointType("SITE:M1:E"), int(Orvane::FLT));
        QCOMPARE(run.pointType("SITE:M1:E:State"), int(Orvane::DWS));
        QCOMPARE(run.pointValue("SITE:M1:E").toDouble(), 3.0);
        QCOMPARE(run.sink.created, QStringList{"SITE:M1:E"});
        // The end of the mail ("ENDMAILCHECK") stamps ":LastMail" with the time the mail ended.
        const QDateTime stamp = QDateTime::fromString(run.pointValue(lastMail).toString(), Qt::ISODate);
        QVERIFY2(stamp.isValid() && stamp.secsTo(now) <= 1, qPrintable(run.pointValue(lastMail).toString()));
    }

    // Rows expected: [seconds after the held value's slot, value, state].
    void trendGrid_data() { JsonCases::addRows(casesFile, QStringLiteral("trend grid")); }

    void trendGrid()
    {
        QFETCH(QJsonObject, row);
        const qint64 newValueOffset = row["newValueOffset"].toInteger();
        const QJsonArray expected = row["rows"].toArray();
        // The point as a former run left it: held value 10 at slot 12:00, cycle 900 s, tolerance 0.5.
        const QDateTime slot(QDate::currentDate().addDays(-5), QTime(12, 0));
        HandlerRun run(DmsConfig{.useTrdConfig = true, .maxLastUpdate = 0}, [&](Orvane::PointStore &s) {
            s.setPoint("G", Orvane::FLT, 10.0);
            s.setPoint("G:State", Orvane::DWS, 0);
            s.setPoint("G:MDLastUpdate", Orvane::DWS, slot.toSecsSinceEpoch());
            s.setPoint("G:TRD:CYCLE", Orvane::DWS, 900);
            s.setPoint("G:TRD:TOL", Orvane::FLT, 0.5);
        });
        QVERIFY(run.ok);
        QVERIFY(run.mail({value("G", row["newValue"].toDouble(), slot.addSecs(newValueOffset))}));
        const auto rows = run.trend("G");
        QCOMPARE(rows.size(), row["count"].toInt());
        for (int i = 0; i < expected.size(); ++i) {
            const QJsonArray e = expected[i].toArray();
            QCOMPARE(rows[i].timeMs, slot.addSecs(e[0].toInteger()).toMSecsSinceEpoch());
            QCOMPARE(rows[i].value, e[1].toDouble());
            QCOMPARE(rows[i].state, quint32(e[2].toInt()));
        }
        const qint64 t = slot.addSecs(newValueOffset).toSecsSinceEpoch();
        for (const auto &r : rows)
            QVERIFY(r.timeMs / 1000 > t - 86400 && r.timeMs / 1000 <= t);
    }

    // Four values of a new point, a cycle apart, beyond the range of 32-bit seconds: one day of
    // held repeats before the first (95), then each value itself.
    void trendGridAfter2038()
    {
        HandlerRun run(DmsConfig{.useTrdConfig = true, .maxLastUpdate = 0});
        QVERIFY(run.ok);
        const QDateTime first(QDate(2039, 3, 1), QTime(12, 0), Qt::UTC);
        QList<Rec> recs;
        for (int i = 0; i < 4; ++i)
            recs.append(value("F", 1.0 + i, first.addSecs(i * 900)));
        QVERIFY(run.mail(recs));
        const auto rows = run.trend("F");
        QCOMPARE(rows.size(), 95 + 4);
        QCOMPARE(rows.first().timeMs, first.addSecs(900 - 86400).toMSecsSinceEpoch());
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(rows[95 + i].timeMs, recs[i].timestamp.toMSecsSinceEpoch());
            QCOMPARE(rows[95 + i].value, recs[i].value);
        }
    }

    // A bad value under the skip option is not written but counts (last update, state error);
    // the next mail's good value is written and, its statistics fresh, ends the state error.
    void skipBadStateOption()
    {
        HandlerRun run(DmsConfig{.options = {OptionEntry{.dmsAks = "*", .option = 3}}});
        QVERIFY(run.ok);
        const QDateTime stamp = QDateTime::currentDateTime().addSecs(-30);
        QVERIFY(run.mail({value("B", 5.0, stamp, 1001)}));
        QVERIFY(run.trend("B").isEmpty());
        QCOMPARE(run.pointValue("B").toDouble(), 0.0);
        QCOMPARE(run.pointValue("B:MDLastUpdate").toLongLong(), stamp.toSecsSinceEpoch());
        QCOMPARE(run.pointValue("B:State").toLongLong(), 1001);
        QCOMPARE(run.handler->stateErrorLines(), QStringList{"B State 1001 - Unusable quantity."});

        QVERIFY(run.mail({value("B", 6.0, stamp.addSecs(10))}));
        QCOMPARE(run.trend("B").size(), 1);
        QCOMPARE(run.pointValue("B").toDouble(), 6.0);
        QCOMPARE(run.pointValue("B:State").toLongLong(), 0);
        QVERIFY(run.handler->stateErrorLines().isEmpty());
    }

    void rangeCheck_data() { JsonCases::addRows(casesFile, QStringLiteral("range checks")); }

    void rangeCheck()
    {
        QFETCH(QJsonObject, row);
        const QString message = row["message"].toString(); // empty: none
        QList<CheckEntry> checks;
        for (const QJsonValue &c : row["checks"].toArray())
            checks.append(CheckEntry{.enabled = c["enabled"].toBool(), .aks = c["aks"].toString(),
                                     .min = c["min"].toDouble(), .max = c["max"].toDouble()});
        HandlerRun run(DmsConfig{.checks = checks});
        QVERIFY(run.ok);
        LogCapture log;
        const QDateTime stamp = QDateTime::currentDateTime();
        // Only the point's last value of the mail is checked.
        QVERIFY(run.mail({value("R:X", 1e6, stamp.addSecs(-60)), value("R:X", row["lastValue"].toDouble(), stamp)}));
        if (message.isEmpty()) {
            QVERIFY2(!log.joined(Kyr::LogWarning).contains("out of range"), qPrintable(log.joined(Kyr::LogWarning)));
            QVERIFY(run.sink.messages.isEmpty());
        } else {
            QCOMPARE(log.count(Kyr::LogWarning, message), 1);
            QCOMPARE(run.sink.messages, QStringList{message});
        }
    }

    void modbusAddress_data() { JsonCases::addRows(casesFile, QStringLiteral("modbus address")); }

    void modbusAddress()
    {
        QFETCH(QJsonObject, row);
        const QString storedIp = row["storedIp"].toString(); // empty: no ":MB_IP" point
        const int telegram = row["telegram"].toInt();        // -1: no ":MB_TELEGRAM" point
        HandlerRun run(DmsConfig{.options = {OptionEntry{.dmsAks = "MB:*", .option = 1}}}, [&](Orvane::PointStore &s) {
            s.setPoint("MB:M:MODBUS", Orvane::STR, "old");
            if (!storedIp.isEmpty())
                s.setPoint("MB:M:MODBUS:MB_IP", Orvane::STR, storedIp);
            if (telegram >= 0)
                s.setPoint("MB:M:MODBUS:MB_TELEGRAM", Orvane::DWU, telegram);
        });
        QVERIFY(run.ok);
        Rec r = value("MB:M", 1.0, QDateTime::currentDateTime());
        r.ipAddress = "10.1.2.3";
        r.serialNumber = "99";
        QVERIFY(run.mail({r}));
        QCOMPARE(run.pointValue("MB:M:MODBUS:MB_IP").toString(), row["ipAfter"].toString());
        QCOMPARE(run.pointValue("MB:M:MODBUS").toString(), row["folderAfter"].toString());
    }

    void multipleWrite_data() { JsonCases::addRows(casesFile, QStringLiteral("multiple write")); }

    void multipleWrite()
    {
        QFETCH(QJsonObject, row);
        const QStringList serials = row["serials"].toVariant().toStringList();
        const QStringList messages = row["messages"].toVariant().toStringList();
        HandlerRun run(DmsConfig{});
        QVERIFY(run.ok);
        LogCapture log;
        QList<Rec> recs;
        const QDateTime stamp = QDateTime::currentDateTime().addSecs(-100);
        for (int i = 0; i < serials.size(); ++i) {
            Rec r = value("W", i, stamp.addSecs(i));
            r.serialNumber = serials[i];
            recs.append(r);
        }
        QVERIFY(run.mail(recs));
        QCOMPARE(run.sink.messages, messages);
        QCOMPARE(log.count(Kyr::LogWarning, "Multiple write"), messages.size());
        // Every value is written; the last one is the point's last value.
        QCOMPARE(run.trend("W").size(), serials.size());
        QCOMPARE(run.pointValue("W").toDouble(), double(serials.size() - 1));
    }

    void createdPointWithConfiguredDataPoints()
    {
        const auto dp = [](const char *aks, const char *type, const char *v, bool enabled = true) {
            return DpEntry{.enabled = enabled, .aks = aks, .valType = type, .value = v};
        };
        const DmsConfig cfg{.dps = {dp("%AKS%:Unit", "STR", "%IUNIT% of %IAKS1%"), dp("%AKS%:Factor", "FLT", "1.5"),
                                    dp("%AKS%:Small", "BYS", "300"), dp("%AKS%:Flag", "BIT", "2"),
                                    dp("%AKS%:Bad", "DWS", "x1"), dp("%AKS%:Kept", "DWS", "5"),
                                    dp("%AKS%:Off", "DWS", "1", false)}};
        HandlerRun run(cfg, [](Orvane::PointStore &s) { s.setPoint("D:P:Kept", Orvane::DWS, 42); });
        QVERIFY(run.ok);
        Rec r = value("D:P", 1.0, QDateTime::currentDateTime());
        r.unit = "kWh";
        QVERIFY(run.mail({r}));
        QCOMPARE(run.pointValue("D:P:Unit").toString(), QStringLiteral("kWh of D"));
        QCOMPARE(run.pointValue("D:P:Factor").toDouble(), 1.5);
        QCOMPARE(run.pointValue("D:P:Small").toLongLong(), 127);
        QCOMPARE(run.pointValue("D:P:Flag").toBool(), true);
        QCOMPARE(run.pointValue("D:P:Bad").toLongLong(), 0);
        QCOMPARE(run.pointValue("D:P:Kept").toLongLong(), 42); // right type: untouched
        QVERIFY(!run.store->point("D:P:Off"));
        QCOMPARE(run.pointType("D:P:MDLastUpdate"), int(Orvane::DWS));
    }

    void valuesToDmsAndLastValue_data() { JsonCases::addRows(casesFile, QStringLiteral("values to DMS or PDBS")); }

    void valuesToDmsAndLastValue()
    {
        QFETCH(QJsonObject, row);
        const double dmsValue = row["dmsValue"].toDouble();
        HandlerRun run(DmsConfig{.writeDataToPdbs = row["toPdbs"].toBool(), .writeLastEntryToDms = row["lastToDms"].toBool()});
        QVERIFY(run.ok);
        const QDateTime stamp(QDate::currentDate(), QTime(0, 15));
        QVERIFY(run.mail({value("V", 1.0, stamp.addSecs(-900)), value("V", 2.0, stamp)}));
        QCOMPARE(run.trend("V").size(), row["trendRows"].toInt());
        const auto p = run.store->point("V");
        QVERIFY(p);
        QCOMPARE(p->value.toDouble(), dmsValue);
        if (dmsValue != 0.0)
            QCOMPARE(p->stampMs, stamp.toMSecsSinceEpoch());
    }

    // The handler's last-update check marks an old point expired in the store, in the driver's
    // status point and in the report lines (which points expire: tst_supervision).
    void lastUpdateCheckExpiresOldPoints()
    {
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        HandlerRun run(DmsConfig{.maxLastUpdate = 60}, [&](Orvane::PointStore &s) {
            s.setPoint("X:Old", Orvane::FLT, 1.0);
            s.setPoint("X:Old:MDLastUpdate", Orvane::DWS, now - 7200);
        });
        QVERIFY(run.ok);
        QMetaObject::invokeMethod(run.handler.get(), "onCheckLastUpdateTimer", Qt::QueuedConnection);
        QTRY_COMPARE(run.pointValue("X:Old:MDLastUpdate").toLongLong(), -(now - 7200));
        QTRY_COMPARE(run.pointValue("System:Driver:QuillonTest:UpdateErrors").toLongLong(), 1);
        QCOMPARE(run.handler->expiredPointLines().size(), 1);
        QVERIFY(run.handler->expiredPointLines().at(0).endsWith(" - X:Old"));
    }

    // A value script that yields NaN: the value is not written and counts as a faulty value.
    void nonFiniteValueIsRefused()
    {
        HandlerRun run(DmsConfig{.mappings = {{true, "N:Bad", "N", "0 / 0"}, {true, "N:Good", "N", {}}}});
        QVERIFY(run.ok);
        LogCapture log;
        const QDateTime stamp = QDateTime::currentDateTime().addSecs(-60);
        QVERIFY(run.mail({value("N:Good", 1.0, stamp), value("N:Bad", 2.0, stamp.addSecs(1))}));
        const auto rows = run.trend("N");
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.first().value, 1.0);
        QCOMPARE(run.pointValue("N").toDouble(), 1.0);
        const QString refused = QStringLiteral("Value not finite on datapoint N, value: nan");
        QCOMPARE(log.count(Kyr::LogWarning, refused), 1);
        QCOMPARE(run.sink.messages, QStringList{refused});
        QCOMPARE(run.pointValue("N:State").toLongLong(), 2003);
    }
};

QTEST_GUILESS_MAIN(TestValuePath)
#include "tst_valuepath.moc"
