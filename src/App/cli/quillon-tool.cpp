// links: quillon_tools quillon_config KyrLogger
//
// quillon-tool SUB-COMMAND [instance] -p PROJECT [options]
// Runs one of the offline tools headless, with the naming settings (prefix, options, mapping) of
// the instance's configuration file, as the tool dialogs run them: import, export-sqlite,
// export-hdbx, search. Progress texts go to standard output (one line updated in place on a
// terminal), warnings and errors of the log also to standard error.
// Exit codes: 0 done, 1 bad arguments, 2 finished with failed files.

#include "config/ConfigFile.h"
#include "tools/ExportFileToSQLiteHandler.h"
#include "tools/ExportSQLiteToHdbxHandler.h"
#include "tools/ImportHandler.h"
#include "tools/SearchHandler.h"
#include "tools/SourceList.h"

#include "KyrLogger/Logger.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QRegularExpression>

#include <cstdio>
#include <functional>
#include <memory>
#include <unistd.h>

#include <sys/stat.h>

namespace {

constexpr int ExitDone = 0;
constexpr int ExitBadArguments = 1;
constexpr int ExitFailedFiles = 2;

// Progress texts and log lines share the terminal; one line is updated in place there.
class Console
{
public:
    Console() : m_terminal(isatty(fileno(stdout))) {}

    void progress(const QString &text)
    {
        QMutexLocker lock(&m_mutex);
        const QByteArray line = text.toLocal8Bit();
        if (m_terminal && !text.startsWith(QLatin1String("=="))) {
            std::fprintf(stdout, "\r%s\x1b[K", line.constData());
            m_open = true;
        } else {
            std::fprintf(stdout, "%s%s\n", m_open ? "\r\x1b[K" : "", line.constData());
            m_open = false;
        }
        std::fflush(stdout);
    }

    void problem(const QString &line)
    {
        QMutexLocker lock(&m_mutex);
        if (m_open) {
            std::fputs("\n", stdout);
            std::fflush(stdout);
            m_open = false;
        }
        std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
        std::fflush(stderr);
    }

private:
    QMutex m_mutex;
    bool m_terminal;
    bool m_open = false;
};

// The options of one sub-command as parsed, with the checks every tool shares.
class Options
{
public:
    explicit Options(const QCommandLineParser &parser) : m_parser(parser) {}
    QString value(const char *name) const { return m_parser.value(QString::fromLatin1(name)); }
    QStringList values(const char *name) const { return m_parser.values(QString::fromLatin1(name)); }
    bool isSet(const char *name) const { return m_parser.isSet(QString::fromLatin1(name)); }

    // The first of the options that is empty, as an error text; empty when all are given.
    QString require(std::initializer_list<const char *> names) const
    {
        for (const char *name : names) {
            if (value(name).isEmpty())
                return QStringLiteral("--%1 is required").arg(QString::fromLatin1(name));
        }
        return QString();
    }
    // A source list option: given, and naming at least one folder.
    QString requireSources(const char *name) const
    {
        if (QString missing = require({name}); !missing.isEmpty())
            return missing;
        return SourceList::folders(value(name)).isEmpty() ? SourceList::noFolderText(value(name)) : QString();
    }
    // An ISO 8601 time; an option not given leaves that end open.
    bool readTime(const char *name, QDateTime &time) const
    {
        if (!isSet(name))
            return true;
        time = QDateTime::fromString(value(name), Qt::ISODate);
        return time.isValid();
    }

private:
    const QCommandLineParser &m_parser;
};

const QString kTimeError = QStringLiteral("--from and --to take ISO 8601 times, e.g. 2024-03-31T00:00:00+01:00");

// A tool handler with the start of its run.
struct Job
{
    std::unique_ptr<ToolThread> handler;
    std::function<void()> start;
};

template <class Handler, class Params>
Job jobOf(Handler *handler, const Params &params)
{
    return {std::unique_ptr<ToolThread>(handler), [handler, params] { handler->start(params); }};
}

// Each sub-command reads its options into its tool's parameter record; an error text when they
// do not make one.
using JobMaker = QString (*)(const Options &, const DmsConfig &, Job &);

struct SubCommand
{
    QString name;
    QString description;
    QList<QCommandLineOption> options;
    JobMaker make;
};

QString makeImport(const Options &o, const DmsConfig &naming, Job &job);
QString makeExportSqlite(const Options &o, const DmsConfig &naming, Job &job);
QString makeExportHdbx(const Options &o, const DmsConfig &naming, Job &job);
QString makeSearch(const Options &o, const DmsConfig &naming, Job &job);

QList<SubCommand> subCommands()
{
    const QCommandLineOption from({QStringLiteral("from")}, QStringLiteral("Earliest value time (ISO 8601)."), QStringLiteral("time"));
    const QCommandLineOption to({QStringLiteral("to")}, QStringLiteral("Latest value time (ISO 8601)."), QStringLiteral("time"));
    return {
        {QStringLiteral("import"), QStringLiteral("Import saved mails and data files into monthly history files (.hdbx)."),
         {{{QStringLiteral("import-path")}, QStringLiteral("Source folders, separated by ';'."), QStringLiteral("dirs")},
          {{QStringLiteral("temp-path")}, QStringLiteral("Folder of the temporary files; without --direct-write the history files are written there."), QStringLiteral("dir")},
          {{QStringLiteral("direct-write")}, QStringLiteral("Merge into the month folders of --backup-path.")},
          {{QStringLiteral("backup-path")}, QStringLiteral("Destination folder of --direct-write."), QStringLiteral("dir")},
          from, to}, makeImport},
        {QStringLiteral("export-sqlite"), QStringLiteral("Export saved mails and data files into an SQLite database; files already exported are skipped."),
         {{{QStringLiteral("email-path")}, QStringLiteral("Source folders, separated by ';'."), QStringLiteral("dirs")},
          {{QStringLiteral("output")}, QStringLiteral("The SQLite database file."), QStringLiteral("db")}}, makeExportSqlite},
        {QStringLiteral("export-hdbx"), QStringLiteral("Export the SQLite database into monthly history files (UTC months), or verify two history trees."),
         {{{QStringLiteral("input-db")}, QStringLiteral("The SQLite database file."), QStringLiteral("db")},
          {{QStringLiteral("backup-path")}, QStringLiteral("History folder; 'NEW;OLD' compares two trees into NEW/VerifyHdbx.csv instead."), QStringLiteral("dir")},
          {{QStringLiteral("verify-against")}, QStringLiteral("Compare --backup-path with this older tree (same as 'NEW;OLD')."), QStringLiteral("dir")},
          {{QStringLiteral("query")}, QStringLiteral("Value query; %1 stands for the rds ids of one point."), QStringLiteral("sql")}}, makeExportHdbx},
        {QStringLiteral("search"), QStringLiteral("Search saved mails and data files; every hit becomes one line of a CSV file."),
         {{{QStringLiteral("search-path")}, QStringLiteral("Source folders, separated by ';'."), QStringLiteral("dirs")},
          {{QStringLiteral("output")}, QStringLiteral("The result CSV file."), QStringLiteral("csv")},
          from, to,
          {{QStringLiteral("file-filter")}, QStringLiteral("Only files and folders whose name contains this text."), QStringLiteral("text")},
          {{QStringLiteral("imp-rds")}, QStringLiteral("Import identifier, exactly."), QStringLiteral("text")},
          {{QStringLiteral("imp-rds-regex")}, QStringLiteral("--imp-rds is a regular expression.")},
          {{QStringLiteral("mapped-rds")}, QStringLiteral("DMS point name, exactly."), QStringLiteral("text")},
          {{QStringLiteral("mapped-rds-regex")}, QStringLiteral("--mapped-rds is a regular expression.")},
          {{QStringLiteral("value")}, QStringLiteral("Value, exactly."), QStringLiteral("number")},
          {{QStringLiteral("unit")}, QStringLiteral("Unit, exactly."), QStringLiteral("text")},
          {{QStringLiteral("format")}, QStringLiteral("Import type (configuration or display name); repeatable; default all."), QStringLiteral("name")}}, makeSearch},
    };
}

QString usage()
{
    QString text = QStringLiteral("Usage: quillon-tool SUB-COMMAND [instance] -p PROJECT [options]\n"
                                  "Runs an offline tool with the naming settings of the instance's configuration file.\n\n"
                                  "Sub-commands:\n");
    for (const SubCommand &c : subCommands())
        text += QStringLiteral("  %1  %2\n").arg(c.name, -14).arg(c.description);
    return text + QStringLiteral("\n'quillon-tool SUB-COMMAND --help' describes the options of one sub-command.\n");
}

bool readImportTypes(const QStringList &names, QList<int> &types)
{
    if (names.isEmpty())
        return true;
    types.clear();
    for (const QString &name : names) {
        int found = -1;
        for (int t = 0; t < DataParser::ImportTypeCount && found < 0; ++t) {
            if (name.compare(DataParser::configName(t), Qt::CaseInsensitive) == 0
                || name.compare(DataParser::displayName(t), Qt::CaseInsensitive) == 0)
                found = t;
        }
        if (found < 0)
            return false;
        types.append(found);
    }
    return true;
}

int badArguments(const QString &text)
{
    std::fprintf(stderr, "quillon-tool: %s\n", text.toLocal8Bit().constData());
    return ExitBadArguments;
}

QString makeImport(const Options &o, const DmsConfig &naming, Job &job)
{
    ImportParams p;
    p.directWrite = o.isSet("direct-write");
    for (const QString &missing : {o.requireSources("import-path"), o.require({"temp-path"}),
                                   p.directWrite ? o.require({"backup-path"}) : QString()}) {
        if (!missing.isEmpty())
            return missing;
    }
    if (!o.readTime("from", p.from) || !o.readTime("to", p.to))
        return kTimeError;
    p.sources = o.value("import-path");
    p.tempPath = o.value("temp-path");
    p.destination = o.value("backup-path");
    job = jobOf(new ImportHandler(naming), p);
    return QString();
}

QString makeExportSqlite(const Options &o, const DmsConfig &naming, Job &job)
{
    for (const QString &missing : {o.requireSources("email-path"), o.require({"output"})}) {
        if (!missing.isEmpty())
            return missing;
    }
    job = jobOf(new ExportFileToSQLiteHandler(naming), ExportSqliteParams{o.value("email-path"), o.value("output")});
    return QString();
}

QString makeExportHdbx(const Options &o, const DmsConfig &, Job &job)
{
    ExportHdbxParams p;
    p.historyFolder = o.value("backup-path");
    if (const QString missing = o.require({"backup-path"}); !missing.isEmpty())
        return missing;
    const bool verifying = p.historyFolder.contains(u';') || o.isSet("verify-against");
    if (!verifying && o.value("input-db").isEmpty())
        return QStringLiteral("--input-db is required");
    if (o.isSet("verify-against"))
        p.historyFolder += u';' + o.value("verify-against");
    if (verifying && SourceList::folders(p.historyFolder).size() != 2)
        return QStringLiteral("verification compares two history folders, 'NEW;OLD' or --verify-against OLD");
    p.databaseFile = o.value("input-db");
    if (o.isSet("query"))
        p.query = o.value("query");
    job = jobOf(new ExportSQLiteToHdbxHandler, p);
    return QString();
}

QString makeSearch(const Options &o, const DmsConfig &naming, Job &job)
{
    for (const QString &missing : {o.requireSources("search-path"), o.require({"output"})}) {
        if (!missing.isEmpty())
            return missing;
    }
    SearchParams p;
    if (!o.readTime("from", p.from) || !o.readTime("to", p.to))
        return kTimeError;
    if (!readImportTypes(o.values("format"), p.importTypes))
        return QStringLiteral("unknown --format; use a configuration name such as MSCONS or SIMPLE_CSV_1");
    for (const char *name : {"imp-rds", "mapped-rds"}) {
        const QRegularExpression regex(o.value(name));
        if (o.isSet((QByteArray(name) + "-regex").constData()) && !regex.isValid())
            return QStringLiteral("--%1: %2").arg(QString::fromLatin1(name), regex.errorString());
    }
    p.sources = o.value("search-path");
    p.resultFile = o.value("output");
    p.fileFilter = o.value("file-filter");
    p.importFilter = o.value("imp-rds");
    p.importRegex = o.isSet("imp-rds-regex");
    p.mappedFilter = o.value("mapped-rds");
    p.mappedRegex = o.isSet("mapped-rds-regex");
    p.valueText = o.value("value");
    p.unitText = o.value("unit");
    job = jobOf(new SearchHandler(naming), p);
    return QString();
}

// Parses the options of the sub-command; ExitDone after the help text, -1 to go on, else the
// exit code of bad arguments.
int parseArguments(QCommandLineParser &parser, const SubCommand &sub, QStringList args)
{
    parser.setApplicationDescription(sub.description);
    parser.addHelpOption();
    parser.addOption({{QStringLiteral("p"), QStringLiteral("project-path")}, QStringLiteral("The project directory (required)."), QStringLiteral("path")});
    parser.addOption({{QStringLiteral("c"), QStringLiteral("config-path")}, QStringLiteral("Configuration directory, default PROJECT/cfg/."), QStringLiteral("path")});
    parser.addOption({{QStringLiteral("l"), QStringLiteral("log-path")}, QStringLiteral("Log directory, default PROJECT/log/."), QStringLiteral("path")});
    parser.addOptions(sub.options);
    parser.addPositionalArgument(QStringLiteral("instance"), QStringLiteral("Instance name, as given to quillon."), QStringLiteral("[instance]"));
    args.removeAt(1);
    if (!parser.parse(args))
        return badArguments(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        QString help = parser.helpText();
        help.replace(QCoreApplication::arguments().constFirst(), QStringLiteral("quillon-tool ") + sub.name);
        std::fputs(help.toLocal8Bit().constData(), stdout);
        return ExitDone;
    }
    if (parser.positionalArguments().size() > 1)
        return badArguments(QStringLiteral("more than one instance argument"));
    if (parser.value(QStringLiteral("p")).isEmpty())
        return badArguments(QStringLiteral("-p PROJECT is required"));
    return -1;
}

// The instance's naming settings, with a log of the tool's own beside the program's.
DmsConfig readInstance(const QCommandLineParser &parser)
{
    const QString project = parser.value(QStringLiteral("p"));
    const QString instance = parser.positionalArguments().value(0);
    const QString appName = instance.isEmpty() ? QStringLiteral("Quillon") : QStringLiteral("quillon_") + instance;
    const QString configDir = parser.isSet(QStringLiteral("c")) ? parser.value(QStringLiteral("c")) : project + QStringLiteral("/cfg/");
    const QString logDir = parser.isSet(QStringLiteral("l")) ? parser.value(QStringLiteral("l")) : project + QStringLiteral("/log/");
    QDir().mkpath(logDir);
    qputenv("ORVANE_CURRENT_LOG_LOCATION", QDir(logDir).absolutePath().toLocal8Bit() + '/');
    QCoreApplication::setApplicationName(instance.isEmpty() ? QStringLiteral("quillon-tool") : QStringLiteral("quillon-tool_") + instance);
    return ConfigFile::read(QDir(configDir).filePath(appName + QStringLiteral(".ini"))).dms;
}

// Runs the job to its end; the exit code.
int runJob(QCoreApplication &app, Job &job)
{
    Console console;
    QObject::connect(job.handler.get(), &ToolThread::sigInfo, &app, [&console](const QString &text) { console.progress(text); });
    const int listener = Kyr::Logger::instance().addListener([&console](quint8 level, const QString &line) {
        if (level <= Kyr::LogWarning)
            console.problem(line);
    });
    qint64 failed = 0;
    QObject::connect(job.handler.get(), &ToolThread::sigRunDone, &app, [&](qint64 n) {
        failed = n;
        app.quit();
    });
    job.handler->start();
    job.start();
    app.exec();
    job.handler->quit();
    job.handler->wait();
    job.handler.reset();
    Kyr::Logger::instance().removeListener(listener);
    return failed > 0 ? ExitFailedFiles : ExitDone;
}

} // namespace

int main(int argc, char *argv[])
{
    // What the tool creates (store, history and temporary files, exports) is its owner's only.
    ::umask(S_IRWXG | S_IRWXO);
    // As the program does: name the zone file once, so that local-time conversions of millions of
    // records do not look at the file system each time.
    if (qEnvironmentVariableIsEmpty("TZ") && QFileInfo::exists(QStringLiteral("/etc/localtime")))
        qputenv("TZ", ":/etc/localtime");
    QCoreApplication app(argc, argv);
    const QString command = app.arguments().value(1);
    if (command.isEmpty() || command == QLatin1String("--help") || command == QLatin1String("-h")) {
        std::fputs(usage().toLocal8Bit().constData(), command.isEmpty() ? stderr : stdout);
        return command.isEmpty() ? ExitBadArguments : ExitDone;
    }
    const QList<SubCommand> commands = subCommands();
    const auto sub = std::find_if(commands.begin(), commands.end(), [&](const SubCommand &c) { return c.name == command; });
    if (sub == commands.end())
        return badArguments(QStringLiteral("unknown sub-command '%1'\n%2").arg(command, usage()));

    QCommandLineParser parser;
    if (const int exitCode = parseArguments(parser, *sub, app.arguments()); exitCode >= 0)
        return exitCode;
    const DmsConfig naming = readInstance(parser);
    Job job;
    if (const QString error = sub->make(Options(parser), naming, job); !error.isEmpty())
        return badArguments(error);
    return runJob(app, job);
}
