#include "KyrIpc/PointStore.h"
#include "KyrIpc/DmsAccess.h"
#include "KyrIpc/PdbsAccess.h"
#include "KyrIpc/PostgresStore.h"
#include "KyrIpc/PostgresUri.h"

#include "KyrLogger/Logger.h"

#include <QDateTime>
#include <QMutex>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace Orvane {

namespace {

QMutex registryMutex;

QHash<QString, std::shared_ptr<PointStore>> &registry()
{
    static QHash<QString, std::shared_ptr<PointStore>> stores;
    return stores;
}

QVariant zeroValue(int type)
{
    switch (type) {
    case BIT: return QVariant(false);
    case FLT: return QVariant(0.0);
    case STR: return QVariant(QString());
    default: return QVariant(qint64(0));
    }
}

const QString dmsUpPoint = QStringLiteral("System:Prog:DMS_UP");
const QString periodPoint = QStringLiteral("System:Prog:WatchDog:Period");

} // namespace

std::shared_ptr<PointStore> PointStore::forConnection(const QString &connection)
{
    QMutexLocker lock(&registryMutex);
    std::shared_ptr<PointStore> &store = registry()[connection];
    // A store whose file could not be opened is tried again once nobody holds it any more.
    if (!store || (!store->m_openError.isEmpty() && store.use_count() == 1))
        store.reset(new PointStore(connection));
    return store;
}

void PointStore::restartAll()
{
    QHash<QString, std::shared_ptr<PointStore>> stores;
    {
        QMutexLocker lock(&registryMutex);
        stores.swap(registry());
    }
    for (const std::shared_ptr<PointStore> &store : std::as_const(stores)) {
        store->dropLink();
        store->waitUntilCommitted();
    }
}

bool PointStore::waitUntilCommitted(QString *error)
{
    if (!m_openError.isEmpty()) {
        if (error)
            *error = m_openError;
        return false;
    }
    if (m_file)
        return m_file->waitUntilCommitted(error);
    if (error)
        error->clear();
    return true;
}

PointStore::PointStore(const QString &connection) : m_connection(connection), m_rowConnection(connection)
{
    if (PostgresUri::isPostgresUri(connection)) {
        openServer();
        return;
    }
    const QString project = qEnvironmentVariable("ORVANE_CURRENT_PROJECT_LOCATION");
    if (!project.isEmpty())
        openFile(project);
    startAsRunningDms();
}

void PointStore::openFile(const QString &project)
{
    m_filePath = StoreFile::pathForProject(project);
    auto file = std::make_unique<StoreFile>(m_filePath);
    if (file->isOpen()) {
        for (const StoreFile::PointRow &row : file->points(m_connection))
            m_points.insert(row.name, Point{row.type, row.value, row.stampMs});
        m_file = std::make_unique<StoreWriter>(std::move(file));
    } else {
        m_openError = QStringLiteral("Point store file %1 cannot be opened: %2").arg(m_filePath, file->errorText());
        LOG_OUT(Kyr::LogError, m_openError).endl();
    }
}

void PointStore::openServer()
{
    m_rowConnection = PostgresUri::withoutPassword(m_connection);
    auto server = std::make_unique<PostgresStore>(m_connection);
    if (!server->uriError().isEmpty()) {
        m_openError = QStringLiteral("PostgreSQL connection %1 cannot be used: %2")
                          .arg(PostgresUri::masked(m_connection), server->uriError());
        LOG_OUT(Kyr::LogError, m_openError).endl();
        return;
    }
    m_linkUp = false; // until the writer has connected
    m_file = std::make_unique<StoreWriter>(std::move(server), [this](bool up) { onServerLink(up); });
}

void PointStore::onServerLink(bool up)
{
    QMutexLocker lock(&m_mutex);
    if (!up) {
        dropLink();
        return;
    }
    // Other instances may have written meanwhile; what this one wrote is on the server already.
    for (const StoreFile::PointRow &row : m_file->points(m_rowConnection))
        m_points.insert(row.name, Point{row.type, row.value, row.stampMs});
    if (!std::exchange(m_serverLoaded, true))
        startAsRunningDms();
    restoreLink();
}

void PointStore::startAsRunningDms()
{
    setPoint(dmsUpPoint, BIT, true);
    if (readType(periodPoint) != DWS)
        setPoint(periodPoint, DWS, 20);
}

PointStore::~PointStore()
{
    m_file.reset(); // the writer's thread ends before the members it may call on go
}

QString PointStore::filePath() const
{
    return m_file ? m_filePath : QString();
}

int PointStore::attach(DmsAccess *access)
{
    QMutexLocker lock(&m_mutex);
    if (!m_openError.isEmpty())
        return StoreUnavailable;
    if (!m_dmsAccesses.contains(access))
        m_dmsAccesses.append(access);
    if (m_linkUp)
        access->setLinked(true);
    return m_linkUp ? 0 : NotConnected;
}

void PointStore::detach(DmsAccess *access)
{
    QMutexLocker lock(&m_mutex);
    m_dmsAccesses.removeAll(access);
    for (auto it = m_registrations.begin(); it != m_registrations.end();)
        it = it->access == access ? m_registrations.erase(it) : std::next(it);
}

int PointStore::attach(PdbsAccess *access)
{
    QMutexLocker lock(&m_mutex);
    if (!m_openError.isEmpty())
        return StoreUnavailable;
    if (!m_pdbsAccesses.contains(access))
        m_pdbsAccesses.append(access);
    access->setLinked(m_linkUp);
    return m_linkUp ? 0 : NotConnected;
}

void PointStore::detach(PdbsAccess *access)
{
    QMutexLocker lock(&m_mutex);
    m_pdbsAccesses.removeAll(access);
}

bool PointStore::isLinkUp() const
{
    QMutexLocker lock(&m_mutex);
    return m_linkUp;
}

bool PointStore::isAnswering() const
{
    QMutexLocker lock(&m_mutex);
    return m_answering;
}

int PointStore::readType(const QString &name) const
{
    QMutexLocker lock(&m_mutex);
    const auto it = m_points.constFind(name);
    return it == m_points.cend() ? 0 : it->type;
}

int PointStore::createPoint(const QString &name, int type)
{
    QMutexLocker lock(&m_mutex);
    const auto it = m_points.constFind(name);
    if (it == m_points.cend() || it->type != type)
        store(name, Point{type, zeroValue(type), QDateTime::currentMSecsSinceEpoch()});
    return Message::Positive;
}

int PointStore::write(const QString &name, int type, const QVariant &value, qint64 stampMs)
{
    QMutexLocker lock(&m_mutex);
    const auto it = m_points.constFind(name);
    if (it == m_points.cend())
        return Message::PointDoesNotExist;
    if (it->type != type)
        return Message::TypeMismatch;
    if (m_failingWrites.contains(name))
        return Message::Refused;
    if (type == FLT && !std::isfinite(value.toDouble()))
        return Message::InvalidValue;
    const Point point{type, value, stampMs};
    store(name, point);
    notifyRegistrations(name, point);
    return Message::Positive;
}

int PointStore::read(const QString &name, int type, QVariant &value, qint64 &stampMs) const
{
    QMutexLocker lock(&m_mutex);
    const auto it = m_points.constFind(name);
    if (it == m_points.cend())
        return Message::PointDoesNotExist;
    if (it->type != type)
        return Message::TypeMismatch;
    value = it->value;
    stampMs = it->stampMs;
    return Message::Positive;
}

QStringList PointStore::enumNames(const QString &nameFilter, const QString &levelFilter) const
{
    const QRegularExpression pattern(
        QRegularExpression::wildcardToRegularExpression(nameFilter));
    QMutexLocker lock(&m_mutex);
    QStringList names;
    for (auto it = m_points.cbegin(); it != m_points.cend(); ++it) {
        const QString &name = it.key();
        if (!nameFilter.isEmpty() && !pattern.match(name).hasMatch())
            continue;
        if (!levelFilter.isEmpty() && name.mid(name.lastIndexOf(u':') + 1) != levelFilter)
            continue;
        names.append(name);
    }
    names.sort();
    return names;
}

void PointStore::registerPoint(DmsAccess *access, const QString &name, int tag)
{
    QMutexLocker lock(&m_mutex);
    auto *answer = new Message;
    answer->setPointName(name);
    answer->tag = tag;
    const auto it = m_points.constFind(name);
    if (it == m_points.cend()) {
        answer->answerCode = Message::PointDoesNotExist;
        answer->subCode = Message::FailedOnRegister;
    } else {
        answer->value = it->value.toInt();
        m_registrations.insert(name, Registration{access, tag});
    }
    access->deliver(answer);
}

void PointStore::unregisterPoint(DmsAccess *access, const QString &name, int tag)
{
    QMutexLocker lock(&m_mutex);
    for (auto it = m_registrations.find(name); it != m_registrations.end() && it.key() == name;)
        it = it->access == access && it->tag == tag ? m_registrations.erase(it) : std::next(it);
}

int PointStore::appendTrend(qint64 timeMs, double value, quint32 state, const QString &point)
{
    QMutexLocker lock(&m_mutex);
    if (m_failingWrites.contains(point))
        return Message::Refused;
    if (!std::isfinite(value))
        return Message::InvalidValue;
    if (m_file)
        m_file->appendTrend(StoreFile::TrendRow{m_rowConnection, timeMs, value, state, point});
    else
        keepInMemory(StoreFile::TrendRow{m_rowConnection, timeMs, value, state, point});
    return Message::Positive;
}

void PointStore::keepInMemory(const StoreFile::TrendRow &row)
{
    // One row per point and time, as in the file: the newest value replaces the one before.
    const auto key = std::make_pair(row.point, row.timeMs);
    const auto it = m_memoryTrendIndex.constFind(key);
    if (it != m_memoryTrendIndex.cend()) {
        m_memoryTrend[*it] = row;
        return;
    }
    m_memoryTrendIndex.insert(key, m_memoryTrend.size());
    m_memoryTrend.append(row);
}

std::optional<PointStore::Point> PointStore::point(const QString &name) const
{
    QMutexLocker lock(&m_mutex);
    const auto it = m_points.constFind(name);
    return it == m_points.cend() ? std::nullopt : std::optional<Point>(*it);
}

quint64 PointStore::failedTransactions() const
{
    return m_file ? m_file->failedTransactions() : 0;
}

int PointStore::registrationCount(const QString &name) const
{
    QMutexLocker lock(&m_mutex);
    return int(m_registrations.count(name));
}

QList<StoreFile::TrendRow> PointStore::trendRows(const QString &point) const
{
    QMutexLocker lock(&m_mutex);
    if (m_file)
        return m_file->trendRows(point, m_rowConnection);
    QList<StoreFile::TrendRow> rows;
    std::copy_if(m_memoryTrend.cbegin(), m_memoryTrend.cend(), std::back_inserter(rows),
                 [&point](const StoreFile::TrendRow &row) { return row.point == point; });
    return rows;
}

void PointStore::setPoint(const QString &name, int type, const QVariant &value)
{
    QMutexLocker lock(&m_mutex);
    createPoint(name, type);
    const Point point{type, value, QDateTime::currentMSecsSinceEpoch()};
    store(name, point);
    notifyRegistrations(name, point);
}

void PointStore::dropLink()
{
    QMutexLocker lock(&m_mutex);
    m_linkUp = false;
    m_registrations.clear();
    for (PdbsAccess *access : std::as_const(m_pdbsAccesses))
        access->setLinked(false);
    for (DmsAccess *access : std::as_const(m_dmsAccesses))
        access->setLinked(false);
}

void PointStore::restoreLink()
{
    QMutexLocker lock(&m_mutex);
    m_linkUp = true;
    for (DmsAccess *access : std::as_const(m_dmsAccesses)) {
        if (access->wantsLink())
            access->setLinked(true);
    }
}

void PointStore::setAnswering(bool answering)
{
    QMutexLocker lock(&m_mutex);
    m_answering = answering;
}

void PointStore::sendQuit()
{
    QMutexLocker lock(&m_mutex);
    for (DmsAccess *access : std::as_const(m_dmsAccesses))
        access->sendQuitToControls();
}

void PointStore::setDmsUp(bool up)
{
    setPoint(dmsUpPoint, BIT, up);
}

void PointStore::setFailingWrites(const QStringList &points)
{
    QMutexLocker lock(&m_mutex);
    m_failingWrites = QSet<QString>(points.cbegin(), points.cend());
}

void PointStore::setFailingCommits(bool failing)
{
    QMutexLocker lock(&m_mutex);
    if (m_file)
        m_file->setFailingCommits(failing);
}

void PointStore::sendMessage(const Message &message)
{
    QMutexLocker lock(&m_mutex);
    for (DmsAccess *access : std::as_const(m_dmsAccesses)) {
        if (access->wantsLink() && access->getConnectionState() == 0)
            access->deliver(new Message(message));
    }
}

void PointStore::store(const QString &name, const Point &point)
{
    m_points.insert(name, point);
    if (m_file)
        m_file->savePoint(StoreFile::PointRow{m_rowConnection, name, point.type, point.value, point.stampMs});
}

void PointStore::notifyRegistrations(const QString &name, const Point &point)
{
    for (auto it = m_registrations.constFind(name); it != m_registrations.cend() && it.key() == name; ++it) {
        auto *message = new Message;
        message->setPointName(name);
        message->tag = it->tag;
        message->value = point.value.toInt();
        it->access->deliver(message);
    }
}

} // namespace Orvane
