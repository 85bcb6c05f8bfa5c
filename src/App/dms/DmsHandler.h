#pragma once
// The program's link to the process database (DMS) and the trend archive (PDBS): a thread with its
// own event loop that brings the link up, keeps it alive (UP point, watchdog), takes it down, and
// publishes the driver's status points. Mail values arrive through addMailValue, are named
// (AksNaming) and written (ValuePath) in the handler's thread; the written points are supervised
// (PointSupervision) for expired last updates and state errors.
//
// The handler lives in its own thread (it moves itself there), so its slots run there whatever
// thread emits the signals they are connected to. The controller that creates it keeps it and
// deletes it after quit() and wait(); the handler holds no Qt parent.

#include "config/Settings.h"
#include "dms/DmsTiming.h"
#include "dms/DriverStatusPoints.h"
#include "dms/PointSupervision.h"
#include "dms/ValuePath.h"
#include "naming/AksNaming.h"
#include "parsing/DataParser.h"

#include "KyrIpc/DmsAccess.h"

#include <QDateTime>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <memory>
#include <mutex>

class DmsLink;

class DmsHandler : public QThread, private DmsAccess::MessageHandler
{
    Q_OBJECT
public:
    enum DmsState : qint32 { Idle = 0, Disabled = 1, Connecting = 2, ErrorRegistration = 3, Down = 5 };
    Q_ENUM(DmsState)
    // "Idle", "Disabled", "Connecting", "ErrorRegistration", "Down"; "unknown" for any other value.
    static QString stateText(DmsState state);

    explicit DmsHandler(const DmsConfig &config, const DmsTiming &timing = DmsTiming());
    ~DmsHandler() override;

    // The link is up and initialised and all three connections report connected.
    bool isReady() const;
    // Values of a mail are being processed.
    bool isBusy() const { return m_valuePath.valueCounter() > 0; }
    // "local", or the short local host name when the DMS runs elsewhere; computed on first use.
    QString dmsLocation() const;
    bool isDmsLocal() const;
    // The watchdog period in seconds, as last sent by the DMS.
    int watchdogPeriod() const { return m_watchdogPeriod; }

    // Entry of a mail's values (from the mail intake's thread): applies the prefix and hands the
    // record on into the handler's thread. The end-of-mail marker (point name ending with
    // "ENDMAILCHECK") closes the mail.
    void addMailValue(DataParser::ValueRec rec);
    // Barrier for the mail intake (called from its thread): returns true once every value handed
    // over through addMailValue before this call has been processed in the handler's thread and
    // the point stores have it in their files. False when that did not happen within timeoutMs,
    // or when the link is down or values were dropped for a link that was down since the previous
    // call: then not every value reached the DMS.
    bool waitForValuesCommitted(int timeoutMs);
    // Receiver of created points and problems for the status report; null for none. Callable
    // while the handler runs: once it returns, the former receiver is no longer called.
    void setStatusReportSink(StatusReportSink *sink) { m_valuePath.setStatusReportSink(sink); }

    // Lines of the status report (sorted), callable from the reporter's thread.
    QStringList expiredPointLines() const { return m_supervision.expiredPointLines(m_config.maxLastUpdate); }
    QStringList stateErrorLines() const { return m_supervision.stateErrorLines(); }

signals:
    void sigDmsReady();
    void sigDmsDisconnected();
    void sigDmsQuitReceived();
    void sigDmsInfo(QString info);
    void sigValueFromMail(DataParser::ValueRec valRec);
    void sigValueToDb(DataParser::ValueRec valRec, quint32 dbState);
    void sigIntValueFromMail(DataParser::ValueRec valRec);

public slots:
    void onAppStateChanged(bool paused, DmsHandler::DmsState dmsState, QString lastMailError, QString lastRepError);
    void onIntValueFromMail(DataParser::ValueRec rec);
    void onWaitDmsAsynchIsUp();
    void onDmsAsynchConnected();
    void onDmsAsynchDisconnected();
    void onWatchdogTimer();
    void onCheckLastUpdateTimer();
    void onDmsTimedOut();
    void onDmsQuitReceived();

protected:
    void run() override;

private:
    void messageReceived(DmsAccess *access, Orvane::Message *message) override;

    void becomeReady();
    void clearReady();
    void setProgramUp(bool up);
    // Asks both stores' commit barriers; logs each failure through errorText ("%1" the reason).
    bool storesCommitted(const QString &errorText);
    void writeDriverStatusPoints();
    DriverStatus driverStatus() const;
    QString upPointName() const;
    QString watchdogPointName() const;

    const DmsConfig m_config;
    const DmsTiming m_timing;
    const QString m_applicationName;
    std::unique_ptr<DmsLink> m_link;
    const DriverStatusPoints m_statusPoints;
    PointSupervision m_supervision;
    AksNaming m_naming;
    AksNaming::MappingCache m_mappingCache;
    ValuePath m_valuePath;
    int m_valuesDroppedSinceBarrier = 0; // handler thread only

    std::atomic<bool> m_ready{false};
    mutable std::once_flag m_locationOnce;
    mutable QString m_location;

    bool m_paused = false;
    QString m_lastMailError;
    QString m_lastRepError;

    QTimer m_watchdogTimer;
    QTimer m_lastUpdateTimer;
    QTimer m_upWaitTimer; // the pending retry of onWaitDmsAsynchIsUp (one at a time)
    std::atomic<int> m_watchdogPeriod{20};
    qint32 m_watchdogValue = 1;
    QDateTime m_lastWatchdog;
};

