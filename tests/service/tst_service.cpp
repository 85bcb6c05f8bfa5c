// A running instance as its operator sees and steers it: quillon-ctl over the control channel,
// SIGHUP, the notifications to systemd, the metrics endpoint and --check-config, all through the
// real binaries, with a real dovecot and SMTP server.

#include "../common/ProcessRunner.h"
#include "config/ConfigFile.h"
#include "fixtures/DovecotServer.h"
#include "fixtures/FixtureConfiguration.h"
#include "fixtures/MeterMails.h"
#include "fixtures/SmtpServer.h"
#include "service/ControlChannel.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <csignal>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

QByteArray meterMail(const QString &subject, const QString &location)
{
    using namespace MeterMails;
    const QDateTime start(QDate(2024, 3, 1), QTime(0, 0), QTimeZone::utc());
    return mail(subject, QStringLiteral("Fri, 1 Mar 2024 06:00:00 +0100"),
                multipart("mixed", {textPart("Values."), attachment("lp.edi", mscons(location, 8, 1, start))}));
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// One HTTP exchange on a fresh connection; the whole answer once the server closes or 10 s pass.
QByteArray http(quint16 port, const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(10000))
        return {};
    socket.write(request);
    QByteArray answer;
    while (socket.waitForReadyRead(10000)) {
        answer += socket.readAll();
        if (answer.contains("\r\n\r\n") && answer.contains("Content-Length")) {
            const qsizetype bodyStart = answer.indexOf("\r\n\r\n") + 4;
            const QByteArray header = answer.left(bodyStart).toLower();
            const qsizetype at = header.indexOf("content-length:") + 15;
            if (answer.size() - bodyStart >= header.mid(at, header.indexOf('\r', at) - at).trimmed().toLongLong())
                break;
        }
    }
    return answer;
}

// The notifications a process sends to NOTIFY_SOCKET, read from a datagram socket of the test.
class NotifySocket
{
public:
    explicit NotifySocket(const QString &path) : m_path(path)
    {
        m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof(address.sun_path));
        ::bind(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof(address));
    }
    ~NotifySocket() { ::close(m_fd); }

    // Waits until count messages contain the text; all messages so far go to the list.
    bool waitFor(const QString &text, int count, int timeoutMs)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (m_messages.filter(text).size() < count && !deadline.hasExpired()) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, int(qMin<qint64>(deadline.remainingTime(), 500))) > 0) {
                char buffer[4096];
                const ssize_t n = ::recv(m_fd, buffer, sizeof(buffer), 0);
                if (n > 0)
                    m_messages << QString::fromUtf8(buffer, int(n));
            }
        }
        return m_messages.filter(text).size() >= count;
    }
    QStringList messages() const { return m_messages; }

private:
    QString m_path;
    int m_fd = -1;
    QStringList m_messages;
};

} // namespace

class TestService : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    DovecotServer m_imap;
    SmtpServer m_smtp;
    std::unique_ptr<QProcess> m_plain; // an instance without a mailbox, for the hostile clients

    QString project(const QString &name) const { return m_dir.filePath(name); }

    ProcessResult ctl(const QStringList &arguments)
    {
        ProcessRunner runner(ProcessRunner::programPath(QStringLiteral("cli/quillon-ctl")), m_dir.path());
        return runner.run(arguments, 60000);
    }

    QJsonObject status(const QString &projectPath)
    {
        const ProcessResult r = ctl({QStringLiteral("-p"), projectPath, QStringLiteral("status"), QStringLiteral("--json")});
        return QJsonDocument::fromJson(r.standardOutput.toUtf8()).object();
    }

    qint64 counter(const QString &projectPath, const char *name)
    {
        return status(projectPath).value(QStringLiteral("counters")).toObject().value(QLatin1String(name)).toInteger();
    }

    // Configuration of an instance on the test mailbox and SMTP server; checks and reports come
    // only when asked for within a test (an hour apart otherwise).
    Configuration mailboxConfiguration() const { return fixtureConfiguration(m_imap, m_smtp, 60); }

    void prepareProject(const QString &projectPath, const QString &configFile, const Configuration &config)
    {
        QVERIFY(QDir().mkpath(projectPath + QStringLiteral("/cfg/certs/ROOT")));
        QFile::copy(m_imap.certificatePath(), projectPath + QStringLiteral("/cfg/certs/ROOT/imap.pem"));
        ConfigFile::write(projectPath + QStringLiteral("/cfg/") + configFile, config, QString());
    }

    // Every instance but the plain one starts with --multi-start: they all run as Quillon, each
    // on its own project; the plain one holds the instance guard.
    std::unique_ptr<QProcess> startInstance(const QString &projectPath, const QList<std::pair<QString, QString>> &env = {},
                                            bool multiStart = true)
    {
        ProcessRunner runner(ProcessRunner::programPath(QStringLiteral("quillon")), m_dir.path());
        for (const auto &[name, value] : env)
            runner.setEnv(name, value);
        QStringList arguments{QStringLiteral("-p"), projectPath};
        if (multiStart)
            arguments.prepend(QStringLiteral("--multi-start"));
        auto process = runner.start(arguments);
        if (!waitForFileText(projectPath + QStringLiteral("/log/Quillon.log"), QStringLiteral("Control channel open"), 60000))
            qWarning("No control channel in %s", qPrintable(projectPath));
        return process;
    }

    // Forced checks until the condition holds: a check asked for while the DMS link is still
    // coming up is skipped, so the request is repeated.
    template <typename Condition>
    bool checkUntil(const QString &projectPath, Condition condition, int timeoutMs = 120000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            ctl({QStringLiteral("-p"), projectPath, QStringLiteral("check")});
            for (QDeadlineTimer round(3000); !round.hasExpired();) {
                if (condition())
                    return true;
                QTest::qWait(100);
            }
        }
        return false;
    }

    static void stop(std::unique_ptr<QProcess> &process)
    {
        process->terminate();
        QVERIFY(process->waitForFinished(60000));
        QCOMPARE(process->exitCode(), 0);
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_imap.start(&error), qPrintable(error));
        QVERIFY2(m_smtp.start(&error), qPrintable(error));
        m_plain = startInstance(project(QStringLiteral("plain")), {}, false);
    }

    void cleanupTestCase()
    {
        if (m_plain)
            stop(m_plain);
    }

    // The whole round an operator makes: look, pause, check, resume, check, report, scrape.
    void operatorSteersTheIntake()
    {
        const QString p = project(QStringLiteral("steered"));
        Configuration config = mailboxConfiguration();
        const quint16 metricsPort = freePort();
        config.service.metricsPort = metricsPort;
        prepareProject(p, QStringLiteral("Quillon.ini"), config);
        const int successBefore = m_imap.maildirCount(QStringLiteral("Success"));
        QVERIFY(m_imap.seedMail(meterMail(QStringLiteral("First"), QStringLiteral("DE0001"))));
        auto process = startInstance(p);

        // While the first check waits: the state window's rows and the next check.
        const QJsonObject waiting = status(p);
        QStringList parts;
        for (const QJsonValue &row : waiting.value(QStringLiteral("rows")).toArray())
            parts << row.toObject().value(QStringLiteral("part")).toString();
        QCOMPARE(parts, (QStringList{"Mail", "DMS", "Reporter", "Import", "Search"}));
        QCOMPARE(waiting.value(QStringLiteral("paused")), QJsonValue(false));
        QVERIFY(!waiting.value(QStringLiteral("nextMailCheck")).isNull());

        QVERIFY(checkUntil(p, [&] { return m_imap.maildirCount() == 0; }));
        QTRY_COMPARE_WITH_TIMEOUT(counter(p, "mailsOk"), 1, 30000);
        QCOMPARE(counter(p, "valuesWritten") >= 8 && counter(p, "pointsCreated") >= 1, true);
        QCOMPARE(m_imap.maildirCount(QStringLiteral("Success")), successBefore + 1);

        // Paused, a check handles nothing and says so.
        QCOMPARE(ctl({"-p", p, "pause"}).exitCode, 0);
        QCOMPARE(status(p).value(QStringLiteral("rows")).toArray().at(0).toObject().value(QStringLiteral("state")),
                 QJsonValue(QStringLiteral("inactive")));
        QVERIFY(m_imap.seedMail(meterMail(QStringLiteral("Second"), QStringLiteral("DE0002"))));
        QVERIFY(checkUntil(p, [&] { return status(p).value(QStringLiteral("lastCheckResult")).toString() == "<Paused>"; }));
        QCOMPARE(m_imap.maildirCount(), 1);

        // Resumed, a check now handles the inbox an hour before the interval ends.
        QCOMPARE(ctl({"-p", p, "resume"}).exitCode, 0);
        QVERIFY(checkUntil(p, [&] { return m_imap.maildirCount() == 0; }));
        QTRY_COMPARE_WITH_TIMEOUT(counter(p, "mailsOk"), 2, 30000);

        const int mailsBefore = m_smtp.mailCount();
        QCOMPARE(ctl({"-p", p, "report"}).exitCode, 0);
        QTRY_VERIFY_WITH_TIMEOUT(m_smtp.mailCount() > mailsBefore, 60000);
        QVERIFY(m_smtp.mail(m_smtp.mailCount()).contains("DE0002"));
        QTRY_COMPARE_WITH_TIMEOUT(counter(p, "reportsSent"), 1, 30000);

        const QByteArray metrics = http(metricsPort, "GET /metrics HTTP/1.1\r\nHost: localhost\r\n\r\n");
        QVERIFY2(metrics.startsWith("HTTP/1.1 200"), metrics.constData());
        for (const char *line : {"quillon_mails_total{result=\"ok\"} 2", "quillon_mails_total{result=\"failed\"} 0",
                                 "quillon_reports_sent_total 1", "quillon_dms_up 1",
                                 "quillon_build_info{application=\"Quillon\",version=\"2.25.110.20"})
            QVERIFY2(metrics.contains(line), line);
        QVERIFY(http(metricsPort, "POST /metrics HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n").startsWith("HTTP/1.1 405"));
        QVERIFY(http(metricsPort, "GET / HTTP/1.1\r\nHost: x\r\n\r\n").startsWith("HTTP/1.1 404"));
        QVERIFY(http(metricsPort, "GET /metrics HTTP/1.1\r\nHost: x\r\nContent-Length: 100000\r\n\r\n" + QByteArray(100000, 'x'))
                    .startsWith("HTTP/1.1 413"));
        stop(process);

        // What the instance made is its owner's only; its configuration file raised no warning.
        for (const char *made : {"log", "log/Quillon.log", "dms", "dms/points.sqlite"}) {
            struct stat st{};
            QCOMPARE(::stat(QFile::encodeName(p + u'/' + QLatin1String(made)).constData(), &st), 0);
            QCOMPARE(st.st_mode & 0777, S_ISDIR(st.st_mode) ? 0700u : 0600u);
        }
        QVERIFY(!readText(p + QStringLiteral("/log/Quillon.log")).contains(QStringLiteral("can be read by others")));
    }

    // A reload reads the file again even where the file watcher sees no change: the configuration
    // is a symbolic link that is switched to another file.
    void reloadAppliesAChangedMailbox_data()
    {
        QTest::addColumn<bool>("bySignal");
        QTest::newRow("SIGHUP") << true;
        QTest::newRow("reload command") << false;
    }
    void reloadAppliesAChangedMailbox()
    {
        QFETCH(bool, bySignal);
        const QString p = project(QStringLiteral("reload-") + QTest::currentDataTag());
        Configuration config = mailboxConfiguration();
        prepareProject(p, QStringLiteral("inbox.ini"), config);
        config.mail.inboxFolder = QStringLiteral("Meters");
        prepareProject(p, QStringLiteral("meters.ini"), config);
        QVERIFY(QFile::link(QStringLiteral("inbox.ini"), p + QStringLiteral("/cfg/Quillon.ini")));
        auto process = startInstance(p);
        QVERIFY(checkUntil(p, [&] { return counter(p, "mailChecks") >= 1; }));

        QVERIFY(m_imap.seedMail(meterMail(QStringLiteral("Filed"), QStringLiteral("DE0003")), QStringLiteral("Meters")));
        QVERIFY(QFile::link(QStringLiteral("meters.ini"), p + QStringLiteral("/cfg/next.ini")));
        QVERIFY(::rename(QFile::encodeName(p + QStringLiteral("/cfg/next.ini")), QFile::encodeName(p + QStringLiteral("/cfg/Quillon.ini"))) == 0);
        if (bySignal)
            ::kill(pid_t(process->processId()), SIGHUP);
        else
            QCOMPARE(ctl({"-p", p, "reload"}).exitCode, 0);
        QVERIFY(waitForFileText(p + QStringLiteral("/log/Quillon.log"), QStringLiteral("Configuration has changed"), 60000));
        QVERIFY(readText(p + QStringLiteral("/log/Quillon.log"))
                    .contains(bySignal ? QStringLiteral("requested by SIGHUP") : QStringLiteral("requested by control command")));
        QVERIFY(checkUntil(p, [&] { return m_imap.maildirCount(QStringLiteral("Meters")) == 0; }));
        stop(process);
    }

    // Clients that misbehave get a refusal at most, and the instance answers the next one.
    void hostileControlClient_data()
    {
        QTest::addColumn<int>("connections");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<bool>("leaves");
        QTest::addColumn<QString>("answer");
        QTest::newRow("silence") << 1 << QByteArray() << false << "ERROR\nNo request line within 5 s\n";
        QTest::newRow("megabytes without a line end") << 1 << QByteArray(1 << 20, 'x') << false
                                                      << "ERROR\nRequest longer than 256 bytes\n";
        QTest::newRow("garbage line") << 1 << QByteArray("\x01\xff status; rm -rf /\n") << false
                                      << "ERROR\nUnknown request '\x01\xff status; rm -rf /' (status [json], pause, resume, check, report, reload)\n";
        QTest::newRow("gone mid-request") << 1 << QByteArray("sta") << true << QString();
        QTest::newRow("a crowd of silent clients") << 9 << QByteArray() << false
                                                   << "ERROR\nToo many control connections at once\n";
    }
    void hostileControlClient()
    {
        QFETCH(int, connections);
        QFETCH(QByteArray, request);
        QFETCH(bool, leaves);
        QFETCH(QString, answer);
        const QString p = project(QStringLiteral("plain"));
        const QString socketPath = QDir(m_dir.path()).filePath(ControlChannel::socketName(QStringLiteral("Quillon"), p));
        std::vector<std::unique_ptr<QLocalSocket>> clients;
        for (int i = 0; i < connections; ++i) {
            clients.push_back(std::make_unique<QLocalSocket>());
            clients.back()->connectToServer(socketPath);
            QVERIFY(clients.back()->waitForConnected(5000));
            clients.back()->write(request);
            clients.back()->flush();
        }
        if (leaves) {
            clients.back()->abort();
        } else {
            QLocalSocket &last = *clients.back();
            QByteArray got;
            QDeadlineTimer deadline(20000);
            while (last.state() == QLocalSocket::ConnectedState && !deadline.hasExpired()) {
                last.waitForReadyRead(200);
                got += last.readAll();
            }
            got += last.readAll();
            // The answer quotes a garbled request with its unprintable characters replaced.
            QString expected = answer;
            expected.replace(QChar(0x01), u'?').replace(QChar(0xff), u'?');
            QCOMPARE(QString::fromUtf8(got), expected);
        }
        clients.clear();
        const ProcessResult after = ctl({"-p", p, "status"});
        QCOMPARE(after.exitCode, 0);
        QVERIFY(after.standardOutput.contains(QStringLiteral("DMS link:")));
    }

    void ctlRefusesWhatItCannotDo_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("text");
        const QString plain = project(QStringLiteral("plain"));
        QTest::newRow("no instance of that name") << QStringList{"site9", "-p", plain, "status"} << 3
                                                  << QStringLiteral("No running instance 'quillon_site9' for project '%1'").arg(plain);
        QTest::newRow("unknown command") << QStringList{"-p", plain, "restart"} << 1 << QStringLiteral("Give one command of");
        QTest::newRow("json beside another command") << QStringList{"-p", plain, "pause", "--json"} << 1
                                                     << QStringLiteral("--json goes with status only");
        QTest::newRow("no project") << QStringList{"status"} << 1 << QStringLiteral("No project path given!");
    }
    void ctlRefusesWhatItCannotDo()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, text);
        const ProcessResult r = ctl(arguments);
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2(r.standardError.contains(text), qPrintable(r.standardError));
    }

    // The check runs beside a running instance of the same name (no instance guard) and leaves
    // the file as it was.
    void checkConfigJudgesTheFile_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<bool>("othersRead");
        const QByteArray good("[Mail]\nHost=imap.example\nPort=993\nCheckInterval=06:00;18:00\n");
        QTest::newRow("good") << good << 0 << QStringList{"no problems found"} << false;
        QTest::newRow("good, readable by others")
            << good << 0 << QStringList{"Warning: Configuration file", "can be read by others", "no problems found"} << true;
        QTest::newRow("four problems")
            << QByteArray("[Mail]\nCheckInterval=soon\n[AksMapping]\nMappings\\1\\Enabled=true\nMappings\\1\\Imported=[z-a]\n"
                          "Mappings\\2\\Enabled=false\nMappings\\2\\Imported=[z-a]\nMappings\\size=2\n"
                          "[Reporting]\nHost=smtp.example\nPort=70000\n[Service]\nMetricsPort=9100\nMetricsAddress=localhost\n")
            << 1
            << QStringList{"Mail/CheckInterval: Enter minutes", "AksMapping/Mappings/1/Imported: Pattern '[z-a]' can never match",
                           "Reporting/Port: Port must be between 1 and 65535",
                           "Service/MetricsAddress: 'localhost' is no IP address", "4 problem(s)"}
            << false;
        QTest::newRow("no file") << QByteArray() << 1 << QStringList{"not found"} << false;
    }
    void checkConfigJudgesTheFile()
    {
        QFETCH(QByteArray, ini);
        QFETCH(int, exitCode);
        QFETCH(QStringList, lines);
        QFETCH(bool, othersRead);
        const QString p = project(QStringLiteral("check-") + QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-'));
        const QString file = p + QStringLiteral("/cfg/Quillon.ini");
        if (!ini.isEmpty()) {
            QVERIFY(QDir().mkpath(p + QStringLiteral("/cfg")));
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(ini);
            QVERIFY(out.setPermissions(QFile::ReadOwner | QFile::WriteOwner | (othersRead ? QFile::ReadOther : QFile::Permissions())));
        }
        ProcessRunner runner(ProcessRunner::programPath(QStringLiteral("quillon")), m_dir.path());
        const ProcessResult r = runner.run({QStringLiteral("--check-config"), QStringLiteral("-p"), p});
        QCOMPARE(r.exitCode, exitCode);
        for (const QString &line : lines)
            QVERIFY2(r.standardOutput.contains(line), qPrintable(r.standardOutput));
        QCOMPARE(r.standardOutput.contains(QStringLiteral("Warning:")), othersRead);
        QCOMPARE(readText(file).toUtf8(), ini);
    }

    // Ready after the start and again after a reload, the watchdog fed, stopping at the end.
    void systemdHearsTheInstance()
    {
        const QString p = project(QStringLiteral("notified"));
        NotifySocket notify(m_dir.filePath(QStringLiteral("notify")));
        auto process = startInstance(p, {{QStringLiteral("NOTIFY_SOCKET"), m_dir.filePath(QStringLiteral("notify"))},
                                         {QStringLiteral("WATCHDOG_USEC"), QStringLiteral("400000")}});
        QVERIFY(notify.waitFor(QStringLiteral("READY=1"), 1, 60000));
        QVERIFY2(notify.messages().filter(QStringLiteral("READY=1")).first().contains(QStringLiteral("STATUS=Running; DMS ")),
                 qPrintable(notify.messages().join(u'|')));
        QVERIFY(notify.waitFor(QStringLiteral("WATCHDOG=1"), 3, 30000));
        ::kill(pid_t(process->processId()), SIGHUP);
        QVERIFY(notify.waitFor(QStringLiteral("READY=1"), 2, 60000));
        process->terminate();
        QVERIFY(notify.waitFor(QStringLiteral("STOPPING=1"), 1, 60000));
        QVERIFY(process->waitForFinished(60000));
        QCOMPARE(process->exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestService)
#include "tst_service.moc"
