#pragma once
// What the status report reads of the running instance besides its own collections: the DMS
// handler's state and report lines, and the mail intake's IMAP state. The reporter is given one
// when it is created; it calls it from its own thread while the handlers may be replaced on the
// main thread, so an implementation answers safely from any thread.

#include <QStringList>

#include <optional>

class ReportSources
{
public:
    struct DmsPart
    {
        bool ready = false;
        QStringList stateErrorLines;
        QStringList expiredPointLines;
    };

    virtual ~ReportSources() = default;
    // None while no DMS handler runs.
    virtual std::optional<DmsPart> dms() const = 0;
    // Whether the IMAP state is good; none while no mail intake runs.
    virtual std::optional<bool> imapStateOk() const = 0;
};
