// The main job as an operator runs it: the real quillon binary on a project whose configuration
// points at a real dovecot and a real SMTP server, with the embedded point store. The controller
// starts the reporter before the DMS handler and hands it over, so the points a mail creates are
// reported; at the end the reporter stops first.

#include "../common/ProcessRunner.h"
#include "../common/SqliteQuery.h"
#include "config/ConfigFile.h"
#include "fixtures/DovecotServer.h"
#include "fixtures/FixtureConfiguration.h"
#include "fixtures/MeterMails.h"
#include "fixtures/SmtpServer.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QTest>

namespace {

// A project folder whose certificate store trusts the test server's certificate.
bool trustsServer(const QString &project, const DovecotServer &imap)
{
    return QDir().mkpath(project + QStringLiteral("/cfg/certs/ROOT"))
           && QFile::copy(imap.certificatePath(), project + QStringLiteral("/cfg/certs/ROOT/imap.pem"));
}

} // namespace

class TestMainJob : public QObject
{
    Q_OBJECT

private slots:
    void mailBecomesValuesAndBrokenMailAReport()
    {
        DovecotServer imap;
        SmtpServer smtp;
        QString error;
        QVERIFY2(imap.start(&error), qPrintable(error));
        QVERIFY2(smtp.start(&error), qPrintable(error));
        using namespace MeterMails;
        const QDateTime start(QDate(2024, 3, 1), QTime(0, 0), QTimeZone::utc());
        QVERIFY(imap.seedMail(mail(QStringLiteral("Load profile"), QStringLiteral("Fri, 1 Mar 2024 06:00:00 +0100"),
                                   multipart("mixed", {textPart("Values."), attachment("lp.edi", mscons(QStringLiteral("DE0001"), 8, 1, start))}))));
        QVERIFY(imap.seedMail(mail(QStringLiteral("Broken"), QStringLiteral("Fri, 1 Mar 2024 07:00:00 +0100"),
                                   multipart("mixed", {attachment("notes.txt", "No values here.\r\n")}))));

        QTemporaryDir dir;
        const QString project = dir.filePath(QStringLiteral("project"));
        QVERIFY(trustsServer(project, imap));
        const Configuration config = fixtureConfiguration(imap, smtp, 1);
        ConfigFile::write(project + QStringLiteral("/cfg/Quillon.ini"), config, QString());

        ProcessRunner runner(ProcessRunner::programPath(QStringLiteral("quillon")), dir.path());
        auto process = runner.start({QStringLiteral("-p"), project});

        // The first check comes 20 s after the start: the good mail is filed as a success, the broken
        // one as failed, and the inbox is empty.
        QTRY_VERIFY_WITH_TIMEOUT(imap.maildirCount(QStringLiteral("Success")) == 1
                                     && imap.maildirCount(QStringLiteral("Failed")) == 1 && imap.maildirCount() == 0,
                                 120000);
        const QString store = project + QStringLiteral("/dms/points.sqlite");
        QTRY_COMPARE_WITH_TIMEOUT(sqliteValue(store, QStringLiteral("SELECT count(*) FROM trend WHERE point GLOB 'DE0001*'")),
                                  QVariant(8), 30000);
        // The point's value and its trend rows reach the file in separate transactions.
        QTRY_COMPARE_WITH_TIMEOUT(sqliteValue(store, QStringLiteral("SELECT count(*) FROM points WHERE name GLOB 'DE0001_1.1.1.29.0' AND value = 8")),
                                  QVariant(1), 30000);

        // The report names the broken mail and the points the good one created; it goes out at the
        // reporter's check after the mail check.
        QTRY_VERIFY_WITH_TIMEOUT(smtp.mailCount() >= 1 && smtp.mail(smtp.mailCount()).contains("Mail handling: 1 errors"),
                                 180000);
        QByteArray report = smtp.mail(smtp.mailCount());
        report.replace("=\r\n", ""); // quoted-printable soft line breaks
        QVERIFY2(report.contains("Subject:Broken") && report.contains("Could not parse attachment notes.txt"), report.constData());
        QVERIFY2(report.contains("AKS created:") && report.contains("- DE0001_1.1.1.29.0"), report.constData());
        QVERIFY2(report.contains("DMS/PDBS: Ok"), report.constData());
        QCOMPARE(smtp.recipients(smtp.mailCount()), QStringList{QStringLiteral("operator@plant.example")});

        process->terminate();
        QVERIFY(process->waitForFinished(60000));
        QCOMPARE(process->exitCode(), 0);
        // The reporter stopped before the DMS handler, which reports to it until then.
        const QString log = readText(project + QStringLiteral("/log/Quillon.log"));
        const qsizetype reporterEnd = log.indexOf(QStringLiteral("MailSender finished (127.0.0.1)"));
        QVERIFY2(reporterEnd >= 0 && reporterEnd < log.indexOf(QStringLiteral("Stopping DMS handler")), qPrintable(log));
    }

    // A kill -9 at a step of a check, then a restart: each mail ends once in its folder, with one
    // local copy, and the point store holds one trend row per point and time. "handed": during the
    // value writes, the first mail's values in the store; "kept": the values are committed and the
    // local copies written, nothing is filed; "filed": the mails have left the inbox, nothing is
    // counted or reported yet.
    void killedCheckTakesEachMailOnce_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<int>("inboxAtKill");
        QTest::addColumn<int>("trendRowsAtKill");
        QTest::newRow("handed") << QStringLiteral("handed") << 3 << 4;
        QTest::newRow("kept") << QStringLiteral("kept") << 3 << 8;
        QTest::newRow("filed") << QStringLiteral("filed") << 0 << 8;
    }

    void killedCheckTakesEachMailOnce()
    {
        QFETCH(QString, step);
        QFETCH(int, inboxAtKill);
        QFETCH(int, trendRowsAtKill);
        DovecotServer imap;
        QString error;
        QVERIFY2(imap.start(&error), qPrintable(error));
        using namespace MeterMails;
        const QDateTime start(QDate(2024, 3, 1), QTime(0, 0), QTimeZone::utc());
        for (const char *location : {"KILLA", "KILLB"}) {
            QVERIFY(imap.seedMail(mail(QString::fromLatin1(location), QStringLiteral("Fri, 1 Mar 2024 06:00:00 +0100"),
                                       multipart("mixed", {attachment("lp.edi", mscons(QString::fromLatin1(location), 4, 1, start))}))));
        }
        QVERIFY(imap.seedMail(mail(QStringLiteral("Broken"), QStringLiteral("Fri, 1 Mar 2024 07:00:00 +0100"),
                                   multipart("mixed", {attachment("notes.txt", "No values here.\r\n")}))));

        QTemporaryDir dir;
        const QString project = dir.filePath(QStringLiteral("project"));
        QVERIFY(trustsServer(project, imap));
        Configuration config;
        config.mail = fixtureMailConfig(imap);
        config.mail.checkInterval = QStringLiteral("1");
        config.mail.successCopyToLocal = true;
        config.mail.successLocalFolder = project + QStringLiteral("/mails/ok");
        config.mail.failedCopyToLocal = true;
        config.mail.failedLocalFolder = project + QStringLiteral("/mails/failed");
        config.dms.dmsConnection = QStringLiteral("local");
        config.dms.pdbsConnection = QStringLiteral("PDBS");
        ConfigFile::write(project + QStringLiteral("/cfg/Quillon.ini"), config, QString());

        ProcessRunner runner(ProcessRunner::programPath(QStringLiteral("quillon")), dir.path());
        runner.setEnv(QStringLiteral("QUILLON_HOLD_STEP"), step);
        runner.setEnv(QStringLiteral("QUILLON_HOLD_DIR"), dir.path());
        auto process = runner.start({QStringLiteral("-p"), project});
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath(step + QStringLiteral(".reached"))), 120000);
        const QString store = project + QStringLiteral("/dms/points.sqlite");
        const QString trendRows = QStringLiteral("SELECT count(*) FROM trend WHERE point GLOB 'KILL*'");
        QTRY_COMPARE_WITH_TIMEOUT(sqliteValue(store, trendRows), QVariant(trendRowsAtKill), 30000);
        process->kill();
        QVERIFY(process->waitForFinished(60000));
        QCOMPARE(imap.maildirCount(), inboxAtKill);

        runner.unsetEnv(QStringLiteral("QUILLON_HOLD_STEP"));
        process = runner.start({QStringLiteral("-p"), project});
        const QString log = project + QStringLiteral("/log/Quillon.log");
        // The restart's check ends with the inbox empty, by filing or finding nothing to file.
        QTRY_VERIFY_WITH_TIMEOUT(imap.maildirCount() == 0
                                     && (inboxAtKill == 0 ? readText(log).contains(QStringLiteral("No mails to process"))
                                                          : imap.maildirCount(QStringLiteral("Success")) == 2),
                                 120000);
        process->terminate();
        QVERIFY(process->waitForFinished(60000));
        QCOMPARE(imap.maildirCount(QStringLiteral("Success")), 2);
        QCOMPARE(imap.maildirCount(QStringLiteral("Failed")), 1);
        QStringList kept;
        QDirIterator files(project + QStringLiteral("/mails"), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (files.hasNext())
            kept << QFileInfo(files.next()).fileName();
        QCOMPARE(kept.size(), 3);
        QCOMPARE(kept.filter(QStringLiteral(".eml")).size(), 3);

        QCOMPARE(sqliteValue(store, QStringLiteral("SELECT count(DISTINCT point || time_ms) FROM trend WHERE point GLOB 'KILL*'")),
                 QVariant(8));
        // Checks the store's side: a second write of a point and time replaces the first.
        QCOMPARE(sqliteValue(store, trendRows), QVariant(8));
    }

    void supportInstanceRunsWithoutMailHandling()
    {
        QTemporaryDir dir;
        ProcessRunner runner(ProcessRunner::programPath(QStringLiteral("quillon")), dir.path());
        auto process = runner.start({QStringLiteral("support"), QStringLiteral("-p"), dir.filePath(QStringLiteral("p"))});
        const QString log = dir.filePath(QStringLiteral("p/log/quillon_support.log"));
        QVERIFY(waitForFileText(log, QStringLiteral("ExportSQLiteToHdbxHandler handler started"), 60000));
        process->terminate();
        QVERIFY(process->waitForFinished(60000));
        QCOMPARE(process->exitCode(), 0);
        const QString text = readText(log);
        for (const char *present : {"SearchHandler handler started", "ExportFileToSQLiteHandler handler started"})
            QVERIFY2(text.contains(QLatin1String(present)), present);
        for (const char *absent : {"MailSender started", "MailHandler handler started", "ImportHandler handler started"})
            QVERIFY2(!text.contains(QLatin1String(absent)), absent);
    }
};

QTEST_GUILESS_MAIN(TestMainJob)
#include "tst_mainjob.moc"
