#include "AppMain.h"

#include "KyrLogger/Logger.h"
#include "parsing/DataParser.h"
#include "report/MailSender.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFileSystemWatcher>

namespace {
bool serviceMode()
{
    return !qEnvironmentVariableIsEmpty("ServiceMode");
}

constexpr auto kQueuedUnique = Qt::ConnectionType(Qt::QueuedConnection | Qt::UniqueConnection);
} // namespace

AppMain::AppMain(int &argc, char **argv, const QString &applicationName, const QString &description,
                 int buildNumber)
    : Kyr::OrvaneApp(argc, argv, applicationName, description, buildNumber)
{
    // The program's own options, after the frame's.
    addOption({QStringLiteral("dms_connection")},
              QStringLiteral("Connection string for DMS (e.g. '127.0.0.1:9010' or 'ORVANE-DMS')."),
              QStringLiteral("connection"), QStringLiteral("ORVANE_OPTION_DMS_CONNECTION"));
    addOption({QStringLiteral("pdbs_connection")},
              QStringLiteral("Connection string for PDBS (e.g. '127.0.0.1:9011' or 'PDBS')."),
              QStringLiteral("connection"), QStringLiteral("ORVANE_OPTION_PDBS_CONNECTION"));
    // The types that travel through queued connections between the handlers' threads.
    qRegisterMetaType<DmsHandler::DmsState>("DmsHandler::DmsState");
    DataParser::registerMetaTypes();
    m_reloadGuard.setParent(this);
    m_reloadGuard.setObjectName(QStringLiteral("reloadGuard"));
    m_reloadGuard.setSingleShot(true);
    m_reloadGuard.setInterval(80);
    connect(&m_reloadGuard, &QTimer::timeout, this, &AppMain::onReloadGuardEnded);
}

AppMain::~AppMain()
{
    stopHandlers();
    stopConfigWatch();
}

void AppMain::emitState()
{
    if (m_mailHandler)
        m_mailHandler->setDmsState(m_dmsState);
    emit sigStateChanged(m_paused, m_dmsState, m_lastMailError, m_lastRepError);
}

void AppMain::pause()
{
    LOG_OUT(Kyr::LogInfo, "%1 paused").arg(applicationName()).endl();
    m_paused = true;
    if (m_mailHandler)
        m_mailHandler->setPaused(true);
    emitState();
}

void AppMain::resume()
{
    LOG_OUT(Kyr::LogInfo, "%1 resumed").arg(applicationName()).endl();
    m_paused = false;
    if (m_mailHandler)
        m_mailHandler->setPaused(false);
    emitState();
}

void AppMain::onStart()
{
    m_paused = serviceMode();
    m_dmsState = serviceMode() ? DmsHandler::Disabled : DmsHandler::Down;
    const QString path = ConfigFile::configFilePath();
    ConfigFile::ensureFile(path);
    readConfiguration();
    if (!m_watcher) {
        m_watcher = new QFileSystemWatcher;
        connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &AppMain::onConfigFileChanged, Qt::QueuedConnection);
    }
    watchConfigFile(path);
    startHandlers();
    emitState();
}

void AppMain::onConfigFileChanged(QString path)
{
    if (!m_watcher) // a notification queued before the watch stopped
        return;
    watchConfigFile(path);
    if (m_reloadGuard.isActive()) {
        // Read when the guard ends: the file may have changed again after the reload read it.
        LOG_OUT(Kyr::LogNotice, "onConfigFileChanged received twice").endl();
        m_changedInGuard = true;
        return;
    }
    reload();
}

void AppMain::onReloadGuardEnded()
{
    if (!m_watcher)
        return;
    watchConfigFile(ConfigFile::configFilePath());
    if (std::exchange(m_changedInGuard, false))
        reload(); // the last change always wins
}

void AppMain::reload()
{
    LOG_OUT(Kyr::LogInfo, "Configuration has changed").endl();
    stopHandlers();
    readConfiguration();
    startHandlers();
    m_reloadGuard.start();
}

void AppMain::watchConfigFile(const QString &path)
{
    // A writer that replaces the file (write beside, rename over the old) ends the watch on the
    // old file; watch the new one, so that the next change reloads too.
    if (m_watcher && !m_watcher->files().contains(path) && QFileInfo::exists(path))
        m_watcher->addPath(path);
}

void AppMain::stopConfigWatch()
{
    delete m_watcher;
    m_watcher = nullptr;
}

void AppMain::onStop()
{
    emit sigStopping();
    stopHandlers();
}

void AppMain::readConfiguration()
{
    const QString path = ConfigFile::configFilePath();
    m_config = ConfigFile::read(path);
    const QString warning = ConfigFile::permissionWarning(path);
    if (!warning.isEmpty())
        LOG_OUT(Kyr::LogWarning, "%1").arg(warning).endl();
    LOG_OUT(Kyr::LogDebug, "Configuration read from '%1'").arg(path).endl();
    for (const QString &line : ConfigFile::describe(m_config))
        LOG_OUT(Kyr::LogDebug, "  %1").arg(line).endl();
}

void AppMain::startHandlers()
{
    startMailSender();
    startMailHandler();
    startToolHandlers();
    startDmsHandler();
    emit sigHandlersStarted();
}

// Handlers stop one by one: the reporter first, the DMS handler last, so the others can still
// hand it values.
void AppMain::stopHandlers()
{
    stopMailSender();
    stopMailHandler();
    stopToolHandlers();
    stopDmsHandler();
}

// No report mails from the support instance.
void AppMain::startMailSender()
{
    if (serviceMode() || m_mailSender)
        return;
    m_mailSender = new MailSender(m_config.report, &m_reportSources);
    connect(m_mailSender, &MailSender::sigLastErrorChanged, this, &AppMain::onMailSenderLastErrorChanged, kQueuedUnique);
    m_mailSender->start();
}

void AppMain::stopMailSender()
{
    if (!m_mailSender)
        return;
    // The mail and DMS handlers outlive the reporter: they stop reporting to it first.
    if (m_mailHandler)
        m_mailHandler->setStatusReportSink(nullptr);
    if (m_dmsHandler)
        m_dmsHandler->setStatusReportSink(nullptr);
    m_mailSender->quit();
    m_mailSender->wait();
    delete m_mailSender;
    m_mailSender = nullptr;
}

// The tool handlers name records with the settings read now; a change of the configuration file
// replaces them with the other handlers.
void AppMain::startToolHandlers()
{
    if (!serviceMode()) {
        m_importHandler = new ImportHandler(m_config.dms);
        m_importHandler->start();
    }
    m_searchHandler = new SearchHandler(m_config.dms);
    m_searchHandler->start();
    m_exportFileToSQLiteHandler = new ExportFileToSQLiteHandler(m_config.dms);
    m_exportFileToSQLiteHandler->start(QThread::HighPriority);
    m_exportSQLiteToHdbxHandler = new ExportSQLiteToHdbxHandler;
    m_exportSQLiteToHdbxHandler->start(QThread::HighPriority);
}

void AppMain::stopToolHandlers()
{
    const auto stop = [](auto *&handler) {
        if (!handler)
            return;
        handler->quit();
        handler->wait();
        delete handler;
        handler = nullptr;
    };
    stop(m_importHandler);
    stop(m_searchHandler);
    stop(m_exportFileToSQLiteHandler);
    stop(m_exportSQLiteToHdbxHandler);
}

void AppMain::startDmsHandler()
{
    // Checked on every start, so a command-line override survives reloads.
    const QString dmsOverride = qEnvironmentVariable("ORVANE_OPTION_DMS_CONNECTION");
    if (!dmsOverride.isEmpty())
        m_config.dms.dmsConnection = dmsOverride;
    const QString pdbsOverride = qEnvironmentVariable("ORVANE_OPTION_PDBS_CONNECTION");
    if (!pdbsOverride.isEmpty())
        m_config.dms.pdbsConnection = pdbsOverride;
    if (m_dmsHandler) {
        m_dmsHandler->setStatusReportSink(m_mailSender);
        return;
    }

    LOG_OUT(Kyr::LogInfo, "Starting DMS on DMS:'%1', PDBS:'%2'")
        .arg(m_config.dms.dmsConnection)
        .arg(m_config.dms.pdbsConnection)
        .endl();
    m_dmsHandler = new DmsHandler(m_config.dms);
    m_dmsHandler->setStatusReportSink(m_mailSender);
    connect(m_dmsHandler, &DmsHandler::sigDmsReady, this, &AppMain::onDmsReady, kQueuedUnique);
    connect(m_dmsHandler, &DmsHandler::sigDmsDisconnected, this, &AppMain::onDmsDisconnected, kQueuedUnique);
    connect(m_dmsHandler, &DmsHandler::sigDmsQuitReceived, this, &AppMain::onDmsQuitReceived, kQueuedUnique);
    connect(this, &AppMain::sigStateChanged, m_dmsHandler, &DmsHandler::onAppStateChanged, kQueuedUnique);
    if (m_mailHandler)
        m_mailHandler->setDmsHandler(m_dmsHandler);
    m_reportSources.setDmsHandler(m_dmsHandler);
    m_dmsHandler->start();
}

void AppMain::stopDmsHandler()
{
    if (!m_dmsHandler)
        return;
    LOG_OUT(Kyr::LogInfo, "Stopping DMS handler").endl();
    disconnect(m_dmsHandler, nullptr, this, nullptr);
    disconnect(this, nullptr, m_dmsHandler, nullptr);
    if (m_mailHandler)
        m_mailHandler->setDmsHandler(nullptr);
    m_reportSources.setDmsHandler(nullptr);
    m_dmsHandler->quit();
    m_dmsHandler->wait();
    delete m_dmsHandler;
    m_dmsHandler = nullptr;
}

// The mail intake: not in the support instance. It reaches the DMS handler (created after it) and
// the DMS state through its setters.
void AppMain::startMailHandler()
{
    if (serviceMode() || m_mailHandler)
        return;
    m_mailHandler = new MailHandler(m_config.mail);
    m_mailHandler->setDmsHandler(m_dmsHandler);
    m_mailHandler->setDmsState(m_dmsState);
    m_mailHandler->setStatusReportSink(m_mailSender);
    connect(m_mailHandler, &MailHandler::sigLastErrorChanged, this, &AppMain::onMailHandlerLastErrorChanged, kQueuedUnique);
    connect(m_mailHandler, &MailHandler::sigNextCheckDt, this, &AppMain::sigNextMailCheckDt, kQueuedUnique);
    m_reportSources.setMailHandler(m_mailHandler);
    m_mailHandler->start();
    m_mailHandler->setPaused(m_paused);
}

void AppMain::stopMailHandler()
{
    if (!m_mailHandler)
        return;
    m_reportSources.setMailHandler(nullptr);
    m_mailHandler->quit();
    m_mailHandler->wait();
    delete m_mailHandler;
    m_mailHandler = nullptr;
}

void AppMain::onMailHandlerLastErrorChanged(QString lastError)
{
    m_lastMailError = lastError;
    emitState();
}

void AppMain::onDmsReady()
{
    m_dmsState = DmsHandler::Idle;
    emitState();
}

void AppMain::onDmsDisconnected()
{
    m_dmsState = DmsHandler::Down;
    emitState();
}

void AppMain::onDmsQuitReceived()
{
    if (!m_dmsHandler)
        return;
    if (m_dmsHandler->isDmsLocal()) {
        LOG_OUT(Kyr::LogInfo, "Quit received by local DMS -> Terminating").endl();
        // A save of the configuration file while the program ends must not start handlers again.
        stopConfigWatch();
        m_reloadGuard.stop();
        m_changedInGuard = false;
        stopHandlers();
        disconnect(this, nullptr, nullptr, nullptr);
        QCoreApplication::quit();
        return;
    }
    LOG_OUT(Kyr::LogInfo, "Quit received from foreign DMS %1").arg(m_config.dms.dmsConnection).endl();
    m_dmsState = DmsHandler::Down;
    emitState();
}

void AppMain::onMailSenderLastErrorChanged(QString lastError)
{
    m_lastRepError = lastError;
    emitState();
}
