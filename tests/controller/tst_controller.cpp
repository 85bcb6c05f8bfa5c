// The controller in a running application: it starts the DMS handler with the connection
// overrides, pauses and resumes, reloads on a change of the configuration file, follows the link's
// state, and ends the program on a quit from a local DMS only.

#include "../common/ProcessRunner.h"
#include "../common/RunInsideApp.h"
#include "config/ConfigFile.h"

#include "KyrIpc/PointStore.h"

#include <QApplication>
#include <QFileSystemWatcher>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

class TestController : public QObject
{
    Q_OBJECT
public:
    TestController(AppMain *app, QString logFile) : m_app(app), m_log(std::move(logFile)) {}

private slots:
    void startPauseAndResume()
    {
        QSignalSpy states(m_app, &AppMain::sigStateChanged);
        QTRY_COMPARE_WITH_TIMEOUT(m_app->dmsState(), DmsHandler::Idle, 15000);
        QVERIFY2(logHas(QStringLiteral("Starting DMS on DMS:'plant-dms:9010', PDBS:'PDBS'")), qPrintable(readText(m_log)));
        // The first broadcast after the start shows the link down, then ready.
        QVERIFY(states.size() >= 2);
        QCOMPARE(states.first().at(1).value<DmsHandler::DmsState>(), DmsHandler::Down);
        QCOMPARE(states.last().at(1).value<DmsHandler::DmsState>(), DmsHandler::Idle);
        QCOMPARE(states.last().at(0).toBool(), false);
        // Not a support instance: the reporter runs beside the DMS handler.
        QVERIFY(m_app->mailSender());

        m_app->pause();
        QVERIFY(logHas(QStringLiteral("Quillon paused")));
        QCOMPARE(states.last().at(0).toBool(), true);
        m_app->resume();
        QVERIFY(logHas(QStringLiteral("Quillon resumed")));
        QCOMPARE(states.last().at(0).toBool(), false);
    }

    void reloadOnChange()
    {
        const QString path = ConfigFile::configFilePath();
        QTRY_VERIFY_WITH_TIMEOUT(m_app->dmsHandler(), 15000);
        DmsHandler *before = m_app->dmsHandler();
        // A save through the writer (which replaces the file) reloads with the new settings; the
        // command-line connection override survives.
        Configuration config = ConfigFile::read(path, ConfigFile::Rows::All);
        config.dms.prefix = QStringLiteral("Site1:");
        ConfigFile::write(path, config, QString());
        QTRY_COMPARE_WITH_TIMEOUT(logCount(QStringLiteral("Configuration has changed")), 1, 15000);
        QVERIFY(m_app->dmsHandler() != before);
        QCOMPARE(m_app->dmsConfig().prefix, QStringLiteral("Site1:"));
        QCOMPARE(m_app->dmsConfig().dmsConnection, QStringLiteral("plant-dms:9010"));

        // The watch follows the replaced file: a later save reloads again.
        auto *guard = m_app->findChild<QTimer *>(QStringLiteral("reloadGuard"));
        QVERIFY(guard);
        QTRY_VERIFY(!guard->isActive());
        config.dms.prefix = QStringLiteral("Site2:");
        ConfigFile::write(path, config, QString());
        QTRY_COMPARE_WITH_TIMEOUT(logCount(QStringLiteral("Configuration has changed")), 2, 15000);
        QCOMPARE(m_app->dmsConfig().prefix, QStringLiteral("Site2:"));

        // Two writes inside the guard (lengthened here, so that both notifications surely fall
        // inside it): the first is read at once, the second when the guard ends.
        QTRY_VERIFY(!guard->isActive());
        guard->setInterval(3000);
        config.dms.prefix = QStringLiteral("Site3:");
        ConfigFile::write(path, config, QString());
        m_app->onConfigFileChanged(path);
        QCOMPARE(m_app->dmsConfig().prefix, QStringLiteral("Site3:"));
        config.dms.prefix = QStringLiteral("Site4:");
        ConfigFile::write(path, config, QString());
        m_app->onConfigFileChanged(path);
        QVERIFY(logHas(QStringLiteral("onConfigFileChanged received twice")));
        QTRY_COMPARE_WITH_TIMEOUT(m_app->dmsConfig().prefix, QStringLiteral("Site4:"), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(!guard->isActive(), 15000);
        guard->setInterval(80);
        // A reload broadcasts no state: the new handler's own readiness tells when the link is back.
        QTRY_VERIFY_WITH_TIMEOUT(m_app->dmsHandler()->isReady(), 15000);
    }

    void foreignQuitKeepsRunningLocalQuitEnds()
    {
        // A foreign DMS may ask us to quit: the program keeps running and shows the link down.
        Orvane::PointStore::forConnection(QStringLiteral("plant-dms:9010"))->sendQuit();
        QTRY_VERIFY2(logHas(QStringLiteral("Quit received from foreign DMS plant-dms:9010")), qPrintable(readText(m_log)));
        QCOMPARE(m_app->dmsState(), DmsHandler::Down);
        QVERIFY(m_app->dmsHandler());
        QVERIFY(m_app->dmsHandler()->isRunning());

        // Restarted against the local DMS, a quit from it ends the event loop with exit code 0.
        qputenv("ORVANE_OPTION_DMS_CONNECTION", "local");
        m_app->onRestart();
        QTRY_COMPARE_WITH_TIMEOUT(m_app->dmsState(), DmsHandler::Idle, 15000);
        QVERIFY(logHas(QStringLiteral("Starting DMS on DMS:'local', PDBS:'PDBS'")));
        QTimer::singleShot(0, [] { Orvane::PointStore::forConnection(QStringLiteral("local"))->sendQuit(); });
        // A save of the configuration file while the program ends: it must not start handlers again.
        const QString path = ConfigFile::configFilePath();
        QFileSystemWatcher probe({path});
        QSignalSpy saved(&probe, &QFileSystemWatcher::fileChanged);
        const int reloads = logCount(QStringLiteral("Configuration has changed"));
        QObject context;
        connect(qApp, &QCoreApplication::aboutToQuit, &context,
                [&] { ConfigFile::write(path, ConfigFile::read(path, ConfigFile::Rows::All), QString()); });
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(!m_app->dmsHandler());
        for (const char *line : {"Quit received by local DMS -> Terminating", "DMS logout", " stopped ==================="})
            QVERIFY2(logHas(QLatin1String(line)), line);
        // The save's notification reaches every watch of the file in the same pass of the event loop.
        QTRY_VERIFY_WITH_TIMEOUT(!saved.isEmpty(), 15000);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(logCount(QStringLiteral("Configuration has changed")), reloads);
        QVERIFY(!m_app->dmsHandler());
    }

private:
    bool logHas(const QString &text) const { return readText(m_log).contains(text); }
    int logCount(const QString &text) const { return int(readText(m_log).count(text)); }

    AppMain *m_app;
    QString m_log;
};

int main(int argc, char **argv)
{
    return runInsideApp(argc, argv, {"--dms_connection", "plant-dms:9010", "--pdbs_connection", "PDBS"},
                        [](AppMain *app, const QString &project) {
                            return std::make_unique<TestController>(app, project + QStringLiteral("/log/Quillon.log"));
                        });
}

#include "tst_controller.moc"
