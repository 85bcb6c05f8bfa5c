#pragma once
// The status report's view of the controller's handlers. The controller sets the handlers here as
// it starts and stops them (main thread); the reporter reads through it (its own thread). One mutex
// covers both, so a handler is never read while it is being replaced or deleted.

#include "report/ReportSources.h"

#include <QMutex>

class DmsHandler;
class MailHandler;

class HandlerReportSources : public ReportSources
{
public:
    void setDmsHandler(DmsHandler *handler);
    void setMailHandler(MailHandler *handler);

    std::optional<DmsPart> dms() const override;
    std::optional<bool> imapStateOk() const override;

private:
    mutable QMutex m_mutex;
    DmsHandler *m_dms = nullptr;
    MailHandler *m_mail = nullptr;
};
