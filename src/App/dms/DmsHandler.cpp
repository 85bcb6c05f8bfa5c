#include "dms/DmsHandler.h"

#include "dms/DmsLink.h"
#include "dms/DmsLocation.h"

#include "KyrIpc/Message.h"
#include "KyrLogger/Logger.h"

#include <QCoreApplication>
#include <QMetaMethod>
#include <QSemaphore>

#include <limits>

namespace {
const QString dmsUpPoint = QStringLiteral("System:Prog:DMS_UP");
const QString periodPoint = QStringLiteral("System:Prog:WatchDog:Period");
constexpr int periodTag = -65534;

// The last-update check runs every maxLastUpdate minutes.
int lastUpdateIntervalMs(int maxLastUpdate)
{
    return int(qMin<qint64>(qint64(maxLastUpdate) * 60000, std::numeric_limits<int>::max()));
}
} // namespace

QString DmsHandler::stateText(DmsState state)
{
    switch (state) {
    case Idle: return QStringLiteral("Idle");
    case Disabled: return QStringLiteral("Disabled");
    case Connecting: return QStringLiteral("Connecting");
    case ErrorRegistration: return QStringLiteral("ErrorRegistration");
    case Down: return QStringLiteral("Down");
    }
    return QStringLiteral("unknown");
}

DmsHandler::DmsHandler(const DmsConfig &config, const DmsTiming &timing)
    : m_config(config),
      m_timing(timing),
      m_applicationName(QCoreApplication::applicationName()),
      m_link(std::make_unique<DmsLink>(config.dmsConnection, config.pdbsConnection, m_applicationName)),
      m_statusPoints(m_applicationName),
      m_naming(config),
      m_valuePath(config, m_applicationName, m_supervision)
{
    qRegisterMetaType<DmsHandler::DmsState>("DmsHandler::DmsState");
    DataParser::registerMetaTypes();
    m_valuePath.setConnections(&m_link->sync(), &m_link->pdbs());
    m_valuePath.onInfo = [this](const QString &info) { emit sigDmsInfo(info); };
    m_valuePath.onFiftyValues = [this] {
        // The event loop cannot run the watchdog timer while a mail's values are processed.
        if (m_lastWatchdog.secsTo(QDateTime::currentDateTime()) > m_watchdogPeriod)
            onWatchdogTimer();
    };
    m_valuePath.onWritten = [this](const DataParser::ValueRec &rec, quint32 dbState) {
        static const QMetaMethod signal = QMetaMethod::fromSignal(&DmsHandler::sigValueToDb);
        if (isSignalConnected(signal))
            emit sigValueToDb(rec, dbState);
    };
    connect(this, &DmsHandler::sigIntValueFromMail, this, &DmsHandler::onIntValueFromMail, Qt::QueuedConnection);
    moveToThread(this);
    m_link->control().moveToThread(this);
    m_watchdogTimer.moveToThread(this);
    m_lastUpdateTimer.moveToThread(this);
    m_upWaitTimer.moveToThread(this);
    m_watchdogTimer.setSingleShot(true);
    m_lastUpdateTimer.setSingleShot(true);
    m_upWaitTimer.setSingleShot(true);
    connect(&m_upWaitTimer, &QTimer::timeout, this, &DmsHandler::onWaitDmsAsynchIsUp);
    connect(&m_lastUpdateTimer, &QTimer::timeout, this, &DmsHandler::onCheckLastUpdateTimer);
    connect(&m_link->control(), &DmsControl::dmsTimedOut, this, &DmsHandler::onDmsTimedOut, Qt::QueuedConnection);
    connect(&m_link->control(), &DmsControl::dmsSaysQuit, this, &DmsHandler::onDmsQuitReceived, Qt::QueuedConnection);
}

DmsHandler::~DmsHandler()
{
    m_watchdogTimer.stop();
    m_lastUpdateTimer.stop();
    m_link.reset();
    LOG_OUT(Kyr::LogInfo, "DMS handler finished").endl();
}

bool DmsHandler::isReady() const
{
    return m_ready && m_link->isConnected();
}

QString DmsHandler::dmsLocation() const
{
    std::call_once(m_locationOnce, [this] { m_location = DmsLocation::of(m_config.dmsConnection); });
    return m_location;
}

bool DmsHandler::isDmsLocal() const
{
    return dmsLocation() == DmsLocation::local();
}

void DmsHandler::run()
{
    LOG_OUT(Kyr::LogInfo, "DMS handler started").endl();
    connect(&m_link->async(), &DmsAccess::dmsConnected, this, &DmsHandler::onDmsAsynchConnected,
            Qt::ConnectionType(Qt::QueuedConnection | Qt::UniqueConnection));
    connect(&m_link->async(), &DmsAccess::dmsDisconnected, this, &DmsHandler::onDmsAsynchDisconnected,
            Qt::ConnectionType(Qt::QueuedConnection | Qt::UniqueConnection));
    if (qEnvironmentVariable("ServiceMode").isEmpty()) {
        m_link->openAsync(this);
        if (!m_link->connectSynch())
            LOG_OUT(Kyr::LogInfo, "Could not connect synch connection on startup").endl();
    }

    exec();

    m_watchdogTimer.stop();
    m_lastUpdateTimer.stop();
    m_upWaitTimer.stop();
    m_link->control().stopControl();
    if (m_ready) {
        LOG_OUT(Kyr::LogInfo, "DMS logout").endl();
        if (isDmsLocal()) {
            m_link->async().Unregister(periodPoint, periodTag, false);
            m_link->sync().SendDws(watchdogPointName(), -1, 10, false);
        }
        setProgramUp(false);
        msleep(m_timing.logoutDelayMs);
    }
}

// The link's own state is known here already; the broadcast's copy of it is not needed.
void DmsHandler::onAppStateChanged(bool paused, DmsHandler::DmsState, QString lastMailError, QString lastRepError)
{
    m_paused = paused;
    m_lastMailError = lastMailError;
    m_lastRepError = lastRepError;
    writeDriverStatusPoints();
}

void DmsHandler::addMailValue(DataParser::ValueRec rec)
{
    AksNaming::applyPrefix(rec, m_config.prefix);
    emit sigIntValueFromMail(rec);
    static const QMetaMethod fromMail = QMetaMethod::fromSignal(&DmsHandler::sigValueFromMail);
    if (isSignalConnected(fromMail))
        emit sigValueFromMail(rec);
}

bool DmsHandler::storesCommitted(const QString &errorText)
{
    // The stores' commit barriers: every value written so far is in their files. Both are asked
    // every time, so that each answers for the changes since its previous barrier only.
    QString dmsError;
    QString pdbsError;
    const bool dmsCommitted = m_link->sync().waitUntilCommitted(&dmsError);
    const bool pdbsCommitted = m_link->pdbs().waitUntilCommitted(&pdbsError);
    for (const QString &error : {dmsError, pdbsError}) {
        if (!error.isEmpty())
            LOG_OUT(Kyr::LogError, "%1").arg(errorText.arg(error)).endl();
    }
    return dmsCommitted && pdbsCommitted;
}

bool DmsHandler::waitForValuesCommitted(int timeoutMs)
{
    // Queued behind the values already posted, so it runs after the last of them.
    struct Barrier
    {
        QSemaphore reached;
        std::atomic<bool> allWritten{false};
    };
    auto barrier = std::make_shared<Barrier>();
    QMetaObject::invokeMethod(
        this,
        [this, barrier] {
            const bool committed = isReady() && storesCommitted(QStringLiteral("Values not committed: %1"));
            barrier->allWritten = committed && m_valuesDroppedSinceBarrier == 0;
            m_valuesDroppedSinceBarrier = 0;
            barrier->reached.release();
        },
        Qt::QueuedConnection);
    return barrier->reached.tryAcquire(1, timeoutMs) && barrier->allWritten;
}

void DmsHandler::onIntValueFromMail(DataParser::ValueRec rec)
{
    // The marker carries "ENDMAILCHECK" in its point name when it arrives (it gets no options);
    // a record whose mapped name ends so closes the mail as well.
    const bool markerOnArrival = AksNaming::isEndMailMarker(rec);
    if (!m_naming.nameRecord(rec, m_mappingCache))
        return;
    const bool endOfMail = markerOnArrival || AksNaming::isEndMailMarker(rec);
    if (!isReady()) {
        LOG_OUT(Kyr::LogWarning, "DMS not ready for value %1->%2").arg(rec.iaks).arg(rec.aks).endl();
        if (endOfMail)
            m_valuePath.discardMail();
        else
            ++m_valuesDroppedSinceBarrier;
        return;
    }
    if (!endOfMail) {
        m_valuePath.processValue(rec);
        return;
    }
    m_valuePath.endOfMail();
    // The check's last values (last entries, supervision) follow the barrier its mails waited
    // for: their result is taken now, so that the next check's barrier answers for that check only.
    if (markerOnArrival)
        storesCommitted(QStringLiteral("Values at the end of the mail check not committed: %1"));
}

void DmsHandler::onDmsAsynchConnected()
{
    LOG_OUT(Kyr::LogInfo, "Asynch DMS connected").endl();
    m_upWaitTimer.start(m_timing.asyncUpDelayMs);
}

void DmsHandler::onWaitDmsAsynchIsUp()
{
    if (m_ready)
        return;
    if (!m_link->connectSynch() || !m_link->connectPdbs()) {
        m_upWaitTimer.start(m_timing.connectRetryMs);
        return;
    }
    bool up = false;
    if (m_link->sync().ReadBit(dmsUpPoint, up) != 0 || !up) {
        LOG_OUT(Kyr::LogWarning, "DMS waiting for up").endl();
        m_upWaitTimer.start(m_timing.upRetryMs);
        return;
    }
    LOG_OUT(Kyr::LogInfo, "DMS is up").endl();
    m_link->async().SendPrgName(m_applicationName);
    setProgramUp(true);
    m_link->control().startControl(m_timing.controlSeconds);
    m_supervision.load(m_link->sync());
    if (m_config.maxLastUpdate > 0)
        m_lastUpdateTimer.start(lastUpdateIntervalMs(m_config.maxLastUpdate));
    becomeReady();
}

void DmsHandler::becomeReady()
{
    m_ready = true;
    LOG_OUT(Kyr::LogInfo, "DMS handler is ready").endl();
    if (isDmsLocal()) {
        m_link->async().Register(periodPoint, periodTag, false);
        m_link->sync().CreatePoint(watchdogPointName(), Orvane::DWS, 0, false, -1);
        m_watchdogValue = 1;
        m_link->sync().SendDws(watchdogPointName(), m_watchdogValue, 10, false);
        m_lastWatchdog = QDateTime::currentDateTime();
        connect(&m_watchdogTimer, &QTimer::timeout, this, &DmsHandler::onWatchdogTimer, Qt::UniqueConnection);
        m_watchdogTimer.start(m_watchdogPeriod * m_timing.watchdogSecondMs);
        writeDriverStatusPoints();
    }
    m_valuePath.resetValueCounter();
    emit sigDmsReady();
}

void DmsHandler::clearReady()
{
    m_ready = false;
    m_watchdogTimer.stop();
    disconnect(&m_watchdogTimer, &QTimer::timeout, this, &DmsHandler::onWatchdogTimer);
}

void DmsHandler::setProgramUp(bool up)
{
    const QString point = upPointName();
    if (up)
        m_link->sync().CreatePoint(point, Orvane::BIT, 0, false, -1);
    m_link->sync().SendBit(point, up, 10, false);
}

void DmsHandler::onWatchdogTimer()
{
    if (m_ready) {
        m_watchdogValue = m_watchdogValue == 1 ? 0 : 1;
        m_link->sync().SendDws(watchdogPointName(), m_watchdogValue, 10, false);
        m_watchdogTimer.start(m_watchdogPeriod * m_timing.watchdogSecondMs);
    }
    m_lastWatchdog = QDateTime::currentDateTime();
}

void DmsHandler::onCheckLastUpdateTimer()
{
    if (m_config.maxLastUpdate <= 0)
        return;
    if (m_supervision.checkLastUpdate(m_link->sync(), m_config.maxLastUpdate))
        writeDriverStatusPoints();
    m_lastUpdateTimer.start(lastUpdateIntervalMs(m_config.maxLastUpdate));
}

void DmsHandler::messageReceived(DmsAccess *, Orvane::Message *message)
{
    const std::unique_ptr<Orvane::Message> owned(message);
    const QString text = DmsAccess::msgToString(message);
    if (message->tag == periodTag) {
        if (message->answerCode != Orvane::Message::Positive)
            LOG_OUT(Kyr::LogWarning, "DMS Received negative answer for System:Prog:WatchDog:Period - %1").arg(text).endl();
        else if (message->value > 0) // a period of 0 or less would make the watchdog spin
            m_watchdogPeriod = message->value;
        return;
    }
    switch (message->answerCode) {
    case Orvane::Message::Positive:
        return;
    case Orvane::Message::PointDoesNotExist:
        if (message->subCode == Orvane::Message::FailedOnWrite)
            LOG_OUT(Kyr::LogWarning, "DMS Missing data point on write %1").arg(text).endl();
        else if (message->subCode == Orvane::Message::FailedOnRegister)
            LOG_OUT(Kyr::LogWarning, "DMS Missing data point on register %1").arg(text).endl();
        else
            LOG_OUT(Kyr::LogError, "DMS Point does not exist: %1").arg(text).endl();
        return;
    default:
        LOG_OUT(Kyr::LogError, "DMS Negative answer received: %1").arg(text).endl();
    }
}

void DmsHandler::writeDriverStatusPoints()
{
    if (!isDmsLocal() || !m_link->isSyncConnected())
        return;
    m_statusPoints.write(m_link->sync(), driverStatus());
}

DriverStatus DmsHandler::driverStatus() const
{
    DriverStatus status;
    status.paused = m_paused;
    status.lastMailError = m_lastMailError;
    status.lastReportError = m_lastRepError;
    status.stateErrors = m_supervision.stateErrorCount();
    status.updateErrors = m_supervision.updateErrorCount(m_config.maxLastUpdate);
    return status;
}

void DmsHandler::onDmsAsynchDisconnected()
{
    clearReady();
    LOG_OUT(Kyr::LogWarning, "Asynch DMS disconnected").endl();
    emit sigDmsDisconnected();
}

void DmsHandler::onDmsTimedOut()
{
    if (!m_ready)
        return;
    LOG_OUT(Kyr::LogCritical, "DMS timed out").endl();
    clearReady();
    m_link->disconnectAll();
    emit sigDmsDisconnected();
    msleep(m_timing.reconnectDelayMs);
    m_link->openAsync(this);
}

void DmsHandler::onDmsQuitReceived()
{
    emit sigDmsQuitReceived();
}

QString DmsHandler::upPointName() const
{
    if (isDmsLocal())
        return QStringLiteral("System:Prog:") + m_applicationName + QStringLiteral("_UP");
    return QStringLiteral("System:Prog:") + m_applicationName + u':' + DmsLocation::shortHostName() + QStringLiteral(":UP");
}

QString DmsHandler::watchdogPointName() const
{
    return QStringLiteral("System:Prog:WatchDog:") + m_applicationName;
}
