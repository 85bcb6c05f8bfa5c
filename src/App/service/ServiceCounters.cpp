#include "service/ServiceCounters.h"

ServiceCounters &ServiceCounters::instance()
{
    static ServiceCounters counters;
    return counters;
}

void ServiceCounters::checkDone(qint64 durationMs, const QString &result)
{
    const qint64 endMs = QDateTime::currentMSecsSinceEpoch();
    lastCheckDurationMs = durationMs;
    lastCheckEndMs = endMs;
    ++mailChecks;
    QMutexLocker lock(&m_resultMutex);
    m_lastResult = result;
    m_lastResultMs = endMs;
}

void ServiceCounters::checkSkipped(const QString &result)
{
    QMutexLocker lock(&m_resultMutex);
    m_lastResult = result;
    m_lastResultMs = QDateTime::currentMSecsSinceEpoch();
}

QString ServiceCounters::lastResult() const
{
    QMutexLocker lock(&m_resultMutex);
    return m_lastResult;
}

QDateTime ServiceCounters::lastResultTime() const
{
    QMutexLocker lock(&m_resultMutex);
    return m_lastResultMs > 0 ? QDateTime::fromMSecsSinceEpoch(m_lastResultMs) : QDateTime();
}
