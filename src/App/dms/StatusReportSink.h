#pragma once
// Where the DMS handler reports created points and other problems for the status report. The
// base class drops everything; the status reporter overrides both calls (they are called from the
// DMS handler's thread, so an implementation locks its own collections).

#include <QString>

class StatusReportSink
{
public:
    virtual ~StatusReportSink() = default;
    virtual void addCreatedAks(const QString &aks) { Q_UNUSED(aks) }
    virtual void addMiscMessage(const QString &text) { Q_UNUSED(text) }
};
