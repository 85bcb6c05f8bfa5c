#include "KyrIpc/DmsControl.h"
#include "KyrIpc/DmsAccess.h"

#include <algorithm>

DmsControl::DmsControl(DmsAccess *access, QObject *parent) : QObject(parent), m_access(access), m_checkTimer(this)
{
    m_access->addControl(this);
    connect(&m_checkTimer, &QTimer::timeout, this, &DmsControl::check);
}

DmsControl::~DmsControl()
{
    m_access->removeControl(this);
}

void DmsControl::startControl(int timeoutSeconds)
{
    m_timeoutMs = qint64(std::max(timeoutSeconds, 0)) * 1000;
    m_sinceAnswer.start();
    // A check every second; four checks per time-out when that is shorter.
    m_checkTimer.start(int(std::clamp<qint64>(m_timeoutMs / 4, 10, 1000)));
}

void DmsControl::stopControl()
{
    m_checkTimer.stop();
}

void DmsControl::check()
{
    if (m_access->dmsAnswers()) {
        m_sinceAnswer.start();
        return;
    }
    if (m_sinceAnswer.elapsed() >= m_timeoutMs) {
        m_checkTimer.stop();
        emit dmsTimedOut();
    }
}
