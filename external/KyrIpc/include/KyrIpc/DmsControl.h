#pragma once
// Watches the DMS behind an asynchronous connection: once started it checks every second (more
// often for short time-outs) that the DMS answers, and reports dmsTimedOut when it has not answered
// for the given number of seconds (once; start again after that). dmsSaysQuit reports the DMS's
// request that the program end. Lives in the thread that starts and stops it.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class DmsAccess;

class DmsControl : public QObject
{
    Q_OBJECT
public:
    explicit DmsControl(DmsAccess *access, QObject *parent = nullptr);
    ~DmsControl() override;

    void startControl(int timeoutSeconds);
    void stopControl();
    bool isControlling() const { return m_checkTimer.isActive(); }

signals:
    void dmsTimedOut();
    void dmsSaysQuit();

private:
    void check();

    DmsAccess *m_access;
    QTimer m_checkTimer;
    QElapsedTimer m_sinceAnswer;
    qint64 m_timeoutMs = 0;
};
