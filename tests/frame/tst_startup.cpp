// Start-up of the real program: name derivation, command line, environment, instance guard,
// termination and banners.

#include "../common/JsonCases.h"
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

const QString kCases = QStringLiteral("tests/frame/data/startup.json");
} // namespace

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    // The name the program takes from its file name and its first argument.
    void applicationName_data() { JsonCases::addRows(kCases, QStringLiteral("applicationName")); }

    void applicationName()
    {
        QFETCH(const QJsonObject, row);
        QList<QByteArray> bytes;
        std::vector<const char *> argv;
        for (const QString &a : JsonCases::strings(row[QStringLiteral("arguments")]))
            bytes.append(a.toLocal8Bit());
        for (const QByteArray &b : bytes)
            argv.push_back(b.constData());
        QCOMPARE(applicationNameFromArguments(int(argv.size()), argv.data()), row[QStringLiteral("expected")].toString());
    }

    // A command line the program refuses or answers at once: exit code, its whole output, a part of its errors.
    void commandLineErrors_data()
    {
        JsonCases::addRows(kCases, QStringLiteral("commandLine"));
        // The whole help: every option in its order with its text; %PROGRAM% stands for the program's path.
        const QString help = readText(QStringLiteral(QUILLON_SOURCE_DIR "/tests/frame/data/help.expected"));
        QVERIFY(help.startsWith(QStringLiteral("Usage: %PROGRAM% [options]\n")));
        QTest::newRow("help") << QJsonObject{{"arguments", QJsonArray{"--help"}}, {"exitCode", 0}, {"standardOutput", help}};
    }

    void commandLineErrors()
    {
        QFETCH(const QJsonObject, row);
        QTemporaryDir dir;
        ProcessRunner runner(ProcessRunner::programPath(QStringLiteral("quillon")), dir.path());
        const ProcessResult result = runner.run(JsonCases::strings(row[QStringLiteral("arguments")]));
        QVERIFY(result.finished);
        QCOMPARE(result.exitCode, row[QStringLiteral("exitCode")].toInt());
        QString standardOutput = row[QStringLiteral("standardOutput")].toString();
        if (!standardOutput.isEmpty())
            QCOMPARE(result.standardOutput, standardOutput.replace("%PROGRAM%", ProcessRunner::programPath("quillon")));
        const QString standardError = row[QStringLiteral("standardError")].toString();
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

    // Each row starts the program with its command line; the log (proj/log/Quillon.log unless the
    // row names another) must show the expected lines and none of the absent ones.
    void environment_data() { JsonCases::addRows(kCases, QStringLiteral("environment")); }

    void environment()
    {
        QFETCH(const QJsonObject, row);
        // %QM% stands for the folder of the test's translation files.
        const auto strings = [&](const char *key) {
            return JsonCases::strings(row[QLatin1String(key)]).replaceInStrings("%QM%", QUILLON_TEST_QM_DIR);
        };
        QTemporaryDir dir;
        ProcessRunner runner(ProcessRunner::programPath(QStringLiteral("quillon")), dir.path());
        auto process = runner.start(strings("arguments"));
        const QString log = dir.filePath(row[QStringLiteral("log")].toString(QStringLiteral("proj/log/Quillon.log")));
        QVERIFY2(waitForFileText(log, QStringLiteral("Configuration read from")), qPrintable(log));
        process->terminate();
        QVERIFY(process->waitForFinished(10000));
        QCOMPARE(process->exitCode(), 0);
        const QString text = readText(log);
        for (const QString &line : strings("expected"))
            QVERIFY2(text.contains(line), qPrintable(QStringLiteral("'%1' missing in:\n%2").arg(line, text)));
        for (const QString &line : strings("absent"))
            QVERIFY2(!text.contains(line), qPrintable(QStringLiteral("'%1' unexpected in:\n%2").arg(line, text)));
    }

    void supportInstance_data() { JsonCases::addRows(kCases, QStringLiteral("supportInstance")); }

    void supportInstance()
    {
        QFETCH(const QJsonObject, row);
        const QString instance = row[QStringLiteral("instance")].toString();
        const bool support = row[QStringLiteral("support")].toBool();
        QTemporaryDir dir;
        const QString project = dir.filePath(QStringLiteral("proj"));
        const QString name = QStringLiteral("quillon_") + instance;
        ProcessRunner runner(ProcessRunner::programPath(QStringLiteral("quillon")), dir.path());
        auto process = runner.start({instance, QStringLiteral("-p"), project});
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
