// links: quillon_control quillon_app
// quillon-ctl: steers a running Quillon instance through its control channel. The instance is
// chosen as quillon chooses it, "[instance] -p PROJECT", under the same application-name rule.
// Exit codes: 0 done, 1 bad arguments, 2 refused by the instance, 3 no running instance of that
// name and project (or no answer from it).

#include "AppName.h"
#include "service/ControlChannel.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLocalSocket>

#include <cstdio>

namespace {

enum ExitCode { Done = 0, BadArguments = 1, Refused = 2, NoInstance = 3 };

const QStringList commands = {QStringLiteral("status"), QStringLiteral("pause"), QStringLiteral("resume"),
                              QStringLiteral("check"), QStringLiteral("report"), QStringLiteral("reload")};

int fail(ExitCode code, const QString &text)
{
    std::fputs(qPrintable(text + u'\n'), stderr);
    return code;
}

// The whole answer, up to the channel's size limit; empty when none came in time.
QByteArray exchange(QLocalSocket &socket, const QByteArray &request)
{
    socket.write(request);
    QByteArray answer;
    QDeadlineTimer deadline(ControlChannel::AnswerTimeoutMs);
    while (answer.size() <= ControlChannel::MaxAnswerBytes && !deadline.hasExpired()) {
        if (socket.bytesAvailable() == 0 && socket.state() != QLocalSocket::ConnectedState)
            break;
        socket.waitForReadyRead(int(qMin<qint64>(deadline.remainingTime(), 1000)));
        answer += socket.read(ControlChannel::MaxAnswerBytes + 1 - answer.size());
    }
    return answer;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Steers a running Quillon instance. Commands: ")
                                     + commands.join(QStringLiteral(", ")));
    parser.addHelpOption();
    const QCommandLineOption project({QStringLiteral("p"), QStringLiteral("project-path")},
                                     QStringLiteral("Project path the instance was started with."), QStringLiteral("path"));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("status as JSON, for scripts."));
    parser.addOptions({project, json});
    parser.addPositionalArgument(QStringLiteral("instance"), QStringLiteral("Instance name, as given to quillon."),
                                 QStringLiteral("[instance]"));
    parser.addPositionalArgument(QStringLiteral("command"), commands.join(u'|'));
    if (!parser.parse(app.arguments()))
        return fail(BadArguments, parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(Done);

    const QStringList positional = parser.positionalArguments();
    const QString command = positional.value(positional.size() - 1);
    if (positional.isEmpty() || positional.size() > 2 || !commands.contains(command))
        return fail(BadArguments, QStringLiteral("Give one command of: ") + commands.join(QStringLiteral(", ")));
    if (!parser.isSet(project))
        return fail(BadArguments, QStringLiteral("No project path given!"));
    if (parser.isSet(json) && command != QLatin1String("status"))
        return fail(BadArguments, QStringLiteral("--json goes with status only"));

    // The name quillon takes for the same instance argument.
    const QByteArray instance = positional.size() == 2 ? positional.first().toLocal8Bit() : QByteArray();
    const char *const nameArgs[] = {"quillon", instance.constData()};
    const QString name = applicationNameFromArguments(instance.isEmpty() ? 1 : 2, nameArgs);
    const QString projectPath = parser.value(project);

    QLocalSocket socket;
    socket.connectToServer(ControlChannel::socketName(name, projectPath));
    if (!socket.waitForConnected(2000))
        return fail(NoInstance, QStringLiteral("No running instance '%1' for project '%2'")
                                    .arg(name, ControlChannel::projectKey(projectPath)));
    const QByteArray answer =
        exchange(socket, (command + (parser.isSet(json) ? QStringLiteral(" json") : QString()) + u'\n').toUtf8());
    const qsizetype lineEnd = answer.indexOf('\n');
    if (lineEnd < 0)
        return fail(NoInstance, QStringLiteral("Instance '%1' gave no answer within %2 s")
                                    .arg(name)
                                    .arg(ControlChannel::AnswerTimeoutMs / 1000));
    const QByteArray text = answer.mid(lineEnd + 1);
    if (answer.left(lineEnd) != "OK")
        return fail(Refused, QString::fromUtf8(text).trimmed());
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    return Done;
}
