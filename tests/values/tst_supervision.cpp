// Supervision of written points against the embedded point store: loading at start, expiry of the
// last update and recovery, state errors and their ":State" mirror, the report lines and the
// state texts.

#include "dms/PointSupervision.h"

#include "KyrIpc/DmsAccess.h"
#include "KyrIpc/PointStore.h"
#include "../common/LogCapture.h"
#include "KyrLogger/Logger.h"

#include <QTest>

namespace {

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
        // A fresh in-memory store per test function.
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

    void stateTexts_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        // Bits 1 to 128 in bit order; bit 4 has no text (bits 1, 64 and 4 alone: reportLinesSorted).
        QTest::newRow("255: every bit") << 255
            << "M-Bus device driver not existing. M-Bus device driver defective. There are more values defined in "
               "the M-Bus device driver as delivered by the meter. Error in analog value. Wrong address response to "
               "REQ_UD2. There is no reply from the meter. The meter response can not be decoded. ";
        QTest::newRow("bit 256 is not an M-Bus bit") << 256 << "";
        QTest::newRow("1000 has none") << 1000 << "";
        QTest::newRow("1001") << 1001 << "Unusable quantity.";
        QTest::newRow("1002") << 1002 << "Unusable quantity (STS).";
        QTest::newRow("2001") << 2001 << "Substitute value.";
        QTest::newRow("4002") << 4002 << "Temporary value.";
        QTest::newRow("2003") << 2003 << "Invalid value.";
        QTest::newRow("4004") << 4004 << "Missing value.";
        QTest::newRow("6001") << 6001 << "Invalid state.";
        QTest::newRow("5001") << 5001 << "Invalid measuring period.";
        QTest::newRow("7001") << 7001 << "Unknown value.";
    }

    void stateTexts()
    {
        QFETCH(int, code);
        QFETCH(QString, text);
        QCOMPARE(StateErrorTable::stateText(code), text);
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

    void stateErrorEntryAndRecovery_data()
    {
        QTest::addColumn<int>("values");
        QTest::addColumn<int>("bad");
        QTest::addColumn<int>("threshold");
        QTest::addColumn<bool>("inErrorBefore");
        QTest::addColumn<bool>("inErrorAfter");
        QTest::addColumn<int>("statePoint");
        QTest::addColumn<QString>("log");

        QTest::newRow("exactly at the threshold") << 10 << 1 << 10 << false << true << 2003 << "State error 2003 datapoint P";
        QTest::newRow("just below (integer percent 9)") << 11 << 1 << 10 << false << false << -1 << "";
        QTest::newRow("below while in error recovers") << 11 << 1 << 10 << true << false << 0 << "State for datapoint P is ok now";
        QTest::newRow("still in error rewrites the state") << 2 << 2 << 50 << true << true << 2003 << "";
    }

    void stateErrorEntryAndRecovery()
    {
        QFETCH(int, values);
        QFETCH(int, bad);
        QFETCH(int, threshold);
        QFETCH(bool, inErrorBefore);
        QFETCH(bool, inErrorAfter);
        QFETCH(int, statePoint);
        QFETCH(QString, log);

        const QString p = QStringLiteral("P");
        m_store->setPoint(p + QStringLiteral(":State"), Orvane::DWS, -1);
        PointSupervision sup;
        if (inErrorBefore)
            sup.stateErrors().insert(p, 4001);
        LogCapture capture;
        sup.evaluateStateErrors(*m_dms, p, {values, bad, bad ? 2003 : 0}, threshold);
        QCOMPARE(sup.stateErrors().contains(p), inErrorAfter);
        QCOMPARE(pointInt(*m_store, p + QStringLiteral(":State")), qint64(statePoint));
        if (inErrorAfter)
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
        QVERIFY(!m_store->point(QStringLiteral("Q:State")));
        sup.evaluateStateErrors(*m_dms, QStringLiteral("Q"), {1, 1, 1001}, 10);
        QVERIFY2(log.joined(Kyr::LogWarning).contains(QStringLiteral("Could not send state Q - 1001")), qPrintable(log.joined(Kyr::LogWarning)));
        const auto created = m_store->point(QStringLiteral("Q:State"));
        QVERIFY(created);
        QCOMPARE(created->type, int(Orvane::DWS));
        // The next mail finds the point.
        sup.evaluateStateErrors(*m_dms, QStringLiteral("Q"), {1, 1, 1001}, 10);
        QCOMPARE(pointInt(*m_store, QStringLiteral("Q:State")), 1001);
    }

    void expiryAndRecovery_data()
    {
        QTest::addColumn<int>("maxLastUpdate");
        QTest::addColumn<int>("ageMinutes");      // of the point's last update
        QTest::addColumn<int>("newValueAgeMinutes");
        QTest::addColumn<bool>("expires");
        QTest::addColumn<bool>("recovers");

        QTest::newRow("old point expires, young value recovers") << 60 << 61 << 1 << true << true;
        QTest::newRow("old point expires, old value leaves it expired") << 60 << 120 << 61 << true << false;
        QTest::newRow("young point stays") << 60 << 59 << 1 << false << true;
        QTest::newRow("disabled") << 0 << 6000 << 1 << false << false;
    }

    void expiryAndRecovery()
    {
        QFETCH(int, maxLastUpdate);
        QFETCH(int, ageMinutes);
        QFETCH(int, newValueAgeMinutes);
        QFETCH(bool, expires);
        QFETCH(bool, recovers);

        const qint64 now = QDateTime::currentSecsSinceEpoch();
        const qint64 last = now - ageMinutes * 60;
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

        const QDateTime stamp = QDateTime::fromSecsSinceEpoch(now - newValueAgeMinutes * 60);
        sup.recordLastUpdate(*m_dms, p, stamp, maxLastUpdate);
        SupervisionRecord rec;
        QVERIFY(sup.table().find(p, rec));
        if (recovers) {
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
