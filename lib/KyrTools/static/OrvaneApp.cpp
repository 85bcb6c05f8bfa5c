#include "OrvaneApp.h"

#include "InstanceGuard.h"
#include "TerminationSignals.h"

#include "KyrLogger/Logger.h"
#include "KyrLogger/QtMsgHandler.h"

#include <QApplication>
#include <QFileInfo>
#include <QLocale>
#include <QSystemTrayIcon>
#include <QTranslator>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

namespace Kyr {

namespace {
constexpr int kFrameMajor = 2;
constexpr int kFrameMinor = 25;
constexpr int kFramePatch = 110;
const char kBuildStamp[] = "2025-04-23 07:57";
constexpr int kGuardTimeoutMs = 1000;

// What start-up publishes for the other components; logged at debug level after the banner.
const char *const kPublishedVariables[] = {
    "ORVANE_APPLICATION_PATH", "ORVANE_INSTALL_PATH", "ORVANE_CURRENT_PROJECT_LOCATION",
    "ORVANE_CURRENT_LOG_LOCATION", "ORVANE_CURRENT_CONFIG_LOCATION", "ORVANE_OPTION_DMS_CONNECTION",
    "ORVANE_OPTION_PDBS_CONNECTION", "ORVANE_OPTION_LANG", "ORVANE_APP_MULTI_START", "ServiceMode"};

std::atomic<bool> started{false};
std::atomic<bool> stopping{false};

void setEnv(const char *name, const QString &value)
{
    qputenv(name, value.toUtf8());
}

QString withTrailingSlash(QString path)
{
    path.replace(u'\\', u'/');
    if (!path.endsWith(u'/'))
        path += u'/';
    return path;
}

// A server has neither an X11 nor a Wayland display; unless the caller chose a platform, the
// program then runs on Qt's offscreen platform, so it can run as a service.
bool selectHeadlessPlatform()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return true;
    }
    return false;
}
// Without TZ the C library checks /etc/localtime again on every local-time conversion, which
// costs more than the conversion itself on a mail of many values. Naming the zone file once keeps
// local time as it is; a change of the machine's zone then takes effect at the next start.
void pinLocalTimeZone()
{
    if (qEnvironmentVariableIsEmpty("TZ") && QFileInfo::exists(QStringLiteral("/etc/localtime")))
        qputenv("TZ", ":/etc/localtime");
}
} // namespace

OrvaneApp::OrvaneApp(int &argc, char **argv, const QString &applicationName, const QString &description,
                     int buildNumber)
    : m_argc(argc), m_argv(argv), m_applicationName(applicationName)
{
    // Everything the program creates (log, store, archive, temporary files) is its owner's only:
    // files 0600, folders 0700. The mails it keeps are decrypted.
    ::umask(S_IRWXG | S_IRWXO);
    m_applicationVersion = QStringLiteral("%1.%2.%3.%4 [%5]")
                               .arg(kFrameMajor)
                               .arg(kFrameMinor)
                               .arg(kFramePatch)
                               .arg(buildNumber)
                               .arg(QLatin1String(kBuildStamp));
    QCoreApplication::setApplicationName(applicationName);
    QCoreApplication::setApplicationVersion(m_applicationVersion);
    QCoreApplication::setOrganizationName(QStringLiteral("KYR"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("orvane.invalid"));

    const QString applicationPath =
        withTrailingSlash(QFileInfo(QString::fromLocal8Bit(argc > 0 ? argv[0] : "")).absolutePath());
    setEnv("ORVANE_APPLICATION_PATH", applicationPath);
    // Preset from the application path; init() overwrites all three before anything reads them.
    setEnv("ORVANE_CURRENT_PROJECT_LOCATION", applicationPath);
    setEnv("ORVANE_CURRENT_LOG_LOCATION", applicationPath + QStringLiteral("log/"));
    setEnv("ORVANE_CURRENT_CONFIG_LOCATION", applicationPath + QStringLiteral("cfg/"));

    m_parser.setApplicationDescription(description);
    m_parser.addHelpOption();
    m_parser.addVersionOption();
    addOption({QStringLiteral("m"), QStringLiteral("multi-start")},
              QStringLiteral("Option to start application multiple times."), {},
              QStringLiteral("ORVANE_APP_MULTI_START"));
    addOption({QStringLiteral("p"), QStringLiteral("project-path")}, QStringLiteral("Current project path to use."),
              QStringLiteral("path"));
    addOption({QStringLiteral("a"), QStringLiteral("application-path")},
              QStringLiteral("Current application path to use."), QStringLiteral("path"), {}, applicationPath);
    addOption({QStringLiteral("l"), QStringLiteral("log-path")}, QStringLiteral("Current log path to use."),
              QStringLiteral("path"));
    addOption({QStringLiteral("c"), QStringLiteral("config-path")},
              QStringLiteral("Current configuration path to use."), QStringLiteral("path"));
    addOption({QStringLiteral("lang")}, QStringLiteral("Language to use for translations (e.g. 'de')."),
              QStringLiteral("lang"), QStringLiteral("ORVANE_OPTION_LANG"));
}

OrvaneApp::~OrvaneApp()
{
    qDeleteAll(m_translators);
    m_signals.reset();
    m_guard.reset();
    m_application.reset();
}

void OrvaneApp::addOption(const QStringList &names, const QString &description, const QString &valueName,
                          const QString &environmentVariable, const QString &defaultValue)
{
    QCommandLineOption option(names, description, valueName, defaultValue);
    m_parser.addOption(option);
    if (!names.isEmpty() && !environmentVariable.isEmpty())
        m_optionEnvironment.insert(names.last(), environmentVariable);
}

bool OrvaneApp::init()
{
    bool multiStart = false;
    for (int i = 1; i < m_argc; ++i) {
        const QByteArray arg(m_argv[i]);
        if (arg == "-m" || arg == "--multi-start")
            multiStart = true;
    }

    pinLocalTimeZone();
    m_headless = selectHeadlessPlatform();
    m_application = std::make_unique<QApplication>(m_argc, m_argv);
    if (!multiStart) {
        m_guard = std::make_unique<InstanceGuard>(m_applicationName, m_applicationVersion,
                                                  QFileInfo(QString::fromLocal8Bit(m_argv[0])).absoluteFilePath());
        switch (m_guard->acquire(kGuardTimeoutMs)) {
        case InstanceGuard::Result::Primary:
            break;
        case InstanceGuard::Result::SecondaryRunning:
            // The running instance goes on; this one ends quietly.
            m_guard.reset();
            m_application.reset();
            std::exit(0);
        case InstanceGuard::Result::Failed:
            qCritical("%s", qUtf8Printable(m_guard->errorDetail()));
            qCritical("SingleApplication: %d %s", m_guard->errorCode(), qUtf8Printable(m_guard->errorText()));
            m_guard.reset();
            m_application.reset();
            std::exit(1);
        }
    }
    m_application->setQuitOnLastWindowClosed(false);
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        qWarning("Couldn't detect any system tray on this system.");

    if (!m_parser.parse(m_application->arguments())) {
        m_unknownOptions = m_parser.unknownOptionNames();
        if (!m_parser.errorText().contains(QLatin1String("Unknown option")))
            m_parser.process(*m_application); // prints the error and ends with exit code 1
    }
    if (m_parser.isSet(QStringLiteral("version")) || m_parser.isSet(QStringLiteral("help"))
        || m_parser.isSet(QStringLiteral("help-all")))
        m_parser.process(*m_application); // prints and ends with exit code 0

    for (const QString &name : m_parser.optionNames()) {
        const auto variable = m_optionEnvironment.constFind(name);
        if (variable != m_optionEnvironment.cend())
            qputenv(variable->toUtf8().constData(), m_parser.value(name).toUtf8());
    }

    if (!publishDirectories())
        return false;

    qInstallMessageHandler(qtMessageHandler);

    if (m_parser.isSet(QStringLiteral("lang")))
        QLocale::setDefault(QLocale(m_parser.value(QStringLiteral("lang"))));
    installTranslations();

    m_signals = std::make_unique<TerminationSignals>();
    connect(m_application.get(), &QCoreApplication::aboutToQuit, this, &OrvaneApp::onStopInt);
    QMetaObject::invokeMethod(this, &OrvaneApp::onStartInt, Qt::QueuedConnection);
    return true;
}

bool OrvaneApp::publishDirectories()
{
    QString applicationPath = m_parser.value(QStringLiteral("application-path"));
    if (applicationPath.isEmpty()) {
        std::fputs("No application path given!\n", stdout);
        std::fflush(stdout);
        return false;
    }
    applicationPath = withTrailingSlash(applicationPath);
    // The install path is the application path without its last directory name.
    const qsizetype lastDirStart = applicationPath.lastIndexOf(u'/', applicationPath.size() - 2);
    setEnv("ORVANE_INSTALL_PATH", applicationPath.left(lastDirStart + 1));

    QString projectPath = m_parser.value(QStringLiteral("project-path"));
    projectPath.replace(u'\\', u'/');
    if (projectPath.isEmpty()) {
        std::fputs("No project path given!\n", stdout);
        std::fflush(stdout);
        return false;
    }
    projectPath = withTrailingSlash(projectPath);
    setEnv("ORVANE_CURRENT_PROJECT_LOCATION", projectPath);

    const QString logPath = m_parser.value(QStringLiteral("log-path"));
    setEnv("ORVANE_CURRENT_LOG_LOCATION",
           withTrailingSlash(logPath.isEmpty() ? projectPath + QStringLiteral("log/") : logPath));
    const QString configPath = m_parser.value(QStringLiteral("config-path"));
    setEnv("ORVANE_CURRENT_CONFIG_LOCATION",
           withTrailingSlash(configPath.isEmpty() ? projectPath + QStringLiteral("cfg/") : configPath));
    return true;
}

void OrvaneApp::installTranslations()
{
    // The language code is the default locale's name cut before its last "_" (de_CH gives de).
    const QString localeName = QLocale().name();
    const qsizetype cut = localeName.lastIndexOf(u'_');
    m_languageCode = cut < 0 ? QString() : localeName.left(cut);
    const QString &code = m_languageCode;
    const QString applicationPath = m_parser.value(QStringLiteral("application-path"))
                                        .replace(u'\\', u'/');
    const QString base = withTrailingSlash(applicationPath);
    for (const QString &file : {base + m_applicationName + u'_' + code, base + QStringLiteral("qt_") + code,
                                base + QStringLiteral("lib_") + code}) {
        auto *translator = new QTranslator;
        if (translator->load(file) && QCoreApplication::installTranslator(translator)) {
            m_translators.append(translator);
            m_translatorFiles.append(file);
        } else {
            delete translator;
        }
    }
}

bool OrvaneApp::isStarted()
{
    return started;
}

bool OrvaneApp::isStopping()
{
    return stopping;
}

void OrvaneApp::onStartDone() {}

void OrvaneApp::onStartInt()
{
    stopping = false;
    started = false;
    LOG_OUT(Kyr::LogInfo, QStringLiteral("=================== %1 - %2 start ===================")
                   .arg(m_applicationName, m_applicationVersion))
        .endl();
    for (const QString &name : std::as_const(m_unknownOptions))
        LOG_OUT(Kyr::LogWarning, "Unknown command line option '%1'").arg(name).endl();
    if (m_headless)
        LOG_OUT(Kyr::LogInfo, "No display found: running headless on the offscreen platform").endl();
    for (const char *name : kPublishedVariables) {
        if (qEnvironmentVariableIsSet(name))
            LOG_OUT(Kyr::LogDebug, "%1='%2'").arg(QString::fromLatin1(name)).arg(qEnvironmentVariable(name)).endl();
    }
    LOG_OUT(Kyr::LogDebug, "Language code '%1', translations loaded: %2")
        .arg(m_languageCode)
        .arg(m_translators.isEmpty() ? QStringLiteral("none") : m_translatorFiles.join(QStringLiteral(", ")))
        .endl();
    onStart();
    started = true;
    onStartDone();
}

void OrvaneApp::onStopInt()
{
    stopping = true;
    qInstallMessageHandler(nullptr);
    if (started) {
        started = false;
        onStop();
    } else {
        LOG_OUT(Kyr::LogWarning, "App was not yet started").endl();
    }
    LOG_OUT(Kyr::LogInfo, QStringLiteral("=================== %1 - %2 stopped ===================")
                   .arg(m_applicationName, m_applicationVersion))
        .endl();
}

void OrvaneApp::onRestart()
{
    stopping = true;
    started = false;
    onStop();
    stopping = false;
    onStart();
    started = true;
    onStartDone();
}

} // namespace Kyr
