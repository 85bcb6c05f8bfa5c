#include "service/ConfigCheckCommand.h"

#include "config/ConfigFile.h"
#include "ui/ConfigChecks.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

namespace ConfigCheckCommand {

namespace {
void print(const QString &text)
{
    std::fputs(qPrintable(text + u'\n'), stdout);
}
} // namespace

bool requested(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--check-config")
            return true;
    }
    return false;
}

int run(int argc, char **argv, const QString &applicationName)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    // The start's options, so that a command line that starts the instance can also check it.
    const QCommandLineOption project({QStringLiteral("p"), QStringLiteral("project-path")}, {}, QStringLiteral("path"));
    const QCommandLineOption config({QStringLiteral("c"), QStringLiteral("config-path")}, {}, QStringLiteral("path"));
    parser.addOptions({project, config, QCommandLineOption(QStringLiteral("check-config")),
                       QCommandLineOption(QStringList{QStringLiteral("m"), QStringLiteral("multi-start")})});
    for (const char *valued : {"a", "application-path", "l", "log-path", "lang", "dms_connection", "pdbs_connection"})
        parser.addOption(QCommandLineOption(QString::fromLatin1(valued), {}, QStringLiteral("value")));
    if (!parser.parse(app.arguments()) && !parser.errorText().contains(QLatin1String("Unknown option"))) {
        print(parser.errorText());
        return 1;
    }
    QString projectPath = parser.value(project).replace(u'\\', u'/');
    if (projectPath.isEmpty()) {
        print(QStringLiteral("No project path given!"));
        return 1;
    }
    if (!projectPath.endsWith(u'/'))
        projectPath += u'/';
    QString configPath = parser.isSet(config) ? parser.value(config).replace(u'\\', u'/') : projectPath + QStringLiteral("cfg/");
    if (!configPath.endsWith(u'/'))
        configPath += u'/';
    const QString path = configPath + applicationName + QStringLiteral(".ini");
    if (!QFileInfo(path).isFile()) {
        print(QStringLiteral("Configuration file '%1' not found").arg(path));
        return 1;
    }
    const QString warning = ConfigFile::permissionWarning(path);
    if (!warning.isEmpty())
        print(QStringLiteral("Warning: ") + warning);
    const QList<ConfigProblem> problems = ConfigChecks::problems(ConfigFile::read(path, ConfigFile::Rows::All));
    for (const ConfigProblem &problem : problems)
        print(QStringLiteral("%1/%2: %3").arg(problem.group, problem.key, problem.text));
    print(problems.isEmpty() ? QStringLiteral("Configuration '%1': no problems found").arg(path)
                             : QStringLiteral("Configuration '%1': %2 problem(s)").arg(path).arg(problems.size()));
    return problems.isEmpty() ? 0 : 1;
}

} // namespace ConfigCheckCommand
