#pragma once
// The status reporter: a thread that collects problems from the mail intake and the DMS handler
// and, on its check timer, composes a plain-text status report. The report is mailed to the
// enabled recipients when its body changed since the last report (not at the first check after
// start) or when data points were created. A failed delivery puts the collected entries back, so
// the next report carries them again.
//
// The reporter moves itself into its own thread, so its slots run there. The add* calls come
// from other threads and lock the reporter's mutex.

#include "config/Settings.h"
#include "dms/StatusReportSink.h"
#include "report/ReportSources.h"

#include "Smtp/SmtpClient.h"

#include <QMutex>
#include <QStringList>
#include <QThread>
#include <QTimer>

// The reporter's waiting times; tests shorten them.
struct ReportTiming
{
    int firstCheckMs = 12000; // from start to the first check
    int minuteMs = 60000;     // one minute of CheckInterval and of the retry periods
};

class MailSender : public QThread, public StatusReportSink
{
    Q_OBJECT
public:
    // sources: what the report reads of the running instance (the DMS handler, the IMAP state);
    // null for none. It must outlive the reporter.
    MailSender(const ReportConfig &config, const ReportSources *sources, const ReportTiming &timing = ReportTiming());
    ~MailSender() override;

    void addMailEntry(const QString &text, const QString &attachmentSuffix, const QString &attachmentContent) override;
    void addMiscMessage(const QString &text) override;
    void addCreatedAks(const QString &aks) override;

    // Asks the reporter's thread to build a report now (see onForceReport).
    void forceReport();

    // The last report composed, for display; "no report created" before the first.
    QString lastReportText() const;
    QString lastError() const;

signals:
    void sigLastErrorChanged(QString lastError);

public slots:
    void onCheckTimer();
    void onForceReport();
    void onSmtpError(SmtpClient::SmtpError e);

protected:
    void run() override;

private:
    struct MailEntry
    {
        QString text;
        QString attachmentSuffix;
        QString attachmentContent;
    };
    struct Attachment
    {
        QString name;
        QString content;
    };
    // What one report took out of the collections, to be put back when its delivery fails.
    struct Taken
    {
        QList<MailEntry> mailEntries;
        QStringList miscMessages;
        QStringList createdAks;
    };

    bool configurationMissing() const;
    bool collecting() const;
    int buildAndDeliver();
    QString linkLines(const std::optional<ReportSources::DmsPart> &dms, bool &problem) const;
    static QString mailHandlingSection(const QList<MailEntry> &entries, QList<Attachment> &attachments);
    int deliver(const QString &subject, const QString &text, const QList<Attachment> &attachments);
    void putBack(const Taken &taken);
    void setLastError(const QString &text, bool emitAlways = false);

    const ReportConfig m_config;
    const ReportSources *const m_sources;
    const ReportTiming m_timing;
    const QString m_applicationName;

    mutable QMutex m_mutex; // guards the collections, the missing-configuration flag and the texts
    QList<MailEntry> m_mailEntries;
    QStringList m_miscMessages;
    QStringList m_createdAks;
    bool m_missingConfiguration = false;
    QString m_lastReportText;
    QString m_lastError;

    QString m_previousBody;
    bool m_firstCheck = true;
    int m_connectFailures = 0;
    QTimer m_checkTimer;
};
