#include "dms/SupervisionTable.h"

#include <QMutexLocker>

void SupervisionTable::clear()
{
    QMutexLocker lock(&m_mutex);
    m_records.clear();
}

void SupervisionTable::insert(const QString &aks, const SupervisionRecord &rec)
{
    QMutexLocker lock(&m_mutex);
    m_records.insert(aks, rec);
}

bool SupervisionTable::find(const QString &aks, SupervisionRecord &rec) const
{
    QMutexLocker lock(&m_mutex);
    auto it = m_records.constFind(aks);
    if (it == m_records.constEnd())
        return false;
    rec = *it;
    return true;
}

bool SupervisionTable::contains(const QString &aks) const
{
    QMutexLocker lock(&m_mutex);
    return m_records.contains(aks);
}

int SupervisionTable::size() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_records.size());
}

QList<SupervisionTable::Expired> SupervisionTable::expire(qint64 now, qint64 maxAgeSeconds)
{
    QList<Expired> expired;
    QMutexLocker lock(&m_mutex);
    for (auto it = m_records.begin(); it != m_records.end(); ++it) {
        if (it->lastUpdate > 0 && it->lastUpdate + maxAgeSeconds < now) {
            expired.append({it.key(), it->lastUpdate});
            it->lastUpdate = -it->lastUpdate;
        }
    }
    return expired;
}

void SupervisionTable::setLastUpdate(const QString &aks, qint64 lastUpdate)
{
    QMutexLocker lock(&m_mutex);
    m_records[aks].lastUpdate = lastUpdate;
}

int SupervisionTable::expiredCount() const
{
    QMutexLocker lock(&m_mutex);
    int count = 0;
    for (const SupervisionRecord &r : m_records)
        count += r.lastUpdate < 0 ? 1 : 0;
    return count;
}

QStringList SupervisionTable::expiredPointLines() const
{
    QStringList lines;
    {
        QMutexLocker lock(&m_mutex);
        for (auto it = m_records.constBegin(); it != m_records.constEnd(); ++it) {
            if (it->lastUpdate < 0)
                lines.append(QStringLiteral("Last update: ")
                             + QDateTime::fromSecsSinceEpoch(-it->lastUpdate).toString(Qt::ISODate)
                             + QStringLiteral(" - ") + it.key());
        }
    }
    lines.sort(Qt::CaseSensitive);
    return lines;
}
