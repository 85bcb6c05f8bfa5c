// links: quillon_mail quillon_test_fixtures KyrIpc
// Throughput of the mail intake end to end: 1000 mails with one 96-value MSCONS attachment each
// are appended to a dovecot on loopback, then one mail check handles them all into the embedded
// point store (SQLite file): fetch, S/MIME steps, parsing, value path, filing and deletion.
// Prints mails/s, values/s and where the time of the check went. Beside it, mbsync (Debian isync)
// copies the same inbox over the same TLS connection kind into a maildir before the check: the
// check's time against that copy is the figure to watch (goal: at most 1.5 times). With the
// argument "signed" the mails carry a detached S/MIME signature. Run by hand (dovecot needs root).
#include "dms/DmsHandler.h"
#include "mail/MailHandler.h"

#include "fixtures/DovecotServer.h"
#include "fixtures/FixtureConfiguration.h"
#include "fixtures/MeterMails.h"
#include "fixtures/SmimeFactory.h"

#include "KyrLogger/Logger.h"
#include "MailSecurity/SIMAP.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int Mails = 1000;
constexpr int ValuesPerMail = 96;
constexpr int Meters = 100;

// Runs the event loop until the condition holds or the time is up.
bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// The seconds mbsync takes to copy the server's inbox into a new maildir in the folder, or a
// negative number when it could not run.
double mbsyncCopySeconds(const DovecotServer &server, const QTemporaryDir &dir)
{
    const QString maildir = dir.filePath(QStringLiteral("mbsync-copy"));
    const QString passwordFile = dir.filePath(QStringLiteral("mbsync-password"));
    QDir().mkpath(maildir);
    QFile password(passwordFile);
    if (!password.open(QIODevice::WriteOnly) || password.write(server.password().toUtf8() + '\n') < 0)
        return -1;
    password.close();
    // Sections are separated by blank lines; the sync state lies beside the mails. mbsync checks
    // the certificate's host names only, not its IP address: it connects to "localhost". It does
    // not wait for the disk after each mail (FSync no), the check's point store commits once.
    const QString config = QStringLiteral("FSync no\n\nIMAPAccount bench\nHost %1\nPort %2\nUser %3\nPassCmd \"cat %4\"\n"
                                          "SSLType IMAPS\nCertificateFile %5\n\n"
                                          "IMAPStore far\nAccount bench\n\n"
                                          "MaildirStore near\nPath %6/\nInbox %6/INBOX\n\n"
                                          "Channel bench\nFar :far:\nNear :near:\nPatterns INBOX\nCreate Near\n"
                                          "Sync Pull\nSyncState *\n")
                               .arg(QStringLiteral("localhost"))
                               .arg(server.imapsPort())
                               .arg(server.user(), passwordFile, server.certificatePath(), maildir);
    QFile configFile(dir.filePath(QStringLiteral("mbsyncrc")));
    if (!configFile.open(QIODevice::WriteOnly) || configFile.write(config.toUtf8()) < 0)
        return -1;
    configFile.close();
    QProcess mbsync;
    mbsync.setProcessChannelMode(QProcess::ForwardedChannels);
    QElapsedTimer clock;
    clock.start();
    mbsync.start(QStringLiteral("mbsync"), {QStringLiteral("-q"), QStringLiteral("-c"), configFile.fileName(),
                                            QStringLiteral("bench")});
    if (!mbsync.waitForFinished(600000) || mbsync.exitStatus() != QProcess::NormalExit || mbsync.exitCode() != 0)
        return -1;
    return clock.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    // As the program does: the zone file named once, so local-time conversions do not look at the
    // file system each time.
    if (qEnvironmentVariableIsEmpty("TZ"))
        qputenv("TZ", ":/etc/localtime");
    QCoreApplication app(argc, argv);
    const bool signMails = argc > 1 && QByteArray(argv[1]) == "signed";
    QTemporaryDir dir;
    DovecotServer server;
    SmimeFactory factory;
    QString error;
    if (!server.start(&error) || !factory.create(&error)) {
        std::fprintf(stderr, "fixture: %s\n", qPrintable(error));
        return 1;
    }
    QDir().mkpath(dir.filePath(QStringLiteral("cfg/certs/ROOT")));
    QFile::copy(server.certificatePath(), dir.filePath(QStringLiteral("cfg/certs/ROOT/imap.pem")));
    qputenv("ORVANE_CURRENT_CONFIG_LOCATION", QFile::encodeName(dir.filePath(QStringLiteral("cfg/"))));
    qputenv("ORVANE_CURRENT_PROJECT_LOCATION", QFile::encodeName(dir.filePath(QStringLiteral("project"))));

    // Append the mails over IMAP, as a mail server would deliver them.
    QElapsedTimer clock;
    clock.start();
    {
        SIMAP imap;
        imap.config(QStringLiteral("SSLCAFile=") + server.certificatePath());
        imap.setMailServer(server.host());
        imap.setMailPort(server.imapsPort());
        imap.setSSL(SIMAP::SslImplicit);
        imap.setUser(server.user());
        imap.setPassword(server.password());
        if (imap.connectToHost() != 0) {
            std::fprintf(stderr, "connect: %s\n", qPrintable(imap.lastError()));
            return 1;
        }
        const QDateTime start(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC);
        for (int i = 0; i < Mails; ++i) {
            const QString date = start.addSecs(i).toString(Qt::RFC2822Date);
            const QByteArray edi = MeterMails::mscons(QStringLiteral("CH%1").arg(i % Meters, 31, 10, QLatin1Char('0')),
                                                      ValuesPerMail, i, start.addDays(i / Meters));
            QByteArray mail = SmimeFactory::plainMail(QStringLiteral("Meter values %1").arg(i), date, "values.edi", edi);
            if (signMails)
                mail = factory.signedDetached(mail);
            const qsizetype split = mail.indexOf("\r\n\r\n");
            imap.setMessageHeadersString(QString::fromLatin1(mail.left(split)));
            imap.setMessageText(QString::fromLatin1(mail.mid(split + 4)));
            imap.setMailbox(QStringLiteral("INBOX"));
            if (imap.appendToMailbox() != 0) {
                std::fprintf(stderr, "append: %s\n", qPrintable(imap.lastError()));
                return 1;
            }
        }
        imap.disconnectFromHost();
    }
    const double appendSeconds = clock.nsecsElapsed() / 1e9;
    std::printf("Appended %d %smails over IMAP (TLS, loopback) in %.2f s: %.0f mails/s\n", Mails,
                signMails ? "signed " : "", appendSeconds, Mails / appendSeconds);

    const double mbsyncSeconds = mbsyncCopySeconds(server, dir);
    if (mbsyncSeconds < 0) {
        std::fprintf(stderr, "mbsync could not copy the inbox (package isync)\n");
        return 1;
    }
    std::printf("mbsync copied the same inbox into a maildir in %.2f s\n", mbsyncSeconds);

    DmsConfig dmsConfig;
    dmsConfig.dmsConnection = QStringLiteral("bench-intake-dms");
    dmsConfig.pdbsConnection = QStringLiteral("bench-intake-pdbs");
    DmsHandler dms(dmsConfig);
    bool dmsReady = false;
    QObject::connect(&dms, &DmsHandler::sigDmsReady, &app, [&] { dmsReady = true; });
    dms.start();

    MailConfig config = fixtureMailConfig(server);
    MailHandler mail(config);
    mail.setDmsHandler(&dms);
    mail.setDmsState(DmsHandler::Idle);
    QString times;
    const int listener = Kyr::Logger::instance().addListener([&times](quint8, const QString &line) {
        if (line.contains(QLatin1String("Mail check:")))
            times = line;
    });
    bool idle = false;
    bool started = false;
    QObject::connect(&mail, &MailHandler::sigMailInfo, &app, [&](const QString &info) {
        if (info == QLatin1String("Checking mails"))
            started = true;
        else if (started && info == QLatin1String("Idle"))
            idle = true;
    });
    if (!waitFor([&] { return dmsReady; }, 30000)) {
        std::fprintf(stderr, "DMS handler not ready\n");
        return 1;
    }
    mail.start();
    waitFor([&] { return mail.isRunning(); }, 10000);
    clock.restart();
    mail.forceMailCheck();
    const bool done = waitFor([&] { return idle; }, 3600000);
    const double checkSeconds = clock.nsecsElapsed() / 1e9;
    Kyr::Logger::instance().removeListener(listener);
    mail.quit();
    mail.wait();
    dms.quit();
    dms.wait();
    if (!done || server.maildirCount() != 0) {
        std::fprintf(stderr, "check did not empty the inbox (%d mails left)\n", server.maildirCount());
        return 1;
    }
    std::printf("One check of %d mails x %d values into the point store (SQLite file): %.2f s\n", Mails, ValuesPerMail,
                checkSeconds);
    std::printf("  %.0f mails/s, %.0f values/s\n", Mails / checkSeconds, Mails * double(ValuesPerMail) / checkSeconds);
    std::printf("  check %.2f s / mbsync %.2f s = %.2fx (goal: at most 1.5x)\n", checkSeconds, mbsyncSeconds,
                checkSeconds / mbsyncSeconds);
    // "Mail check: N values; IMAP a ms, S/MIME b ms, parsing c ms, value path d ms"
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("IMAP (\\d+) ms, S/MIME (\\d+) ms, parsing (\\d+) ms, value path (\\d+) ms")).match(times);
    if (m.hasMatch()) {
        const char *names[] = {"IMAP (login, fetch, filing)", "S/MIME steps", "MIME walk and parsing",
                               "value path (hand-over and commit wait)"};
        for (int i = 0; i < 4; ++i) {
            const double ms = m.captured(i + 1).toDouble();
            std::printf("  %-40s %8.0f ms  %5.1f %%\n", names[i], ms, 100.0 * ms / (checkSeconds * 1000));
        }
    }
    return 0;
}
