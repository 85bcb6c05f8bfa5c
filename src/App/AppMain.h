#pragma once
// The application controller: owns the settings of a running instance and its handlers, keeps the
// instance's state (paused, DMS state, last mail and report errors) and broadcasts it, and runs the
// start and stop sequence of the frame.

#include "HandlerReportSources.h"
#include "OrvaneApp.h"
#include "config/ConfigFile.h"
#include "dms/DmsHandler.h"
#include "tools/ExportFileToSQLiteHandler.h"
#include "tools/ExportSQLiteToHdbxHandler.h"
#include "tools/ImportHandler.h"
#include "tools/SearchHandler.h"
#include "mail/MailHandler.h"

#include <QDateTime>
#include <QTimer>

class QFileSystemWatcher;

class MailSender;

class AppMain : public Kyr::OrvaneApp
{
    Q_OBJECT
public:
    AppMain(int &argc, char **argv, const QString &applicationName, const QString &description, int buildNumber);
    ~AppMain() override;

    void emitState();
    // Mail intake on hold (tray menu "&Running" unchecked) and back.
    void pause();
    void resume();

    const DmsConfig &dmsConfig() const { return m_config.dms; }
    const MailConfig &mailConfig() const { return m_config.mail; }
    const ReportConfig &reportConfig() const { return m_config.report; }
    const ServiceConfig &serviceConfig() const { return m_config.service; }
    DmsHandler *dmsHandler() const { return m_dmsHandler; }
    MailSender *mailSender() const { return m_mailSender; }
    // The tool handlers; null while not running (no import handler in the support instance).
    ImportHandler *importHandler() const { return m_importHandler; }
    SearchHandler *searchHandler() const { return m_searchHandler; }
    ExportFileToSQLiteHandler *exportFileToSQLiteHandler() const { return m_exportFileToSQLiteHandler; }
    ExportSQLiteToHdbxHandler *exportSQLiteToHdbxHandler() const { return m_exportSQLiteToHdbxHandler; }
    MailHandler *mailHandler() const { return m_mailHandler; }
    bool isPaused() const { return m_paused; }
    DmsHandler::DmsState dmsState() const { return m_dmsState; }

signals:
    void sigStateChanged(bool paused, DmsHandler::DmsState state, QString lastMailError, QString lastRepError);
    void sigNextMailCheckDt(QDateTime dt);
    // The handlers run on the configuration just read (at the start and after every reload).
    void sigHandlersStarted();
    // The stop sequence begins.
    void sigStopping();

public slots:
    void onStart() override;
    void onStop() override;
    void onDmsReady();
    void onDmsDisconnected();
    void onDmsQuitReceived();
    void onMailHandlerLastErrorChanged(QString lastError);
    void onMailSenderLastErrorChanged(QString lastError);
    void onConfigFileChanged(QString path);

private:
    // The guard's end: reads a change that arrived inside it.
    void onReloadGuardEnded();
    // Stops the handlers, reads the configuration, starts them again and starts the guard.
    void reload();
    void watchConfigFile(const QString &path);
    void readConfiguration();
    void stopConfigWatch();
    void startHandlers();
    void stopHandlers();
    void startDmsHandler();
    void stopDmsHandler();
    void startMailSender();
    void stopMailSender();
    void startToolHandlers();
    void stopToolHandlers();
    void startMailHandler();
    void stopMailHandler();

    bool m_paused = false;
    DmsHandler::DmsState m_dmsState = DmsHandler::Down;
    QString m_lastMailError;
    QString m_lastRepError;
    Configuration m_config;
    // Running while a reload is fresh: change notifications within it are read once it ends.
    QTimer m_reloadGuard;
    bool m_changedInGuard = false;
    // The watch on the configuration file; none before the start and after a quit.
    QFileSystemWatcher *m_watcher = nullptr;
    // What the reporter reads of the handlers, set as they start and stop; outlives the reporter.
    HandlerReportSources m_reportSources;
    DmsHandler *m_dmsHandler = nullptr;
    MailSender *m_mailSender = nullptr;
    ImportHandler *m_importHandler = nullptr;
    SearchHandler *m_searchHandler = nullptr;
    ExportFileToSQLiteHandler *m_exportFileToSQLiteHandler = nullptr;
    ExportSQLiteToHdbxHandler *m_exportSQLiteToHdbxHandler = nullptr;
    MailHandler *m_mailHandler = nullptr;
};
