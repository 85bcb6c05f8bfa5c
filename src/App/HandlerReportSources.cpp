#include "HandlerReportSources.h"

#include "dms/DmsHandler.h"
#include "mail/MailHandler.h"

void HandlerReportSources::setDmsHandler(DmsHandler *handler)
{
    QMutexLocker lock(&m_mutex);
    m_dms = handler;
}

void HandlerReportSources::setMailHandler(MailHandler *handler)
{
    QMutexLocker lock(&m_mutex);
    m_mail = handler;
}

std::optional<ReportSources::DmsPart> HandlerReportSources::dms() const
{
    QMutexLocker lock(&m_mutex);
    if (!m_dms)
        return std::nullopt;
    return DmsPart{m_dms->isReady(), m_dms->stateErrorLines(), m_dms->expiredPointLines()};
}

std::optional<bool> HandlerReportSources::imapStateOk() const
{
    QMutexLocker lock(&m_mutex);
    return m_mail ? std::optional<bool>(m_mail->imapStateOk()) : std::nullopt;
}
