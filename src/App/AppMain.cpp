#include "AppMain.h"

#include "KyrLogger/Logger.h"

namespace {
bool serviceMode()
{
    return !qEnvironmentVariableIsEmpty("ServiceMode");
}
} // namespace

AppMain::AppMain(int &argc, char **argv, const QString &applicationName, const QString &description,
                 int buildNumber)
    : Kyr::OrvaneApp(argc, argv, applicationName, description, buildNumber)
{
}

AppMain::~AppMain()
{
    onStop();
}

void AppMain::onStart()
{
    m_paused = serviceMode();
    const QString path = ConfigFile::configFilePath();
    ConfigFile::ensureFile(path);
    readConfiguration();
}

void AppMain::onStop() {}

void AppMain::readConfiguration()
{
    const QString path = ConfigFile::configFilePath();
    m_config = ConfigFile::read(path);
    LOG_OUT(7, "Configuration read from '%1'").arg(path).endl();
    for (const QString &line : ConfigFile::describe(m_config))
        LOG_OUT(7, "  %1").arg(line).endl();
}
