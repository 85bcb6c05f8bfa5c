// The value path of a running DMS handler thread against the embedded point store: what the store
// holds after a mail's values and its end-of-mail marker went through addMailValue.

#include "dms/DmsHandler.h"
#include "dms/StatusReportSink.h"

#include "KyrIpc/PointStore.h"
#include "../common/LogCapture.h"
#include "KyrLogger/Logger.h"

#include <QCoreApplication>
#include <QMutex>
#include <QSignalSpy>
#include <QTest>

using Rec = DataParser::ValueRec;
Q_DECLARE_METATYPE(QList<CheckEntry>)

namespace {

struct TrendRowExpect
{
    qint64 offsetSeconds;
    double value;
    quint32 state;
};
using TrendRows = QList<TrendRowExpect>;

// Collects what the handler reports for the status report.
class CollectingSink : public StatusReportSink
{
public:
    void addCreatedAks(const QString &aks) override
    {
        QMutexLocker lock(&mutex);
        created.append(aks);
    }
    void addMiscMessage(const QString &text) override
    {
        QMutexLocker lock(&mutex);
        messages.append(text);
    }
    QMutex mutex;
    QStringList created;
    QStringList messages;
};

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

Rec marker()
{
    Rec r;
    r.timestamp = QDateTime::currentDateTime();
    r.iaks = QStringLiteral("ENDMAILCHECK");
    r.aks = QStringLiteral("ENDMAILCHECK");
    return r;
}

// A DMS handler thread on fresh in-memory stores for the DMS and the PDBS.
class HandlerRun
{
public:
    explicit HandlerRun(DmsConfig config, const std::function<void(Orvane::PointStore &)> &prepare = {})
    {
        static int run = 0;
        ++run;
        config.dmsConnection = QStringLiteral("values-dms-%1").arg(run);
        config.pdbsConnection = QStringLiteral("values-pdbs-%1").arg(run);
        dms = Orvane::PointStore::forConnection(config.dmsConnection);
        pdbs = Orvane::PointStore::forConnection(config.pdbsConnection);
        if (prepare)
            prepare(*dms);
        DmsTiming timing;
        timing.asyncUpDelayMs = 1;
        timing.logoutDelayMs = 1;
        handler = std::make_unique<DmsHandler>(config, timing);
        handler->setStatusReportSink(&sink);
        QSignalSpy ready(handler.get(), &DmsHandler::sigDmsReady);
        handler->start();
        ok = QTest::qWaitFor([&] { return !ready.isEmpty(); }, 10000);
    }
    ~HandlerRun()
    {
        handler->quit();
        handler->wait();
    }

    // Hands a mail's records and its marker to the handler and waits until the marker is done.
    bool mail(const QList<Rec> &records)
    {
        QSignalSpy info(handler.get(), &DmsHandler::sigDmsInfo);
        for (const Rec &r : records)
            handler->addMailValue(r);
        handler->addMailValue(marker());
        return QTest::qWaitFor([&] {
            for (const QList<QVariant> &args : std::as_const(info)) {
                if (args.at(0).toString() == QStringLiteral("Idle"))
                    return true;
            }
            return false;
        }, 20000);
    }

    QVariant pointValue(const QString &name) const
    {
        const auto p = dms->point(name);
        return p ? p->value : QVariant();
    }
    QList<Orvane::StoreFile::TrendRow> trend(const QString &point) const { return pdbs->trendRows(point); }

    bool ok = false;
    std::shared_ptr<Orvane::PointStore> dms;
    std::shared_ptr<Orvane::PointStore> pdbs;
    CollectingSink sink;
    std::unique_ptr<DmsHandler> handler;
};

} // namespace

Q_DECLARE_METATYPE(TrendRows)

class TestValuePath : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void dbStates_data();
    void dbStates();
    void trendGrid_data();
    void trendGrid();
    void skipBadStateOption();
    void rangeCheck_data();
    void rangeCheck();
    void modbusAddress_data();
    void modbusAddress();
    void multipleWrite_data();
    void multipleWrite();
    void createdPointWithConfiguredDataPoints();
    void valuesToDmsAndLastValue_data();
    void valuesToDmsAndLastValue();
    void stateErrorEntryAndRecovery();
    void expiryAndRecovery();
    void mailWhileLinkDownIsLost();
    void trendGridAfter2038();
    void nonFiniteValueIsRefused();
};

void TestValuePath::initTestCase()
{
    qunsetenv("ServiceMode");
    qunsetenv("ORVANE_CURRENT_PROJECT_LOCATION");
    QCoreApplication::setApplicationName(QStringLiteral("QuillonTest"));
}

void TestValuePath::dbStates_data()
{
    QTest::addColumn<bool>("useTrdConfig");
    QTest::addColumn<bool>("increment");
    QTest::addColumn<qint32>("state");
    QTest::addColumn<QList<quint32>>("states");
    QTest::newRow("plain: created, then ordinary") << false << false << 0 << QList<quint32>{16, 2, 2};
    QTest::newRow("trend: created, then moved") << true << false << 0 << QList<quint32>{16, 4, 4};
    QTest::newRow("trend skipped for increments") << true << true << 0 << QList<quint32>{16, 2, 2};
    QTest::newRow("bad state adds its bit") << false << false << 2003 << QList<quint32>{16 | 65536, 2 | 65536, 2 | 65536};
}

void TestValuePath::dbStates()
{
    QFETCH(bool, useTrdConfig);
    QFETCH(bool, increment);
    QFETCH(qint32, state);
    QFETCH(QList<quint32>, states);
    DmsConfig cfg;
    cfg.useTrdConfig = useTrdConfig;
    cfg.prefix = QStringLiteral("SITE");
    HandlerRun run(cfg);
    QVERIFY(run.ok);
    QSignalSpy written(run.handler.get(), &DmsHandler::sigValueToDb);
    const QDateTime base = QDateTime::currentDateTime().addSecs(-600);
    QList<Rec> recs;
    for (int i = 0; i < 3; ++i) {
        Rec r = value(QStringLiteral("M1:E"), 1.0 + i, base.addSecs(i * 60), state);
        r.increment = increment;
        recs.append(r);
    }
    QVERIFY(run.mail(recs));
    const auto rows = run.trend(QStringLiteral("SITE:M1:E"));
    QCOMPARE(rows.size(), states.size());
    for (int i = 0; i < rows.size(); ++i) {
        QCOMPARE(rows[i].state, states[i]);
        QCOMPARE(rows[i].value, 1.0 + i);
        QCOMPARE(rows[i].timeMs, base.addSecs(i * 60).toMSecsSinceEpoch());
    }
    QCOMPARE(written.size(), states.size());
    QCOMPARE(written.at(0).at(1).value<quint32>(), states.at(0));
    // The point and its companions exist; the last value also went to the DMS.
    QCOMPARE(run.dms->readType(QStringLiteral("SITE:M1:E")), int(Orvane::FLT));
    QCOMPARE(run.dms->readType(QStringLiteral("SITE:M1:E:State")), int(Orvane::DWS));
    QCOMPARE(run.pointValue(QStringLiteral("SITE:M1:E")).toDouble(), 3.0);
    QCOMPARE(run.sink.created, QStringList{QStringLiteral("SITE:M1:E")});
    QVERIFY(run.dms->point(QStringLiteral("System:Driver:QuillonTest:LastMail")));
}

void TestValuePath::trendGrid_data()
{
    QTest::addColumn<qint64>("newValueOffset"); // seconds after the held value's slot
    QTest::addColumn<double>("newValue");
    QTest::addColumn<TrendRows>("expected");
    QTest::addColumn<int>("expectedCount");
    QTest::newRow("grid example: repeats, value moved too little")
        << qint64(40 * 60) << 10.2 << TrendRows{{15 * 60, 10.0, 1}, {30 * 60, 10.0, 1}} << 2;
    QTest::newRow("value moved enough is written too")
        << qint64(40 * 60) << 11.0 << TrendRows{{15 * 60, 10.0, 1}, {30 * 60, 10.0, 1}, {40 * 60, 11.0, 4}} << 3;
    QTest::newRow("no repeat before the first slot end")
        << qint64(10 * 60) << 12.0 << TrendRows{{10 * 60, 12.0, 4}} << 1;
    QTest::newRow("four days later: at most one day of repeats")
        << qint64(4 * 86400) << 10.0 << TrendRows{{3 * 86400 + 900, 10.0, 1}} << 95;
}

void TestValuePath::trendGrid()
{
    QFETCH(qint64, newValueOffset);
    QFETCH(double, newValue);
    QFETCH(TrendRows, expected);
    QFETCH(int, expectedCount);
    // The point as a former run left it: held value 10 at slot 12:00, cycle 900 s, tolerance 0.5.
    const QDateTime slot(QDate::currentDate().addDays(-5), QTime(12, 0));
    DmsConfig cfg;
    cfg.useTrdConfig = true;
    cfg.maxLastUpdate = 0;
    HandlerRun run(cfg, [&](Orvane::PointStore &s) {
        s.setPoint(QStringLiteral("G"), Orvane::FLT, 10.0);
        s.setPoint(QStringLiteral("G:State"), Orvane::DWS, 0);
        s.setPoint(QStringLiteral("G:MDLastUpdate"), Orvane::DWS, slot.toSecsSinceEpoch());
        s.setPoint(QStringLiteral("G:TRD:CYCLE"), Orvane::DWS, 900);
        s.setPoint(QStringLiteral("G:TRD:TOL"), Orvane::FLT, 0.5);
    });
    QVERIFY(run.ok);
    QVERIFY(run.mail({value(QStringLiteral("G"), newValue, slot.addSecs(newValueOffset))}));
    const auto rows = run.trend(QStringLiteral("G"));
    QCOMPARE(rows.size(), expectedCount);
    for (int i = 0; i < expected.size(); ++i) {
        QCOMPARE(rows[i].timeMs, slot.addSecs(expected[i].offsetSeconds).toMSecsSinceEpoch());
        QCOMPARE(rows[i].value, expected[i].value);
        QCOMPARE(rows[i].state, expected[i].state);
    }
    const qint64 t = slot.addSecs(newValueOffset).toSecsSinceEpoch();
    for (const auto &row : rows)
        QVERIFY(row.timeMs / 1000 > t - 86400 && row.timeMs / 1000 <= t);
}

void TestValuePath::skipBadStateOption()
{
    DmsConfig cfg;
    OptionEntry skip;
    skip.dmsAks = QStringLiteral("*");
    skip.option = 3;
    cfg.options = {skip};
    HandlerRun run(cfg);
    QVERIFY(run.ok);
    const QDateTime stamp = QDateTime::currentDateTime().addSecs(-30);
    QVERIFY(run.mail({value(QStringLiteral("B"), 5.0, stamp, 1001)}));
    // Neither the value nor the last value was written ...
    QVERIFY(run.trend(QStringLiteral("B")).isEmpty());
    QCOMPARE(run.pointValue(QStringLiteral("B")).toDouble(), 0.0);
    // ... but the value counted: last update and state error.
    QCOMPARE(run.pointValue(QStringLiteral("B:MDLastUpdate")).toLongLong(), stamp.toSecsSinceEpoch());
    QCOMPARE(run.pointValue(QStringLiteral("B:State")).toLongLong(), 1001);
    QCOMPARE(run.handler->stateErrorLines(), QStringList{QStringLiteral("B State 1001 - Unusable quantity.")});

    // A good value of the same point is written.
    QVERIFY(run.mail({value(QStringLiteral("B"), 6.0, stamp.addSecs(10))}));
    QCOMPARE(run.trend(QStringLiteral("B")).size(), 1);
    QCOMPARE(run.pointValue(QStringLiteral("B")).toDouble(), 6.0);
}

void TestValuePath::rangeCheck_data()
{
    QTest::addColumn<QList<CheckEntry>>("checks");
    QTest::addColumn<double>("lastValue");
    QTest::addColumn<QString>("message"); // empty: none
    auto check = [](const QString &pattern, double min, double max, bool enabled = true) {
        CheckEntry c;
        c.enabled = enabled;
        c.aks = pattern;
        c.min = min;
        c.max = max;
        return c;
    };
    QTest::newRow("above, six significant digits") << QList<CheckEntry>{check("R:*", 0, 10)} << 12.3456789
                                                   << "Value out of range on datapoint R:X, value: 12.3457";
    QTest::newRow("below") << QList<CheckEntry>{check("*", 0, 10)} << -0.5 << "Value out of range on datapoint R:X, value: -0.5";
    QTest::newRow("large value in exponent form") << QList<CheckEntry>{check("*", 0, 10)} << 1234567890.0
                                                  << "Value out of range on datapoint R:X, value: 1.23457e+09";
    QTest::newRow("inside, bounds included") << QList<CheckEntry>{check("*", 0, 10)} << 10.0 << "";
    QTest::newRow("first matching entry decides") << QList<CheckEntry>{check("R:*", 0, 100), check("*", 0, 1)} << 50.0 << "";
    QTest::newRow("disabled entry skipped") << QList<CheckEntry>{check("R:*", 0, 100, false), check("*", 0, 1)} << 50.0
                                            << "Value out of range on datapoint R:X, value: 50";
    QTest::newRow("pattern is case-sensitive") << QList<CheckEntry>{check("r:*", 0, 1)} << 50.0 << "";
}

void TestValuePath::rangeCheck()
{
    QFETCH(QList<CheckEntry>, checks);
    QFETCH(double, lastValue);
    QFETCH(QString, message);
    DmsConfig cfg;
    cfg.checks = checks;
    HandlerRun run(cfg);
    QVERIFY(run.ok);
    LogCapture log;
    const QDateTime stamp = QDateTime::currentDateTime();
    // Only the point's last value of the mail is checked.
    QVERIFY(run.mail({value(QStringLiteral("R:X"), 1e6, stamp.addSecs(-60)), value(QStringLiteral("R:X"), lastValue, stamp)}));
    if (message.isEmpty()) {
        QVERIFY2(!log.joined(Kyr::LogWarning).contains(QStringLiteral("out of range")), qPrintable(log.joined(Kyr::LogWarning)));
        QVERIFY(run.sink.messages.isEmpty());
    } else {
        QCOMPARE(log.count(Kyr::LogWarning, message), 1);
        QCOMPARE(run.sink.messages, QStringList{message});
    }
}

void TestValuePath::modbusAddress_data()
{
    QTest::addColumn<QString>("storedIp");     // empty: no ":MB_IP" point
    QTest::addColumn<int>("telegram");         // -1: no ":MB_TELEGRAM" point
    QTest::addColumn<QString>("ipAfter");
    QTest::addColumn<QString>("folderAfter");
    QTest::newRow("changed address with telegram 7") << "10.0.0.1" << 7 << "10.1.2.3" << "10.1.2.3 T00007";
    QTest::newRow("five-digit telegram") << "10.0.0.1" << 12345 << "10.1.2.3" << "10.1.2.3 T12345";
    QTest::newRow("same address: untouched") << "10.1.2.3" << 7 << "10.1.2.3" << "old";
    QTest::newRow("no telegram point") << "10.0.0.1" << -1 << "10.1.2.3" << "old";
    QTest::newRow("no address point") << "" << 7 << "" << "old";
}

void TestValuePath::modbusAddress()
{
    QFETCH(QString, storedIp);
    QFETCH(int, telegram);
    QFETCH(QString, ipAfter);
    QFETCH(QString, folderAfter);
    DmsConfig cfg;
    OptionEntry modbus;
    modbus.dmsAks = QStringLiteral("MB:*");
    modbus.option = 1;
    cfg.options = {modbus};
    HandlerRun run(cfg, [&](Orvane::PointStore &s) {
        s.setPoint(QStringLiteral("MB:M:MODBUS"), Orvane::STR, QStringLiteral("old"));
        if (!storedIp.isEmpty())
            s.setPoint(QStringLiteral("MB:M:MODBUS:MB_IP"), Orvane::STR, storedIp);
        if (telegram >= 0)
            s.setPoint(QStringLiteral("MB:M:MODBUS:MB_TELEGRAM"), Orvane::DWU, telegram);
    });
    QVERIFY(run.ok);
    Rec r = value(QStringLiteral("MB:M"), 1.0, QDateTime::currentDateTime());
    r.ipAddress = QStringLiteral("10.1.2.3");
    r.serialNumber = QStringLiteral("99");
    QVERIFY(run.mail({r}));
    QCOMPARE(run.pointValue(QStringLiteral("MB:M:MODBUS:MB_IP")).toString(), ipAfter);
    QCOMPARE(run.pointValue(QStringLiteral("MB:M:MODBUS")).toString(), folderAfter);
}

void TestValuePath::multipleWrite_data()
{
    QTest::addColumn<QStringList>("serials");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("two meters") << QStringList{"A1", "B2"}
                                << QStringList{"Multiple write on datapoint W from serial number A1 and B2"};
    QTest::newRow("one warning per later record") << QStringList{"A1", "B2", "A1"}
        << QStringList{"Multiple write on datapoint W from serial number A1 and B2",
                       "Multiple write on datapoint W from serial number B2 and A1"};
    QTest::newRow("same meter") << QStringList{"A1", "A1"} << QStringList();
    QTest::newRow("serial number missing") << QStringList{"A1", ""} << QStringList();
}

void TestValuePath::multipleWrite()
{
    QFETCH(QStringList, serials);
    QFETCH(QStringList, messages);
    HandlerRun run(DmsConfig{});
    QVERIFY(run.ok);
    LogCapture log;
    QList<Rec> recs;
    const QDateTime stamp = QDateTime::currentDateTime().addSecs(-100);
    for (int i = 0; i < serials.size(); ++i) {
        Rec r = value(QStringLiteral("W"), i, stamp.addSecs(i));
        r.serialNumber = serials[i];
        recs.append(r);
    }
    QVERIFY(run.mail(recs));
    QCOMPARE(run.sink.messages, messages);
    QCOMPARE(log.count(Kyr::LogWarning, QStringLiteral("Multiple write")), messages.size());
    // Every value is written; the last one is the point's last value.
    QCOMPARE(run.trend(QStringLiteral("W")).size(), serials.size());
    QCOMPARE(run.pointValue(QStringLiteral("W")).toDouble(), double(serials.size() - 1));
}

void TestValuePath::createdPointWithConfiguredDataPoints()
{
    DmsConfig cfg;
    auto dp = [](const QString &aks, const QString &type, const QString &v) {
        DpEntry e;
        e.enabled = true;
        e.aks = aks;
        e.valType = type;
        e.value = v;
        return e;
    };
    cfg.dps = {dp("%AKS%:Unit", "STR", "%IUNIT% of %IAKS1%"), dp("%AKS%:Factor", "FLT", "1.5"),
               dp("%AKS%:Small", "BYS", "300"), dp("%AKS%:Flag", "BIT", "2"), dp("%AKS%:Bad", "DWS", "x1"),
               dp("%AKS%:Kept", "DWS", "5")};
    DpEntry off = dp("%AKS%:Off", "DWS", "1");
    off.enabled = false;
    cfg.dps.append(off);
    HandlerRun run(cfg, [](Orvane::PointStore &s) { s.setPoint(QStringLiteral("D:P:Kept"), Orvane::DWS, 42); });
    QVERIFY(run.ok);
    Rec r = value(QStringLiteral("D:P"), 1.0, QDateTime::currentDateTime());
    r.unit = QStringLiteral("kWh");
    QVERIFY(run.mail({r}));
    QCOMPARE(run.pointValue(QStringLiteral("D:P:Unit")).toString(), QStringLiteral("kWh of D"));
    QCOMPARE(run.pointValue(QStringLiteral("D:P:Factor")).toDouble(), 1.5);
    QCOMPARE(run.pointValue(QStringLiteral("D:P:Small")).toLongLong(), 127);
    QCOMPARE(run.pointValue(QStringLiteral("D:P:Flag")).toBool(), true);
    QCOMPARE(run.pointValue(QStringLiteral("D:P:Bad")).toLongLong(), 0);
    QCOMPARE(run.pointValue(QStringLiteral("D:P:Kept")).toLongLong(), 42); // right type: untouched
    QVERIFY(!run.dms->point(QStringLiteral("D:P:Off")));
    QCOMPARE(run.dms->readType(QStringLiteral("D:P:MDLastUpdate")), int(Orvane::DWS));
}

void TestValuePath::valuesToDmsAndLastValue_data()
{
    QTest::addColumn<bool>("toPdbs");
    QTest::addColumn<bool>("lastToDms");
    QTest::addColumn<int>("trendRows");
    QTest::addColumn<double>("dmsValue");
    QTest::newRow("to the DMS") << false << false << 0 << 2.0;
    QTest::newRow("to the PDBS, last value to the DMS") << true << true << 2 << 2.0;
    QTest::newRow("to the PDBS only") << true << false << 2 << 0.0;
}

void TestValuePath::valuesToDmsAndLastValue()
{
    QFETCH(bool, toPdbs);
    QFETCH(bool, lastToDms);
    QFETCH(int, trendRows);
    QFETCH(double, dmsValue);
    DmsConfig cfg;
    cfg.writeDataToPdbs = toPdbs;
    cfg.writeLastEntryToDms = lastToDms;
    HandlerRun run(cfg);
    QVERIFY(run.ok);
    const QDateTime stamp(QDate::currentDate(), QTime(0, 15));
    QVERIFY(run.mail({value(QStringLiteral("V"), 1.0, stamp.addSecs(-900)), value(QStringLiteral("V"), 2.0, stamp)}));
    QCOMPARE(run.trend(QStringLiteral("V")).size(), trendRows);
    const auto p = run.dms->point(QStringLiteral("V"));
    QVERIFY(p);
    QCOMPARE(p->value.toDouble(), dmsValue);
    if (dmsValue != 0.0)
        QCOMPARE(p->stampMs, stamp.toMSecsSinceEpoch());
}

void TestValuePath::stateErrorEntryAndRecovery()
{
    DmsConfig cfg;
    cfg.maxStateErrorPercent = 10;
    HandlerRun run(cfg);
    QVERIFY(run.ok);
    const QDateTime stamp = QDateTime::currentDateTime().addSecs(-300);
    QVERIFY(run.mail({value(QStringLiteral("S"), 1, stamp), value(QStringLiteral("S"), 2, stamp.addSecs(1), 2003),
                      value(QStringLiteral("S"), 3, stamp.addSecs(2))}));
    QCOMPARE(run.pointValue(QStringLiteral("S:State")).toLongLong(), 2003);
    QCOMPARE(run.handler->stateErrorLines(), QStringList{QStringLiteral("S State 2003 - Invalid value.")});

    QVERIFY(run.mail({value(QStringLiteral("S"), 4, stamp.addSecs(3)), value(QStringLiteral("S"), 5, stamp.addSecs(4))}));
    QCOMPARE(run.pointValue(QStringLiteral("S:State")).toLongLong(), 0);
    QVERIFY(run.handler->stateErrorLines().isEmpty());
}

void TestValuePath::expiryAndRecovery()
{
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    DmsConfig cfg;
    cfg.maxLastUpdate = 60;
    HandlerRun run(cfg, [&](Orvane::PointStore &s) {
        s.setPoint(QStringLiteral("X:Old"), Orvane::FLT, 1.0);
        s.setPoint(QStringLiteral("X:Old:MDLastUpdate"), Orvane::DWS, now - 7200);
        s.setPoint(QStringLiteral("X:Young"), Orvane::FLT, 1.0);
        s.setPoint(QStringLiteral("X:Young:MDLastUpdate"), Orvane::DWS, now - 60);
    });
    QVERIFY(run.ok);
    LogCapture log;
    QMetaObject::invokeMethod(run.handler.get(), "onCheckLastUpdateTimer", Qt::QueuedConnection);
    QTRY_COMPARE(run.pointValue(QStringLiteral("X:Old:MDLastUpdate")).toLongLong(), -(now - 7200));
    QCOMPARE(run.pointValue(QStringLiteral("X:Young:MDLastUpdate")).toLongLong(), now - 60);
    QTRY_COMPARE(run.pointValue(QStringLiteral("System:Driver:QuillonTest:UpdateErrors")).toLongLong(), 1);
    QCOMPARE(run.handler->expiredPointLines().size(), 1);
    QVERIFY(run.handler->expiredPointLines().at(0).endsWith(QStringLiteral(" - X:Old")));

    // An old value leaves the point expired, a young one brings it back.
    QVERIFY(run.mail({value(QStringLiteral("X:Old"), 2.0, QDateTime::fromSecsSinceEpoch(now - 3700))}));
    QCOMPARE(run.pointValue(QStringLiteral("X:Old:MDLastUpdate")).toLongLong(), -(now - 7200));
    QVERIFY(run.mail({value(QStringLiteral("X:Old"), 3.0, QDateTime::fromSecsSinceEpoch(now - 10))}));
    QCOMPARE(run.pointValue(QStringLiteral("X:Old:MDLastUpdate")).toLongLong(), now - 10);
    QVERIFY(run.handler->expiredPointLines().isEmpty());
}

void TestValuePath::mailWhileLinkDownIsLost()
{
    HandlerRun run(DmsConfig{});
    QVERIFY(run.ok);
    QSignalSpy down(run.handler.get(), &DmsHandler::sigDmsDisconnected);
    QSignalSpy ready(run.handler.get(), &DmsHandler::sigDmsReady);
    run.dms->dropLink();
    // The handler's thread may emit before a wait would begin, so count rather than wait.
    QTRY_COMPARE_WITH_TIMEOUT(down.size(), 1, 5000);
    LogCapture log;
    const QDateTime stamp = QDateTime::currentDateTime().addSecs(-60);
    run.handler->addMailValue(value(QStringLiteral("L"), 1.0, stamp));
    run.handler->addMailValue(marker());
    QTRY_VERIFY(log.joined(Kyr::LogWarning).contains(QStringLiteral("DMS not ready for value ENDMAILCHECK->ENDMAILCHECK")));
    QVERIFY(log.joined(Kyr::LogWarning).contains(QStringLiteral("DMS not ready for value L->L")));
    QVERIFY(!run.handler->isBusy());

    // Back up: the next mail carries only its own values.
    run.dms->restoreLink();
    QTRY_COMPARE_WITH_TIMEOUT(ready.size(), 1, 10000);
    QVERIFY(run.mail({value(QStringLiteral("L"), 2.0, stamp.addSecs(1))}));
    const auto rows = run.trend(QStringLiteral("L"));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].value, 2.0);
    QCOMPARE(rows[0].state, 16u);
}

void TestValuePath::trendGridAfter2038()
{
    // Four values of a new point, a cycle apart, beyond the range of 32-bit seconds: one day of
    // held repeats before the first (95), then each value itself.
    DmsConfig cfg;
    cfg.useTrdConfig = true;
    cfg.maxLastUpdate = 0;
    HandlerRun run(cfg);
    QVERIFY(run.ok);
    const QDateTime first(QDate(2039, 3, 1), QTime(12, 0), Qt::UTC);
    QList<Rec> recs;
    for (int i = 0; i < 4; ++i)
        recs.append(value(QStringLiteral("F"), 1.0 + i, first.addSecs(i * 900)));
    QVERIFY(run.mail(recs));
    const auto rows = run.trend(QStringLiteral("F"));
    QCOMPARE(rows.size(), 95 + 4);
    QCOMPARE(rows.first().timeMs, first.addSecs(900 - 86400).toMSecsSinceEpoch());
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(rows[95 + i].timeMs, recs[i].timestamp.toMSecsSinceEpoch());
        QCOMPARE(rows[95 + i].value, recs[i].value);
    }
}

void TestValuePath::nonFiniteValueIsRefused()
{
    // A value script that yields NaN: the value is not written and counts as a faulty value.
    DmsConfig cfg;
    cfg.mappings = {{true, QStringLiteral("N:Bad"), QStringLiteral("N"), QStringLiteral("0 / 0")},
                    {true, QStringLiteral("N:Good"), QStringLiteral("N"), {}}};
    HandlerRun run(cfg);
    QVERIFY(run.ok);
    LogCapture log;
    const QDateTime stamp = QDateTime::currentDateTime().addSecs(-60);
    QVERIFY(run.mail({value(QStringLiteral("N:Good"), 1.0, stamp), value(QStringLiteral("N:Bad"), 2.0, stamp.addSecs(1))}));
    const auto rows = run.trend(QStringLiteral("N"));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().value, 1.0);
    QCOMPARE(run.pointValue(QStringLiteral("N")).toDouble(), 1.0);
    const QString refused = QStringLiteral("Value not finite on datapoint N, value: nan");
    QCOMPARE(log.count(Kyr::LogWarning, refused), 1);
    QCOMPARE(run.sink.messages, QStringList{refused});
    QCOMPARE(run.pointValue(QStringLiteral("N:State")).toLongLong(), 2003);
}

QTEST_GUILESS_MAIN(TestValuePath)
#include "tst_valuepath.moc"
