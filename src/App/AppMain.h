#pragma once
// The application controller: owns the settings of a running instance and its handlers, and
// runs the start and stop sequence of the frame.

#include "OrvaneApp.h"
#include "config/ConfigFile.h"

class AppMain : public Kyr::OrvaneApp
{
    Q_OBJECT
public:
    AppMain(int &argc, char **argv, const QString &applicationName, const QString &description, int buildNumber);
    ~AppMain() override;

    const DmsConfig &dmsConfig() const { return m_config.dms; }
    const MailConfig &mailConfig() const { return m_config.mail; }
    const ReportConfig &reportConfig() const { return m_config.report; }
    bool isPaused() const { return m_paused; }

public slots:
    void onStart() override;
    void onStop() override;

private:
    void readConfiguration();

    bool m_paused = false;
    Configuration m_config;
};
