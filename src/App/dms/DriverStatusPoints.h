#pragma once
// The driver's own status points in the DMS, in the folder "System:Driver:" + application name.

#include <QString>

class DmsAccess;

struct DriverStatus
{
    bool paused = false;
    QString lastMailError;
    QString lastReportError;
    int stateErrors = 0;  // points in state error
    int updateErrors = 0; // points whose last update expired
};

class DriverStatusPoints
{
public:
    explicit DriverStatusPoints(const QString &applicationName);

    QString folder() const { return m_folder; }

    // Each point in turn is created (code 10, flag true) when missing or of another type, then
    // written; ":LastMail" gets the current time only when it had to be created. Write failures
    // are ignored.
    void write(DmsAccess &dms, const DriverStatus &status) const;

private:
    const QString m_applicationName;
    const QString m_folder;
};
