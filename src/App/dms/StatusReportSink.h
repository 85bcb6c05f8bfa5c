#pragma once
// Where the DMS handler and the mail intake report problems for the status report. The base class
// drops everything; the status reporter overrides the calls. They are called from the handlers'
// threads, so an implementation locks its own collections.

#include <QString>

class StatusReportSink
{
public:
    virtual ~StatusReportSink() = default;
    virtual void addCreatedAks(const QString &aks) { Q_UNUSED(aks) }
    virtual void addMiscMessage(const QString &text) { Q_UNUSED(text) }
    // One failed mail: its text, and an attachment (name suffix and content) when one goes along.
    virtual void addMailEntry(const QString &text, const QString &attachmentSuffix, const QString &attachmentContent)
    {
        Q_UNUSED(text) Q_UNUSED(attachmentSuffix) Q_UNUSED(attachmentContent)
    }
};
