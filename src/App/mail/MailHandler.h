#pragma once
// The mail intake thread. On its timer it logs in to the IMAP mailbox, handles the waiting mails
// oldest first (S/MIME steps, attachments, values to the DMS handler), files each mail into the
// success or failed folder on the server and optionally as a local .eml file, deletes it from the
// inbox once its values are committed, and tells the DMS handler that the check has ended.
//
// The handler lives in its own thread (it moves itself there). The controller sets the DMS
// handler, its view of the DMS state, the status report sink and the paused flag from its own
// thread; the check reads them when it runs.

#include "config/Settings.h"
#include "dms/DmsHandler.h"

#include <QDateTime>
#include <QThread>

#include <atomic>
#include <mutex>

class KeptMail;
class MailBatchFetch;
class QTimer;
class SIMAP;
class TrustedSigners;
struct MailOutcome;
class StatusReportSink;
struct SIMAPConnectionStatusEventParams;
struct SIMAPErrorEventParams;
struct SIMAPMessageInfo;

class MailHandler : public QThread
{
    Q_OBJECT
public:
    explicit MailHandler(const MailConfig &config);
    ~MailHandler() override;

    void setPaused(bool paused) { m_paused = paused; }
    void setDmsHandler(DmsHandler *dms) { m_dms = dms; }
    void setDmsState(DmsHandler::DmsState state) { m_dmsState = state; }
    // Receiver of failed mails for the status report; null drops them. Callable while the handler
    // runs: once it returns, the former receiver is no longer called.
    void setStatusReportSink(StatusReportSink *sink)
    {
        std::lock_guard lock(m_reportSinkMutex);
        m_reportSink = sink;
    }
    // Runs a check now unless one is running.
    void forceMailCheck();
    // The last check could log in to the mailbox (true before the first check).
    bool imapStateOk() const { return m_connectionFailures == 0; }

signals:
    void sigLastErrorChanged(QString lastError);
    void sigNextCheckDt(QDateTime dt);
    void sigMailInfo(QString info);
    void sigMailChecked(QString info, QString data, QString result);

public slots:
    void onCheckTimer();
    void onForceMailCheck();
    void OnConnectionStatus(SIMAPConnectionStatusEventParams *params);
    void OnError(SIMAPErrorEventParams *params);

protected:
    void run() override;

private:
    struct CheckResult;
    struct CheckTimes;
    struct HandledMail;
    struct Filing;

    void armTimer(qint64 seconds);
    bool listensToMailChecked() const;
    CheckResult runCheck();
    void runSession(SIMAP &imap, CheckResult &check, QString &summary, CheckTimes &times);
    // Creates the enabled target folders that the server does not list; run at every check, so a
    // folder deleted meanwhile is there again before mails are filed into it.
    void ensureFolders(SIMAP &imap);
    // The mails of a check: each fetched, checked and sorted for filing; then, once their values
    // are committed, kept locally, filed on the server and, once they have left the inbox,
    // counted and reported.
    void handleMails(SIMAP &imap, const QList<qint64> &ordered, const QList<SIMAPMessageInfo> &list, CheckResult &check,
                     QString &summary, CheckTimes &times);
    void logDisconnection();
    // Makes the mail at this position of the check's order the current message: its information,
    // headers and (unless larger than the mail bound) its text, fetched in batches; false when it
    // was too large.
    bool fetchMail(SIMAP &imap, MailBatchFetch &batches, qsizetype position, CheckTimes &times);
    // The S/MIME steps and the attachment walk of the fetched mail, and its summary to the monitor.
    HandledMail checkMail(SIMAP &imap, int position, qint64 number, bool fetched, const TrustedSigners &signers,
                          CheckTimes &times);
    void runSteps(SIMAP &imap, const TrustedSigners &signers, MailOutcome &outcome, CheckTimes &times);
    // Chooses the mail's folder on the server and keeps what is to be kept of it.
    void planFiling(SIMAP &imap, HandledMail mail, Filing &filing);
    void keepMail(SIMAP &imap, HandledMail &mail, const QString &localFolder);
    // The point stores' commit barrier over the values of the check; a failure is reported.
    bool valuesCommitted(CheckTimes &times);
    // Moves (or copies and expunges) each mail to its folder and marks the mails that left the
    // inbox; returns the errors.
    QStringList fileOnServer(SIMAP &imap, Filing &filing);
    // The decrypted copy on the server, appended before the mail is filed (a stop in between can
    // leave a second copy there on the next take, never none).
    void appendDecrypted(SIMAP &imap, const KeptMail &kept);
    // Each mail's local copy put in place, before the mail leaves the inbox.
    void keepLocally(Filing &filing);
    // Counts and reports the mails that left the inbox; the others make the check fail.
    void reportFiled(const Filing &filing, const QStringList &errors, CheckResult &check, QString &summary);
    void reportFailure(const QString &text);

    const MailConfig m_config;
    QTimer *m_timer = nullptr; // lives in the handler's thread while it runs
    std::atomic<bool> m_paused{false};
    std::atomic<DmsHandler *> m_dms{nullptr};
    std::atomic<DmsHandler::DmsState> m_dmsState{DmsHandler::Down};
    std::mutex m_reportSinkMutex;
    StatusReportSink *m_reportSink = nullptr; // under m_reportSinkMutex
    bool m_configErrorReported = false;
    std::atomic<int> m_connectionFailures{0};
};
