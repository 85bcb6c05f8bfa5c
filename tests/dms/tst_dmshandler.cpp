// The DMS handler in its own thread against the embedded point store: coming up, the UP point,
// the watchdog and its period, the status points, waiting for the DMS, losing the link, quit
// and logout.

#include "../common/DmsHandlerRun.h"
#include "../common/JsonCases.h"
#include "../common/LogCapture.h"
#include "dms/DmsLocation.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using Orvane::PointStore;
// DmsConfig{.name = value}: a case names only the settings it changes, the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

const QString casesFile = QStringLiteral("tests/data/dms/cases.json");
const QString remoteConnection = QStringLiteral("192.0.2.7:9010"); // a documentation address
const QString folder = QStringLiteral("System:Driver:Quillon");
const QString watchdogPoint = QStringLiteral("System:Prog:WatchDog:Quillon");
const QString periodPoint = QStringLiteral("System:Prog:WatchDog:Period");
const QString localUpPoint = QStringLiteral("System:Prog:Quillon_UP");

QString remoteUpPoint()
{
    return QStringLiteral("System:Prog:Quillon:") + DmsLocation::shortHostName() + ":UP";
}

// A handler (not yet started) on the project's store of the connection, with short waits.
struct Running : DmsHandlerRun
{
    explicit Running(const QString &dmsConnection = QStringLiteral("local"))
        : DmsHandlerRun(DmsConfig{.dmsConnection = dmsConnection, .pdbsConnection = "PDBS"},
                        // watchdogSecondMs: a period of 20 s becomes 200 ms
                        DmsTiming{.connectRetryMs = 50, .upRetryMs = 100, .asyncUpDelayMs = 10, .reconnectDelayMs = 20,
                                  .logoutDelayMs = 10, .watchdogSecondMs = 10, .controlSeconds = 1})
    {
    }
};

// Records when the values of a registered point arrive.
class Probe : public DmsAccess::MessageHandler
{
public:
    explicit Probe(const QString &point) : m_access(QStringLiteral("Probe"))
    {
        m_clock.start();
        m_access.ConnectDms(QStringLiteral("local"), this, false, 1000);
        m_access.Register(point, 7, false);
    }
    void messageReceived(DmsAccess *, Orvane::Message *message) override
    {
        arrivals.append(m_clock.elapsed());
        delete message;
    }
    QList<qint64> arrivals;

private:
    DmsAccess m_access;
    QElapsedTimer m_clock;
};

} // namespace

class TestDmsHandler : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("Quillon")); }
    void init()
    {
        m_project = std::make_unique<QTemporaryDir>();
        qputenv("ORVANE_CURRENT_PROJECT_LOCATION", (m_project->path() + u'/').toUtf8());
        qunsetenv("ServiceMode");
        PointStore::restartAll();
    }

    void dmsLocation_data()
    {
        QTest::addColumn<QString>("connection");
        QTest::addColumn<bool>("local");
        const QString host = DmsLocation::shortHostName();
        QTest::newRow("pipe name") << "local" << true;
        QTest::newRow("localhost capitals") << "LOCALHOST:9010" << true;
        QTest::newRow("loopback address") << "127.0.0.1:9010" << true;
        QTest::newRow("own host name") << host + ":9010" << true;
        if (host.toUpper() != host)
            QTest::newRow("own host name other case") << host.toUpper() + ":9010" << false;
        QTest::newRow("other machine") << remoteConnection << false;
    }

    void dmsLocation()
    {
        QFETCH(QString, connection);
        QFETCH(bool, local);
        QCOMPARE(DmsLocation::of(connection), local ? QStringLiteral("local") : DmsLocation::shortHostName());
        DmsHandler handler(DmsConfig{.dmsConnection = connection});
        QCOMPARE(handler.isDmsLocal(), local);
    }

    // Every state has its text; any other value is "unknown".
    void stateTexts_data() { JsonCases::addRows(casesFile, QStringLiteral("handler states")); }

    void stateTexts()
    {
        QFETCH(QJsonObject, row);
        QCOMPARE(DmsHandler::stateText(DmsHandler::DmsState(row["state"].toInt())), row["text"].toString());
        DmsHandler handler{DmsConfig()}; // registers the meta-type
        QVERIFY(QMetaType::fromName("DmsHandler::DmsState").isValid());
    }

    // Up and down again: the UP point of this host, and with a local DMS only the watchdog, its
    // period registration and the status points; the logout undoes them in order.
    void comesUpAndLogsOut_data() { JsonCases::addRows(casesFile, QStringLiteral("handler connections")); }

    void comesUpAndLogsOut()
    {
        QFETCH(QJsonObject, row);
        const QString connection = row["connection"].toString();
        const bool local = connection == QLatin1String("local");
        LogCapture log;
        Running run(connection);
        QVERIFY(run.startReady());
        QCOMPARE(log.count(6, "DMS is up"), 1);
        QCOMPARE(log.count(6, "DMS handler is ready"), 1);

        const QString upPoint = local ? localUpPoint : remoteUpPoint();
        QCOMPARE(run.pointType(upPoint), int(Orvane::BIT));
        QCOMPARE(run.pointValue(upPoint), QVariant(true));
        QCOMPARE(run.pointType(local ? remoteUpPoint() : localUpPoint), 0);

        QCOMPARE(run.store->registrationCount(periodPoint), local ? 1 : 0);
        QCOMPARE(run.pointType(watchdogPoint), local ? int(Orvane::DWS) : 0);
        const QList<QPair<QString, int>> statusPoints{
            {":Quillon_Paused", Orvane::BIT}, {":MailError", Orvane::BIT},  {":LastMailError", Orvane::STR},
            {":ReportError", Orvane::BIT},    {":LastReportError", Orvane::STR}, {":StateErrors", Orvane::DWS},
            {":UpdateErrors", Orvane::DWS},   {":LastMail", Orvane::STR}};
        for (const auto &[name, type] : statusPoints)
            QVERIFY2(run.pointType(folder + name) == (local ? type : 0), qPrintable(name));
        if (local) {
            QCOMPARE(run.pointValue(folder + ":Quillon_Paused"), QVariant(false));
            QCOMPARE(run.pointValue(folder + ":UpdateErrors"), QVariant(qint64(0)));
            // A missing ":LastMail" gets the current time.
            const QDateTime lastMail = QDateTime::fromString(run.pointValue(folder + ":LastMail").toString(), Qt::ISODate);
            QVERIFY(lastMail.isValid());
            QVERIFY(qAbs(lastMail.secsTo(QDateTime::currentDateTime())) < 60);
            // The watchdog flips between 1 and 0 with the period (20 s, here 200 ms).
            QCOMPARE(run.pointValue(watchdogPoint), QVariant(qint64(1)));
            QTRY_COMPARE(run.pointValue(watchdogPoint), QVariant(qint64(0)));
            QTRY_COMPARE(run.pointValue(watchdogPoint), QVariant(qint64(1)));
        }

        run.stop();
        QCOMPARE(log.count(6, "DMS logout"), 1);
        QCOMPARE(log.count(6, "DMS handler finished"), 1);
        QCOMPARE(run.pointValue(upPoint), QVariant(false));
        QCOMPARE(run.store->registrationCount(periodPoint), 0);
        if (local)
            QCOMPARE(run.pointValue(watchdogPoint), QVariant(qint64(-1)));
        else
            QCOMPARE(run.pointType(watchdogPoint), 0);
        const QString infos = log.joined(Kyr::LogInfo);
        QVERIFY(infos.indexOf(QStringLiteral("DMS logout")) < infos.indexOf(QStringLiteral("DMS handler finished")));
    }

    // The store starts as a former run left it: "old mail" and "old report" in the two text
    // points, a ":LastMail" time (kept) and ":MailError" of another type (recreated).
    void statusPointsFollowAppState_data() { JsonCases::addRows(casesFile, QStringLiteral("status points")); }

    void statusPointsFollowAppState()
    {
        QFETCH(QJsonObject, row);
        const bool paused = row["paused"].toBool();
        const QString mailError = row["mailError"].toString();
        const QString reportError = row["reportError"].toString();
        Running run;
        run.store->setPoint(folder + ":LastMailError", Orvane::STR, QStringLiteral("old mail"));
        run.store->setPoint(folder + ":LastReportError", Orvane::STR, QStringLiteral("old report"));
        run.store->setPoint(folder + ":LastMail", Orvane::STR, QStringLiteral("2020-01-02T03:04:05"));
        run.store->setPoint(folder + ":MailError", Orvane::DWS, 7);
        QVERIFY(run.startReady());
        QCOMPARE(run.pointType(folder + ":MailError"), int(Orvane::BIT));
        QCOMPARE(run.pointValue(folder + ":LastMail"), QVariant("2020-01-02T03:04:05"));

        QMetaObject::invokeMethod(run.handler.get(), "onAppStateChanged", Qt::QueuedConnection, Q_ARG(bool, paused),
                                  Q_ARG(DmsHandler::DmsState, DmsHandler::Idle), Q_ARG(QString, mailError),
                                  Q_ARG(QString, reportError));
        const auto written = [&run] {
            return QVariantList{run.pointValue(folder + ":Quillon_Paused"), run.pointValue(folder + ":MailError"),
                                run.pointValue(folder + ":ReportError"), run.pointValue(folder + ":LastMailError"),
                                run.pointValue(folder + ":LastReportError")};
        };
        QTRY_COMPARE(written(), (QVariantList{paused, !mailError.isEmpty(), !reportError.isEmpty(),
                                              row["lastMailError"].toString(), row["lastReportError"].toString()}));
    }

    void periodAnswerChangesWatchdog()
    {
        Running run;
        QVERIFY(run.startReady());
        Probe probe(watchdogPoint);
        QTRY_VERIFY(probe.arrivals.size() >= 3); // the answer to the registration, then ticks

        run.store->setPoint(periodPoint, Orvane::DWS, 60); // the DMS sends the new period
        QTRY_COMPARE(run.handler->watchdogPeriod(), 60);
        const int changedAt = int(probe.arrivals.size());
        // The tick already started keeps its length; the next ones are 60 s (600 ms here) long.
        QTRY_VERIFY_WITH_TIMEOUT(probe.arrivals.size() >= changedAt + 3, 10000);
        const qint64 longGap = probe.arrivals.at(changedAt + 2) - probe.arrivals.at(changedAt + 1);
        QVERIFY2(longGap >= 550, qPrintable(QString::number(longGap)));
    }

    // The level and text each kind of answer is logged with; nothing for a positive one.
    void messageTexts_data() { JsonCases::addRows(casesFile, QStringLiteral("message texts")); }

    void messageTexts()
    {
        QFETCH(QJsonObject, row);
        const int level = row["level"].toInt(); // 0: nothing logged
        Running run;
        QVERIFY(run.startReady());
        LogCapture log;
        Orvane::Message message;
        message.tag = row["tag"].toInt();
        message.answerCode = row["answer"].toInt();
        message.subCode = row["subCode"].toInt();
        message.value = 99;
        message.setPointName(QStringLiteral("Site:Meter:X"));
        const QString expected = row["text"].toString() + DmsAccess::msgToString(&message);
        run.store->sendMessage(message);
        message.setPointName(QStringLiteral("Site:Meter:End"));
        message.answerCode = 4;
        message.tag = 5;
        run.store->sendMessage(message); // arrives after the first one
        QTRY_COMPARE(log.count(3, "Site:Meter:End"), 1);
        if (level)
            QCOMPARE(log.count(quint8(level), expected), 1);
        QCOMPARE(log.count("Site:Meter:X"), level ? 1 : 0);
        QCOMPARE(run.handler->watchdogPeriod(), 20); // negative answers leave the period alone
    }

    // Until "DMS_UP" reads true the handler retries and stays not ready; a time-out of the
    // control meanwhile is ignored (the connection is kept).
    void waitsForDmsUp_data() { JsonCases::addRows(casesFile, QStringLiteral("waiting for DMS_UP")); }

    void waitsForDmsUp()
    {
        QFETCH(QJsonObject, row);
        const bool readFails = row["readFails"].toBool();
        LogCapture log;
        Running run;
        if (readFails)
            run.store->setPoint(QStringLiteral("System:Prog:DMS_UP"), Orvane::DWS, 1); // not readable as a bit
        else
            run.store->setDmsUp(false);
        run.start();
        QTRY_VERIFY(log.count(4, "DMS waiting for up") >= 1);
        QMetaObject::invokeMethod(run.handler.get(), "onDmsTimedOut", Qt::QueuedConnection);
        QTRY_VERIFY(log.count(4, "DMS waiting for up") >= 3); // retried every 25 s (100 ms here)
        QCOMPARE(log.count("DMS timed out"), 0);
        QCOMPARE(run.disconnected->count(), 0);
        QCOMPARE(run.ready->count(), 0);
        QVERIFY(!run.handler->isReady());
        QCOMPARE(run.pointType(localUpPoint), 0);

        run.store->setPoint(QStringLiteral("System:Prog:DMS_UP"), Orvane::BIT, true);
        QTRY_COMPARE(run.ready->count(), 1);
        QCOMPARE(run.pointValue(localUpPoint), QVariant(true));
    }

    void reconnectsAfterTimeOut()
    {
        LogCapture log;
        Running run;
        QVERIFY(run.startReady());

        run.store->setAnswering(false); // the control times out after 240 s (1 s here)
        QTRY_COMPARE_WITH_TIMEOUT(run.disconnected->count(), 1, 10000);
        run.store->setAnswering(true);
        QCOMPARE(log.count(2, "DMS timed out"), 1);
        // The handler connects again by itself and comes up as at start.
        QTRY_COMPARE(run.ready->count(), 2);
        QVERIFY(run.handler->isReady());
        QCOMPARE(log.count(6, "Synch DMS connected"), 2);
        QCOMPARE(log.count(6, "Pdbs connected"), 2);
        QCOMPARE(run.disconnected->count(), 1);
    }

    void droppedLinkDropsValuesAndQuitIsForwarded()
    {
        LogCapture log;
        Running run;
        QVERIFY(run.startReady());

        run.store->dropLink();
        QTRY_COMPARE(run.disconnected->count(), 1);
        QCOMPARE(log.count(4, "Asynch DMS disconnected"), 1);
        QVERIFY(!run.handler->isReady());
        // A mail's values meanwhile are dropped with a warning, not kept for later.
        DataParser::ValueRec lost = DmsHandlerRun::endOfMailMarker();
        lost.iaks = lost.aks = QStringLiteral("L");
        run.handler->addMailValue(lost);
        run.handler->addMailValue(DmsHandlerRun::endOfMailMarker());
        QTRY_COMPARE(log.count(4, "DMS not ready for value ENDMAILCHECK->ENDMAILCHECK"), 1);
        QCOMPARE(log.count(4, "DMS not ready for value L->L"), 1);
        QVERIFY(!run.handler->isBusy());
        // The watchdog stops with the link.
        const QVariant watchdog = run.pointValue(watchdogPoint);
        QTest::qWait(500);
        QCOMPARE(run.pointValue(watchdogPoint), watchdog);

        run.store->restoreLink(); // the asynchronous connection comes back by itself
        QTRY_COMPARE(run.ready->count(), 2);
        QVERIFY(run.handler->isReady());
        QTRY_VERIFY(run.pointValue(watchdogPoint) != watchdog);
        QVERIFY(run.mail({}));
        QCOMPARE(run.pointType("L"), 0);
        QVERIFY(run.trend("L").isEmpty());

        // A quit of the DMS is passed on; the controller decides what happens next.
        run.store->sendQuit();
        QTRY_COMPARE(run.quitReceived->count(), 1);
        QVERIFY(run.handler->isReady());
    }

private:
    std::unique_ptr<QTemporaryDir> m_project;
};

QTEST_GUILESS_MAIN(TestDmsHandler)
#include "tst_dmshandler.moc"
