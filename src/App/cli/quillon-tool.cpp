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

struct SubCommand
{
    QString name;
    QString description;
    QList<QCommandLineOption> options;
};

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
          from, to}},
        {QStringLiteral("export-sqlite"), QStringLiteral("Export saved mails and data files into an SQLite database; files already exported are skipped."),
         {{{QStringLiteral("email-path")}, QStringLiteral("Source folders, separated by ';'."), QStringLiteral("dirs")},
          {{QStringLiteral("output")}, QStringLiteral("The SQLite database file."), QStringLiteral("db")}}},
        {QStringLiteral("export-hdbx"), QStringLiteral("Export the SQLite database into monthly history files (UTC months), or verify two history trees."),
         {{{QStringLiteral("input-db")}, QStringLiteral("The SQLite database file."), QStringLiteral("db")},
          {{QStringLiteral("backup-path")}, QStringLiteral("History folder; 'NEW;OLD' compares two trees into NEW/VerifyHdbx.csv instead."), QStringLiteral("dir")},
          {{QStringLiteral("verify-against")}, QStringLiteral("Compare --backup-path with this older tree (same as 'NEW;OLD')."), QStringLiteral("dir")},
          {{QStringLiteral("query")}, QStringLiteral("Value query; %1 stands for the rds ids of one point."), QStringLiteral("sql")}}},
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
          {{QStringLiteral("format")}, QStringLiteral("Import type (configuration or display name); repeatable; default all."), QStringLiteral("name")}}},
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

// An ISO 8601 time; an empty text leaves that end open.
bool readTime(const QCommandLineParser &parser, const QString &name, QDateTime &time)
{
    if (!parser.isSet(name))
        return true;
    time = QDateTime::fromString(parser.value(name), Qt::ISODate);
    return time.isValid();
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

} // namespace

int main(int argc, char *argv[])
{
    // As the program does: name the zone file once, so that local-time conversions of millions of
    // records do not look at the file system each time.
    if (qEnvironmentVariableIsEmpty("TZ") && QFileInfo::exists(QStringLiteral("/etc/localtime")))
        qputenv("TZ", ":/etc/localtime");
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    const QString command = args.value(1);
    if (command.isEmpty() || command == QLatin1String("--help") || command == QLatin1String("-h")) {
        std::fputs(usage().toLocal8Bit().constData(), command.isEmpty() ? stderr : stdout);
        return command.isEmpty() ? ExitBadArguments : ExitDone;
    }
    const QList<SubCommand> commands = subCommands();
    const auto sub = std::find_if(commands.begin(), commands.end(), [&](const SubCommand &c) { return c.name == command; });
    if (sub == commands.end())
        return badArguments(QStringLiteral("unknown sub-command '%1'\n%2").arg(command, usage()));

    QCommandLineParser parser;
    parser.setApplicationDescription(sub->description);
    parser.addHelpOption();
    parser.addOption({{QStringLiteral("p"), QStringLiteral("project-path")}, QStringLiteral("The project directory (required)."), QStringLiteral("path")});
    parser.addOption({{QStringLiteral("c"), QStringLiteral("config-path")}, QStringLiteral("Configuration directory, default PROJECT/cfg/."), QStringLiteral("path")});
    parser.addOption({{QStringLiteral("l"), QStringLiteral("log-path")}, QStringLiteral("Log directory, default PROJECT/log/."), QStringLiteral("path")});
    parser.addOptions(sub->options);
    parser.addPositionalArgument(QStringLiteral("instance"), QStringLiteral("Instance name, as given to quillon."), QStringLiteral("[instance]"));
    args.removeAt(1);
    if (!parser.parse(args))
        return badArguments(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        QString help = parser.helpText();
        help.replace(QCoreApplication::arguments().constFirst(), QStringLiteral("quillon-tool ") + command);
        std::fputs(help.toLocal8Bit().constData(), stdout);
        return ExitDone;
    }
    if (parser.positionalArguments().size() > 1)
        return badArguments(QStringLiteral("more than one instance argument"));
    const QString project = parser.value(QStringLiteral("p"));
    if (project.isEmpty())
        return badArguments(QStringLiteral("-p PROJECT is required"));

    // The instance's configuration and a log of the tool's own beside the program's.
    const QString instance = parser.positionalArguments().value(0);
    const QString appName = instance.isEmpty() ? QStringLiteral("Quillon") : QStringLiteral("quillon_") + instance;
    const QString configDir = parser.isSet(QStringLiteral("c")) ? parser.value(QStringLiteral("c")) : project + QStringLiteral("/cfg/");
    const QString logDir = parser.isSet(QStringLiteral("l")) ? parser.value(QStringLiteral("l")) : project + QStringLiteral("/log/");
    QDir().mkpath(logDir);
    qputenv("ORVANE_CURRENT_LOG_LOCATION", QDir(logDir).absolutePath().toLocal8Bit() + '/');
    QCoreApplication::setApplicationName(instance.isEmpty() ? QStringLiteral("quillon-tool") : QStringLiteral("quillon-tool_") + instance);
    const DmsConfig naming = ConfigFile::read(QDir(configDir).filePath(appName + QStringLiteral(".ini"))).dms;

    auto value = [&](const char *name) { return parser.value(QString::fromLatin1(name)); };
    auto require = [&](std::initializer_list<const char *> names) -> QString {
        for (const char *name : names) {
            if (value(name).isEmpty())
                return QStringLiteral("--%1 is required").arg(QString::fromLatin1(name));
        }
        return QString();
    };

    Console console;
    std::unique_ptr<ToolThread> handler;
    std::function<void()> start;
    const auto connectInfo = [&](auto *tool, auto signal) {
        QObject::connect(tool, signal, &app, [&console](const QString &text) { console.progress(text); });
    };

    if (command == QLatin1String("import")) {
        QString missing = require({"import-path", "temp-path"});
        if (missing.isEmpty() && parser.isSet(QStringLiteral("direct-write")))
            missing = require({"backup-path"});
        if (!missing.isEmpty())
            return badArguments(missing);
        QDateTime from, to;
        if (!readTime(parser, QStringLiteral("from"), from) || !readTime(parser, QStringLiteral("to"), to))
            return badArguments(QStringLiteral("--from and --to take ISO 8601 times, e.g. 2024-03-31T00:00:00+01:00"));
        auto *tool = new ImportHandler(naming);
        connectInfo(tool, &ImportHandler::sigImportInfo);
        start = [=, &parser] {
            tool->startFileImport(from, to, value("import-path"), value("temp-path"),
                                  parser.isSet(QStringLiteral("direct-write")), value("backup-path"));
        };
        handler.reset(tool);
    } else if (command == QLatin1String("export-sqlite")) {
        if (const QString missing = require({"email-path", "output"}); !missing.isEmpty())
            return badArguments(missing);
        auto *tool = new ExportFileToSQLiteHandler(naming);
        connectInfo(tool, &ExportFileToSQLiteHandler::sigExportInfo);
        start = [=] { tool->startFileExport(value("email-path"), value("output")); };
        handler.reset(tool);
    } else if (command == QLatin1String("export-hdbx")) {
        QString folder = value("backup-path");
        if (const QString missing = require({"backup-path"}); !missing.isEmpty())
            return badArguments(missing);
        const bool verifying = folder.contains(u';') || parser.isSet(QStringLiteral("verify-against"));
        if (!verifying && value("input-db").isEmpty())
            return badArguments(QStringLiteral("--input-db is required"));
        if (parser.isSet(QStringLiteral("verify-against")))
            folder += u';' + value("verify-against");
        const QString query = parser.isSet(QStringLiteral("query")) ? value("query") : ExportSQLiteToHdbxHandler::defaultQuery();
        auto *tool = new ExportSQLiteToHdbxHandler;
        connectInfo(tool, &ExportSQLiteToHdbxHandler::sigExportInfo);
        start = [=] { tool->startFileExport(value("input-db"), folder, query); };
        handler.reset(tool);
    } else {
        if (const QString missing = require({"search-path", "output"}); !missing.isEmpty())
            return badArguments(missing);
        SearchParameters p;
        if (!readTime(parser, QStringLiteral("from"), p.from) || !readTime(parser, QStringLiteral("to"), p.to))
            return badArguments(QStringLiteral("--from and --to take ISO 8601 times, e.g. 2024-03-31T00:00:00+01:00"));
        if (!readImportTypes(parser.values(QStringLiteral("format")), p.importTypes))
            return badArguments(QStringLiteral("unknown --format; use a configuration name such as MSCONS or SIMPLE_CSV_1"));
        for (const char *name : {"imp-rds", "mapped-rds"}) {
            const QRegularExpression regex(value(name));
            if (parser.isSet(QString::fromLatin1(name) + QStringLiteral("-regex")) && !regex.isValid())
                return badArguments(QStringLiteral("--%1: %2").arg(QString::fromLatin1(name), regex.errorString()));
        }
        p.sources = value("search-path");
        p.resultFile = value("output");
        p.fileFilter = value("file-filter");
        p.importFilter = value("imp-rds");
        p.importRegex = parser.isSet(QStringLiteral("imp-rds-regex"));
        p.mappedFilter = value("mapped-rds");
        p.mappedRegex = parser.isSet(QStringLiteral("mapped-rds-regex"));
        p.valueText = value("value");
        p.unitText = value("unit");
        auto *tool = new SearchHandler(naming);
        connectInfo(tool, &SearchHandler::sigSearchInfo);
        start = [=] {
            tool->startFileSearch(p.from, p.to, p.sources, p.fileFilter, p.importFilter, p.importRegex, p.mappedFilter,
                                  p.mappedRegex, p.valueText, p.unitText, p.importTypes, p.resultFile);
        };
        handler.reset(tool);
    }

    const int listener = Kyr::Logger::instance().addListener([&console](quint8 level, const QString &line) {
        if (level <= Kyr::LogWarning)
            console.problem(line);
    });
    qint64 failed = 0;
    QObject::connect(handler.get(), &ToolThread::sigRunDone, &app, [&](qint64 n) {
        failed = n;
        app.quit();
    });
    handler->start();
    start();
    app.exec();
    handler->quit();
    handler->wait();
    handler.reset();
    Kyr::Logger::instance().removeListener(listener);
    return failed > 0 ? ExitFailedFiles : ExitDone;
}
