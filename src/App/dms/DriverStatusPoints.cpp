#include "dms/DriverStatusPoints.h"

#include "KyrIpc/DmsAccess.h"

#include <QDateTime>

namespace {
// Creates the point when it is missing or of another type; true when it had to be created.
bool ensurePoint(DmsAccess &dms, const QString &point, int type)
{
    if (dms.ReadType(point) == type)
        return false;
    dms.CreatePoint(point, type, 10, true, -1);
    return true;
}
} // namespace

DriverStatusPoints::DriverStatusPoints(const QString &applicationName)
    : m_applicationName(applicationName), m_folder(QStringLiteral("System:Driver:") + applicationName)
{
}

void DriverStatusPoints::write(DmsAccess &dms, const DriverStatus &status) const
{
    const QString paused = m_folder + u':' + m_applicationName + QStringLiteral("_Paused");
    ensurePoint(dms, paused, Orvane::BIT);
    dms.SendBit(paused, status.paused, 10, true);

    const QString mailError = m_folder + QStringLiteral(":MailError");
    ensurePoint(dms, mailError, Orvane::BIT);
    dms.SendBit(mailError, !status.lastMailError.isEmpty(), 10, true);

    const QString lastMailError = m_folder + QStringLiteral(":LastMailError");
    ensurePoint(dms, lastMailError, Orvane::STR);
    if (!status.lastMailError.isEmpty())
        dms.SendStr(lastMailError, status.lastMailError, 10, true);

    const QString reportError = m_folder + QStringLiteral(":ReportError");
    ensurePoint(dms, reportError, Orvane::BIT);
    dms.SendBit(reportError, !status.lastReportError.isEmpty(), 10, true);

    const QString lastReportError = m_folder + QStringLiteral(":LastReportError");
    ensurePoint(dms, lastReportError, Orvane::STR);
    if (!status.lastReportError.isEmpty())
        dms.SendStr(lastReportError, status.lastReportError, 10, true);

    const QString stateErrors = m_folder + QStringLiteral(":StateErrors");
    ensurePoint(dms, stateErrors, Orvane::DWS);
    dms.SendDws(stateErrors, status.stateErrors, 10, true);

    const QString updateErrors = m_folder + QStringLiteral(":UpdateErrors");
    ensurePoint(dms, updateErrors, Orvane::DWS);
    dms.SendDws(updateErrors, status.updateErrors, 10, true);

    // The value path writes ":LastMail" at the end of every mail; here it only gets a first value.
    const QString lastMail = m_folder + QStringLiteral(":LastMail");
    if (ensurePoint(dms, lastMail, Orvane::STR))
        dms.SendStr(lastMail, QDateTime::currentDateTime().toString(Qt::ISODate), 10, true);
}
