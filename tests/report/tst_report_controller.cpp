// The reporter in the running application: the controller reads the Reporting settings from the
// configuration file, starts the reporter before the DMS handler and hands it to that handler,
// so a point created for a mail's value is mailed with the first report; the reporter stops
// first.

#include "../common/ProcessRunner.h"
#include "AppMain.h"
#include "fixtures/SmtpServer.h"
#include "report/MailSender.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

class TestReportController : public QObject
{
    Q_OBJECT
public:
    TestReportController(AppMain *app, SmtpServer *server) : m_app(app), m_server(server) {}

private slots:
    void createdPointIsReported();

private:
    AppMain *m_app;
    SmtpServer *m_server;
};

void TestReportController::createdPointIsReported()
{
    QTRY_COMPARE_WITH_TIMEOUT(m_app->dmsState(), DmsHandler::Idle, 30000);
    QVERIFY(m_app->mailSender());
    DataParser::ValueRec value;
    value.timestamp = QDateTime::currentDateTime();
    value.iaks = QStringLiteral("Site:Meter1");
    value.value = 17.5;
    value.importType = DataParser::ImportType(3);
    DataParser::ValueRec marker;
    marker.timestamp = value.timestamp;
    marker.iaks = marker.aks = QStringLiteral("ENDMAILCHECK");
    m_app->dmsHandler()->addMailValue(value);
    m_app->dmsHandler()->addMailValue(marker);

    // The first check runs 12 s after the start and sends because a point was created.
    QTRY_COMPARE_WITH_TIMEOUT(m_server->mailCount(), 1, 60000);
    const QString mail = QString::fromUtf8(m_server->mail(1));
    QVERIFY2(mail.contains(QStringLiteral("1 AKS created:")) && mail.contains(QStringLiteral("- Site:Meter1")),
             qPrintable(mail));
    QVERIFY2(mail.contains(QStringLiteral("DMS/PDBS: Ok")), qPrintable(mail));
    QCOMPARE(m_server->recipients(1), QStringList{QStringLiteral("operator@plant.example")});
}

int main(int argc, char **argv)
{
    SmtpServer server;
    QString error;
    if (!server.start(&error)) {
        qWarning("%s", qPrintable(error));
        return 1;
    }
    QTemporaryDir dir;
    {
        QSettings ini(dir.filePath(QStringLiteral("cfg/Quillon.ini")), QSettings::IniFormat);
        ini.beginGroup(QStringLiteral("Reporting"));
        ini.setValue(QStringLiteral("Host"), server.host());
        ini.setValue(QStringLiteral("Port"), server.port());
        ini.setValue(QStringLiteral("ConnType"), QStringLiteral("TLS"));
        ini.setValue(QStringLiteral("UserName"), server.user());
        ini.setValue(QStringLiteral("Password"), server.password());
        ini.setValue(QStringLiteral("Sender"), QStringLiteral("driver@plant.example"));
        ini.setValue(QStringLiteral("CheckInterval"), 1);
        ini.beginWriteArray(QStringLiteral("Users"));
        ini.setArrayIndex(0);
        ini.setValue(QStringLiteral("Enabled"), true);
        ini.setValue(QStringLiteral("Name"), QStringLiteral("Operator"));
        ini.setValue(QStringLiteral("Address"), QStringLiteral("operator@plant.example"));
        ini.endArray();
        ini.endGroup();
    }
    const QByteArray project = dir.path().toLocal8Bit();
    QByteArrayList arguments = {argv[0], "-m", "-p", project, "--dms_connection", "report-dms",
                                "--pdbs_connection", "report-pdbs"};
    std::vector<char *> appArgv;
    for (QByteArray &a : arguments)
        appArgv.push_back(a.data());
    int appArgc = int(appArgv.size());
    auto *app = new AppMain(appArgc, appArgv.data(), QStringLiteral("Quillon"), QStringLiteral("Quillon Data Tool"), 20);
    if (!app->init())
        return 1;
    TestReportController test(app, &server);
    int failures = QTest::qExec(&test, argc, argv);
    delete app;
    // The reporter stopped before the DMS handler.
    const QString log = readText(dir.filePath(QStringLiteral("log/Quillon.log")));
    const qsizetype reporterEnd = log.indexOf(QStringLiteral("MailSender finished (127.0.0.1)"));
    if (reporterEnd < 0 || reporterEnd > log.indexOf(QStringLiteral("Stopping DMS handler"))) {
        qWarning("The reporter did not stop first:\n%s", qPrintable(log));
        ++failures;
    }
    return failures;
}

#include "tst_report_controller.moc"
