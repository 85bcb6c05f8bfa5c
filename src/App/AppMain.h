#pragma once
// The application controller: owns the settings of a running instance and its handlers, keeps the
// instance's state (paused, DMS state, last mail and report errors) and broadcasts it, and runs the
// start and stop sequence of the frame.

#include "OrvaneApp.h"
#include "config/ConfigFile.h"
#include "dms/DmsHandler.h"
#include "mail/MailHandler.h"

#include <QDateTime>

class AppMain : public Kyr::OrvaneApp
{
    Q_OBJECT
public:
    AppMain(int &argc, char **argv, const QString &applicationName, const QString &description, int buildNumber);
    ~AppMain() override;

    void emitState();

    const DmsConfig &dmsConfig() const { return m_config.dms; }
    const MailConfig &mailConfig() const { return m_config.mail; }
    const ReportConfig &reportConfig() const { return m_config.report; }
    DmsHandler *dmsHandler() const { return m_dmsHandler; }
    MailHandler *mailHandler() const { return m_mailHandler; }
    bool isPaused() const { return m_paused; }
    DmsHandler::DmsState dmsState() const { return m_dmsState; }

signals:
    void sigStateChanged(bool paused, DmsHandler::DmsState state, QString lastMailError, QString lastRepError);
    void sigNextMailCheckDt(QDateTime dt);

public slots:
    void onStart() override;
    void onStop() override;
    void onDmsReady();
    void onDmsDisconnected();
    void onDmsQuitReceived();
    void onMailHandlerLastErrorChanged(QString lastError);

private:
    void readConfiguration();
    void startHandlers();
    void stopHandlers();
    void startDmsHandler();
    void stopDmsHandler();
    void startMailHandler();
    void stopMailHandler();

    bool m_paused = false;
    DmsHandler::DmsState m_dmsState = DmsHandler::Down;
    QString m_lastMailError;
    QString m_lastRepError;
    Configuration m_config;
    DmsHandler *m_dmsHandler = nullptr;
    MailHandler *m_mailHandler = nullptr;
};
