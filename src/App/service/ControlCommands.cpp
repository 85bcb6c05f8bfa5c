#include "service/ControlCommands.h"

#include "AppMain.h"
#include "KyrLogger/Logger.h"
#include "report/MailSender.h"
#include "service/InstanceStatus.h"

#include <QJsonDocument>

namespace {
constexpr int MaxEchoedChars = 40;

bool serviceMode()
{
    return !qEnvironmentVariableIsEmpty("ServiceMode");
}

// A request as an answer may quote it: printable, short.
QString echo(const QString &request)
{
    QString shown;
    for (const QChar c : request.left(MaxEchoedChars))
        shown += c.isPrint() ? c : QChar(u'?');
    return request.size() > MaxEchoedChars ? shown + QStringLiteral("...") : shown;
}
} // namespace

ControlCommands::ControlCommands(AppMain *app, const InstanceStatus *status, std::function<void()> reload)
    : m_app(app), m_status(status), m_reload(std::move(reload))
{
}

ControlCommands::Answer ControlCommands::run(const QString &request) const
{
    const QStringList words = request.split(u' ', Qt::SkipEmptyParts);
    const QString command = words.value(0);
    const bool noMailIntake = serviceMode() || !m_app->mailHandler();
    if (command == QLatin1String("status") && words.size() <= 2) {
        if (words.size() == 1)
            return {true, m_status->text()};
        if (words.at(1) == QLatin1String("json"))
            return {true, QString::fromUtf8(QJsonDocument(m_status->json()).toJson(QJsonDocument::Indented))};
    } else if (words.size() == 1) {
        LOG_OUT(Kyr::LogInfo, "Control command '%1'").arg(echo(command)).endl();
        if (command == QLatin1String("pause") || command == QLatin1String("resume")) {
            if (noMailIntake)
                return {false, QStringLiteral("This instance has no mail intake to pause or resume")};
            command == QLatin1String("pause") ? m_app->pause() : m_app->resume();
            return {true, command == QLatin1String("pause") ? QStringLiteral("Mail intake paused")
                                                            : QStringLiteral("Mail intake resumed")};
        }
        if (command == QLatin1String("check")) {
            if (noMailIntake)
                return {false, QStringLiteral("This instance has no mail intake")};
            m_app->mailHandler()->forceMailCheck();
            return {true, QStringLiteral("Mail check requested")};
        }
        if (command == QLatin1String("report")) {
            if (!m_app->mailSender())
                return {false, QStringLiteral("This instance sends no reports")};
            m_app->mailSender()->forceReport();
            return {true, QStringLiteral("Status report requested")};
        }
        if (command == QLatin1String("reload")) {
            m_reload();
            return {true, QStringLiteral("Reload of the configuration requested")};
        }
    }
    return {false, QStringLiteral("Unknown request '%1' (status [json], pause, resume, check, report, reload)")
                       .arg(echo(request))};
}
