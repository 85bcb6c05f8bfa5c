// Supervision of written points against the embedded point store: loading at start, expiry of the
// last update and recovery, state errors and their ":State" mirror, the report lines and the
// state texts.

#include "dms/PointSupervision.h"

#include "KyrIpc/DmsAccess.h"
#include "KyrIpc/PointStore.h"
#include "../common/JsonCases.h"
#include "../common/LogCapture.h"
#include "KyrLogger/Logger.h"

#include <QTest>

namespace {

void addCases(const char *key)
{
    JsonCases::addRows(QStringLiteral("tests/data/dms/cases.json"), QLatin1String(key));
}

qint64 pointInt(Orvane::PointStore &store, const QString &name)
{
    const auto p = store.point(name);
    return p ? p->value.toLongLong() : -999999;
}

} // namespace

class TestSupervision : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        const QString name = QStringLiteral("supervision-%1").arg(++m_connection);
        m_store = Orvane::PointStore::forConnection(name);
        m_dms = std::make_unique<DmsAccess>(QStringLiteral("Sync"));
        QCOMPARE(m_dms->ConnectDms(name, nullptr, true, 120000), 0);
    }

    void cleanup()
    {
        m_dms.reset();
        m_store.reset();
    }

    // The texts of every M-Bus error bit and state code: tests/data/dms/cases.json.
    void stateTexts_data() { addCases("state texts"); }

    void stateTexts()
    {
        QFETCH(QJsonObject, row);
        QCOMPARE(StateErrorTable::stateText(row["code"].toInt()), row["text"].toString());
    }

    void reportLinesSorted()
    {
        PointSupervision sup;
        sup.stateErrors().insert(QStringLiteral("b:P"), 2003);
        sup.stateErrors().insert(QStringLiteral("B:P"), 4);
        sup.stateErrors().insert(QStringLiteral("A:P"), 65);
        QCOMPARE(sup.stateErrorLines(), QStringList({
            QStringLiteral("A:P State 65 - M-Bus device driver not existing. There is no reply from the meter. "),
            QStringLiteral("B:P State 4"),
            QStringLiteral("b:P State 2003 - Invalid value.")}));
        QCOMPARE(sup.stateErrorCount(), 3);

        const QDateTime t1(QDate(2026, 1, 2), QTime(3, 4, 5));
        const QDateTime t2(QDate(2025, 12, 31), QTime(23, 0));
        SupervisionRecord expired;
        expired.lastUpdate = -t1.toSecsSinceEpoch();
        sup.table().insert(QStringLiteral("Z:Q"), expired);
        expired.lastUpdate = -t2.toSecsSinceEpoch();
        sup.table().insert(QStringLiteral("M:Q"), expired);
        SupervisionRecord current;
        current.lastUpdate = t1.toSecsSinceEpoch();
        sup.table().insert(QStringLiteral("A:Q"), current);
        QCOMPARE(sup.expiredPointLines(90), QStringList({
            QStringLiteral("Last update: 2025-12-31T23:00:00 - M:Q"),
            QStringLiteral("Last update: 2026-01-02T03:04:05 - Z:Q")}));
        QCOMPARE(sup.updateErrorCount(90), 2);
        // Without a maximum age there is no expiry to report.
        QCOMPARE(sup.expiredPointLines(0), QStringList());
        QCOMPARE(sup.updateErrorCount(0), 0);
    }

    void loadFromDms()
    {
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        m_store->setPoint(QStringLiteral("S:A"), Orvane::FLT, 12.5);
        m_store->setPoint(QStringLiteral("S:A:MDLastUpdate"), Orvane::DWS, now - 60);
        m_store->setPoint(QStringLiteral("S:A:TRD:CYCLE"), Orvane::DWS, 10);
        m_store->setPoint(QStringLiteral("S:A:TRD:TOL"), Orvane::FLT, 0.25);
        m_store->setPoint(QStringLiteral("S:A:State"), Orvane::DWS, 0);
        m_store->setPoint(QStringLiteral("S:B:MDLastUpdate"), Orvane::DWS, -(now - 7200));
        m_store->setPoint(QStringLiteral("S:B:State"), Orvane::DWS, 2003);
        m_store->setPoint(QStringLiteral("S:C:MDLastUpdate"), Orvane::DWS, 0);
        m_store->setPoint(QStringLiteral("S:D:MDLastUpdateX"), Orvane::DWS, 5);

        PointSupervision sup;
        sup.table().insert(QStringLiteral("OLD"), SupervisionRecord());
        sup.load(*m_dms);
        QCOMPARE(sup.table().size(), 3);
        QVERIFY(!sup.table().contains(QStringLiteral("OLD")));

        SupervisionRecord a;
        QVERIFY(sup.table().find(QStringLiteral("S:A"), a));
        QCOMPARE(a.lastUpdate, now - 60);
        QCOMPARE(a.cycle, 30); // raised to the minimum
        QCOMPARE(a.tolerance, 0.25);
        QCOMPARE(a.heldValue, 12.5);
        QCOMPARE(a.lastTrendValue, 12.5);
        QCOMPARE(qint64(a.slot), now - 60);
        QCOMPARE(qint64(a.lastTrendTime), now - 60);

        SupervisionRecord b;
        QVERIFY(sup.table().find(QStringLiteral("S:B"), b));
        QCOMPARE(b.cycle, 900); // no configuration point
        QCOMPARE(b.heldValue, 0.0);

        SupervisionRecord c;
        QVERIFY(sup.table().find(QStringLiteral("S:C"), c));
        QVERIFY(qAbs(qint64(c.slot) - now) < 5); // last update 0: the grid starts now

        // A negative last update counts as expired at once; ":State" 2003 is a state error.
        QCOMPARE(sup.updateErrorCount(90), 1);
        QCOMPARE(sup.stateErrorLines(), QStringList{QStringLiteral("S:B State 2003 - Invalid value.")});
    }

    // Entry at the threshold, none just below it, recovery, and a point still in error.
    void stateErrorEntryAndRecovery_data() { addCases("state errors"); }

    void stateErrorEntryAndRecovery()
    {
        QFETCH(QJsonObject, row);
        const int bad = row["bad"].toInt();
        const QString log = row["log"].toString();
        const QString p = QStringLiteral("P");
        m_store->setPoint(p + QStringLiteral(":State"), Orvane::DWS, -1);
        PointSupervision sup;
        if (row["inErrorBefore"].toBool())
            sup.stateErrors().insert(p, 4001);
        LogCapture capture;
        sup.evaluateStateErrors(*m_dms, p, {row["values"].toInt(), bad, bad ? 2003 : 0}, row["threshold"].toInt());
        QCOMPARE(sup.stateErrors().contains(p), row["inErrorAfter"].toBool());
        QCOMPARE(pointInt(*m_store, p + QStringLiteral(":State")), qint64(row["statePoint"].toInt()));
        if (row["inErrorAfter"].toBool())
            QCOMPARE(sup.stateErrors().state(p), 2003);
        const QString logged = capture.joined(Kyr::LogWarning) + capture.joined(Kyr::LogInfo);
        if (log.isEmpty())
            QVERIFY2(!logged.contains(QStringLiteral("datapoint P")), qPrintable(logged));
        else
            QVERIFY2(logged.contains(log), qPrintable(logged));
    }

    void failingStateWriteCreatesThePoint()
    {
        PointSupervision sup;
        LogCapture log;
        sup.evaluateStateErrors(*m_dms, QStringLiteral("Q"), {1, 1, 1001}, 10);
        QVERIFY2(log.joined(Kyr::LogWarning).contains(QStringLiteral("Could not send state Q - 1001")), qPrintable(log.joined(Kyr::LogWarning)));
        const auto created = m_store->point(QStringLiteral("Q:State"));
        QVERIFY(created);
        QCOMPARE(created->type, int(Orvane::DWS));
        // The next mail finds the point.
        sup.evaluateStateErrors(*m_dms, QStringLiteral("Q"), {1, 1, 1001}, 10);
        QCOMPARE(pointInt(*m_store, QStringLiteral("Q:State")), 1001);
    }

    void expiryAndRecovery_data() { addCases("expiry"); }

    void expiryAndRecovery()
    {
        QFETCH(QJsonObject, row);
        const int maxLastUpdate = row["maxLastUpdate"].toInt();
        const bool expires = row["expires"].toBool();
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        const qint64 last = now - row["ageMinutes"].toInt() * 60;
        const QString p = QStringLiteral("E:P");
        m_store->setPoint(p + QStringLiteral(":MDLastUpdate"), Orvane::DWS, last);
        PointSupervision sup;
        sup.load(*m_dms);

        LogCapture log;
        QCOMPARE(sup.checkLastUpdate(*m_dms, maxLastUpdate), expires);
        QCOMPARE(sup.updateErrorCount(maxLastUpdate), expires ? 1 : 0);
        QCOMPARE(pointInt(*m_store, p + QStringLiteral(":MDLastUpdate")), expires ? -last : last);
        if (expires) {
            const QString expected = QStringLiteral("Last update %1 for %2 expired")
                                         .arg(QDateTime::fromSecsSinceEpoch(last).toString(Qt::ISODate), p);
            QVERIFY2(log.joined(Kyr::LogWarning).contains(expected), qPrintable(log.joined(Kyr::LogWarning)));
            QCOMPARE(sup.expiredPointLines(maxLastUpdate).size(), 1);
            // A second pass does not expire it again.
            QVERIFY(!sup.checkLastUpdate(*m_dms, maxLastUpdate));
        }

        const QDateTime stamp = QDateTime::fromSecsSinceEpoch(now - row["newValueAgeMinutes"].toInt() * 60);
        sup.recordLastUpdate(*m_dms, p, stamp, maxLastUpdate);
        SupervisionRecord rec;
        QVERIFY(sup.table().find(p, rec));
        if (row["recovers"].toBool()) {
            QCOMPARE(rec.lastUpdate, stamp.toSecsSinceEpoch());
            QCOMPARE(pointInt(*m_store, p + QStringLiteral(":MDLastUpdate")), stamp.toSecsSinceEpoch());
            QCOMPARE(log.joined(Kyr::LogInfo).contains(QStringLiteral("Last update for datapoint E:P is ok now")), expires);
        } else {
            QCOMPARE(rec.lastUpdate, expires ? -last : last);
            QCOMPARE(pointInt(*m_store, p + QStringLiteral(":MDLastUpdate")), expires ? -last : last);
        }
    }

private:
    std::shared_ptr<Orvane::PointStore> m_store;
    std::unique_ptr<DmsAccess> m_dms;
    int m_connection = 0;
};

QTEST_GUILESS_MAIN(TestSupervision)
#include "tst_supervision.moc"
