// Start-up of the real program: name derivation, command line, environment, instance guard,
// termination and banners.

#include "../common/ProcessRunner.h"
#include "AppName.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {
const QString kStartBanner = QStringLiteral("=================== %1 - 2.25.110.20 [2025-04-23 07:57] start ===================");
const QString kStopBanner = QStringLiteral("=================== %1 - 2.25.110.20 [2025-04-23 07:57] stopped ===================");

QString logOf(const QString &projectDir, const QString &name)
{
    return QDir(projectDir).filePath(QStringLiteral("log/%1.log").arg(name));
}

// Links the built program under another file name, as an operator would install an instance.
QString linkProgram(const QString &dir, const QString &fileName)
{
    const QString link = QDir(dir).filePath(fileName);
    QFile::link(ProcessRunner::programPath(QStringLiteral("quillon")), link);
    return link;
}

// One start of the program and the lines its log must and must not show.
struct Launch
{
    QStringList arguments;
    QStringList expected;
    QStringList absent = {};
    QString logFile = QStringLiteral("proj/log/Quillon.log"); // relative to the working directory
};
} // namespace

Q_DECLARE_METATYPE(Launch)

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void applicationName_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain, option first") << QStringList{"/opt/q/quillon", "-p", "/x"} << "Quillon";
        QTest::newRow("windows executable") << QStringList{"C:/q/QUILLON.EXE", "-p", "/x"} << "Quillon";
        QTest::newRow("console variant") << QStringList{"quillonconsole", "-p", "/x"} << "Quillon";
        QTest::newRow("instance argument") << QStringList{"quillon", "site2", "-p", "/x"} << "quillon_site2";
        QTest::newRow("instance keeps its case") << QStringList{"quillon", "Support"} << "quillon_Support";
        QTest::newRow("other driver keeps its name") << QStringList{"/bin/meterdrv.exe"} << "meterdrv";
        QTest::newRow("lower-case .exe") << QStringList{"QuillonConsole.exe"} << "Quillon";
    }

    void applicationName()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, name);
        QList<QByteArray> bytes;
        std::vector<const char *> argv;
        for (const QString &a : arguments)
            bytes.append(a.toLocal8Bit());
        for (const QByteArray &b : bytes)
            argv.push_back(b.constData());
        QCOMPARE(applicationNameFromArguments(int(argv.size()), argv.data()), name);
    }

    void commandLineErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("standardOutput");
        QTest::addColumn<QString>("standardError");
        QTest::newRow("no project path") << QStringList{} << 1 << "No project path given!\n" << "";
        QTest::newRow("empty application path") << QStringList{"-a", "", "-p", "proj"} << 1
                                                << "No application path given!\n" << "";
        QTest::newRow("missing option value") << QStringList{"-p"} << 1 << "" << "Missing value after '-p'.";
        QTest::newRow("version") << QStringList{"--version"} << 0 << "Quillon 2.25.110.20 [2025-04-23 07:57]\n" << "";
        // The whole help: every option in its order with its text; %PROGRAM% stands for the program's path.
        const QString help = readText(QStringLiteral(QUILLON_SOURCE_DIR "/tests/frame/data/help.expected"));
        QVERIFY(help.startsWith(QStringLiteral("Usage: %PROGRAM% [options]\n")));
        QTest::newRow("help") << QStringList{"--help"} << 0 << help << "";
    }

    void commandLineErrors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, standardOutput);
        QFETCH(QString, standardError);
        QTemporaryDir dir;
        ProcessRunner runner(ProcessRunner::programPath(QStringLiteral("quillon")), dir.path());
        const ProcessResult result = runner.run(arguments);
        QVERIFY(result.finished);
        QCOMPARE(result.exitCode, exitCode);
        if (!standardOutput.isEmpty())
            QCOMPARE(result.standardOutput, standardOutput.replace("%PROGRAM%", ProcessRunner::programPath("quillon")));
        QVERIFY2(result.standardError.contains(standardError), qPrintable(result.standardError));
    }

    void runsLogsAndStopsOnSigterm()
    {
        QTemporaryDir dir;
        const QString project = dir.filePath(QStringLiteral("proj"));
        ProcessRunner runner(ProcessRunner::programPath(QStringLiteral("quillon")), dir.path());
        auto process = runner.start({QStringLiteral("-x"), QStringLiteral("-p"), project});
        const QString log = logOf(project, QStringLiteral("Quillon"));
        QVERIFY(waitForFileText(log, QStringLiteral("Configuration read from")));
        QVERIFY(QFile::exists(project + QStringLiteral("/cfg/Quillon.ini")));

        ::kill(pid_t(process->processId()), SIGTERM);
        QVERIFY(process->waitForFinished(30000)); // safety net only
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(process->exitCode(), 0);

        const QString text = readText(log);
        const qsizetype start = text.indexOf(kStartBanner.arg(QStringLiteral("Quillon")));
        const qsizetype unknown = text.indexOf(QStringLiteral("Unknown command line option 'x'"));
        const qsizetype stop = text.indexOf(kStopBanner.arg(QStringLiteral("Quillon")));
        QVERIFY2(start >= 0 && unknown > start && stop > unknown, qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("INFO   lib/KyrTools/static/OrvaneApp.cpp:")));
        QVERIFY(text.contains(QStringLiteral("WARN   lib/KyrTools/static/OrvaneApp.cpp:")));
        QVERIFY(!text.contains(QStringLiteral("App was not yet started")));
    }

    // A second start of a running instance, even for its help only, ends at once without parsing;
    // another instance and a multi-start run beside it; a lock left by an ended instance does not
    // block the next start.
    void instanceGuard()
    {
        QTemporaryDir dir;
        const QString project = dir.filePath(QStringLiteral("proj"));
        const QString log = logOf(project, QStringLiteral("Quillon"));
        const QString site2Log = logOf(project, QStringLiteral("quillon_site2"));
        ProcessRunner runner(ProcessRunner::programPath(QStringLiteral("quillon")), dir.path());
        auto first = runner.start({QStringLiteral("-p"), project});
        auto site2 = runner.start({QStringLiteral("site2"), QStringLiteral("-p"), project});
        QVERIFY(waitForFileText(log, kStartBanner.arg(QStringLiteral("Quillon"))));
        QVERIFY(waitForFileText(site2Log, kStartBanner.arg(QStringLiteral("quillon_site2"))));
        QVERIFY(QFile::exists(project + QStringLiteral("/cfg/quillon_site2.ini")));

        for (const QStringList &arguments : {QStringList{"-p", project}, QStringList{"--help"}}) {
            const ProcessResult second = runner.run(arguments);
            QCOMPARE(second.exitCode, 0);
            QVERIFY2(!second.standardOutput.contains(QStringLiteral("Usage")), qPrintable(second.standardOutput));
        }
        auto multi = runner.start({QStringLiteral("-m"), QStringLiteral("-p"), project});
        QVERIFY(!multi->waitForFinished(1500)); // still running beside the first
        for (QProcess *process : {first.get(), site2.get(), multi.get()}) {
            QCOMPARE(process->state(), QProcess::Running);
            process->terminate();
        }
        for (QProcess *process : {first.get(), site2.get(), multi.get()}) {
            QVERIFY(process->waitForFinished(10000));
            QCOMPARE(process->exitCode(), 0);
        }
        QCOMPARE(readText(log).count(QStringLiteral(" stopped ===")), 2);
        QVERIFY(readText(site2Log).contains(kStopBanner.arg(QStringLiteral("quillon_site2"))));

        auto again = runner.start({QStringLiteral("-p"), project});
        QTRY_COMPARE_WITH_TIMEOUT(readText(log).count(QStringLiteral(" start ===")), 3, 15000);
        again->terminate();
        QVERIFY(again->waitForFinished(10000));
    }

    void environment_data()
    {
        QTest::addColumn<Launch>("launch");
        QTest::newRow("backslash project path")
            << Launch{{"-p", "C:\\data\\proj"},
                      {"ORVANE_CURRENT_PROJECT_LOCATION='C:/data/proj/'", "ORVANE_CURRENT_LOG_LOCATION='C:/data/proj/log/'",
                       "ORVANE_CURRENT_CONFIG_LOCATION='C:/data/proj/cfg/'"},
                      {"ORVANE_OPTION_DMS_CONNECTION"}, "C:/data/proj/log/Quillon.log"};
        QTest::newRow("own log and config paths, install path, bound connection options")
            << Launch{{"-p", "proj", "-l", "logs", "--config-path", "conf\\q", "-a", "/opt/orvane/bin", "--dms_connection",
                       "host:1", "--pdbs_connection", "PDBS"},
                      {"ORVANE_CURRENT_LOG_LOCATION='logs/'", "ORVANE_CURRENT_CONFIG_LOCATION='conf/q/'",
                       "Configuration read from 'conf/q/Quillon.ini'", "ORVANE_INSTALL_PATH='/opt/orvane/'",
                       "ORVANE_OPTION_DMS_CONNECTION='host:1'", "ORVANE_OPTION_PDBS_CONNECTION='PDBS'"},
                      {}, "logs/Quillon.log"};
        QTest::newRow("language, translations from the application path")
            << Launch{{"-p", "proj", "--lang", "de_CH", "-a", QUILLON_TEST_QM_DIR},
                      {"ORVANE_OPTION_LANG='de_CH'",
                       "Language code 'de', translations loaded: " QUILLON_TEST_QM_DIR "/Quillon_de, " QUILLON_TEST_QM_DIR "/lib_de"},
                      {"qt_de"}};
        QTest::newRow("short language name takes its territory") << Launch{{"-p", "proj", "--lang", "de"}, {"Language code 'de'"}};
        QTest::newRow("locale name without territory has no code")
            << Launch{{"-p", "proj", "--lang", "C", "-a", QUILLON_TEST_QM_DIR}, {"Language code '', translations loaded: none"}};
        QTest::newRow("long multi-start exports an empty value")
            << Launch{{"--multi-start", "-p", "proj"}, {"ORVANE_APP_MULTI_START=''"}};
        QTest::newRow("short multi-start exports nothing") << Launch{{"-m", "-p", "proj"}, {}, {"ORVANE_APP_MULTI_START"}};
        // Below a plain file no configuration directory can be made: the program starts on the defaults.
        QTest::newRow("unwritable configuration directory")
            << Launch{{"-p", "proj", "-c", "/dev/null/cfg"}, {"DMS: DmsConnection '127.0.0.1:9010', PdbsConnection '127.0.0.1:9011'"}};
    }

    void environment()
    {
        QFETCH(Launch, launch);
        QTemporaryDir dir;
        ProcessRunner runner(ProcessRunner::programPath(QStringLiteral("quillon")), dir.path());
        auto process = runner.start(launch.arguments);
        const QString log = dir.filePath(launch.logFile);
        QVERIFY2(waitForFileText(log, QStringLiteral("Configuration read from")), qPrintable(log));
        process->terminate();
        QVERIFY(process->waitForFinished(10000));
        QCOMPARE(process->exitCode(), 0);
        const QString text = readText(log);
        for (const QString &line : launch.expected)
            QVERIFY2(text.contains(line), qPrintable(QStringLiteral("'%1' missing in:\n%2").arg(line, text)));
        for (const QString &line : launch.absent)
            QVERIFY2(!text.contains(line), qPrintable(QStringLiteral("'%1' unexpected in:\n%2").arg(line, text)));
    }

    void installedNames_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("instance");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("support");
        QTest::newRow("windows executable name") << "QUILLON.EXE" << "" << "Quillon" << false;
        QTest::newRow("support instance") << "quillon" << "support" << "quillon_support" << true;
        QTest::newRow("support instance, other case") << "quillon" << "Support" << "quillon_Support" << true;
        QTest::newRow("other instance is no support") << "quillon" << "supporter" << "quillon_supporter" << false;
    }

    void installedNames()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, instance);
        QFETCH(QString, name);
        QFETCH(bool, support);
        QTemporaryDir dir;
        const QString project = dir.filePath(QStringLiteral("proj"));
        ProcessRunner runner(linkProgram(dir.path(), fileName), dir.path());
        QStringList arguments{QStringLiteral("-p"), project};
        if (!instance.isEmpty())
            arguments.prepend(instance);
        auto process = runner.start(arguments);
        const QString log = logOf(project, name);
        QVERIFY2(waitForFileText(log, QStringLiteral("DMS handler started")), qPrintable(log));
        // A support instance keeps the DMS handler but never connects it.
        if (!support)
            QVERIFY(waitForFileText(log, QStringLiteral("DMS handler is ready")));
        process->terminate();
        QVERIFY(process->waitForFinished(10000));
        const QString text = readText(log);
        QVERIFY(text.contains(kStartBanner.arg(name)));
        QCOMPARE(text.contains(QStringLiteral("ServiceMode='true'")), support);
        QCOMPARE(text.contains(QStringLiteral("Synch DMS connected")), !support);
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
