#pragma once
// SIGHUP asks for a reload of the configuration, the convention of Linux services
// ("systemctl reload"). The signal handler only writes one byte into a socket pair; the event
// loop reads it and emits sigReload, so the reload runs on the main thread as a file change does.

#include <QObject>

class QSocketNotifier;

class ReloadSignal : public QObject
{
    Q_OBJECT
public:
    explicit ReloadSignal(QObject *parent = nullptr);
    ~ReloadSignal() override;

signals:
    void sigReload();

private:
    static void handleSignal(int signalNumber);
    void onSignalByte();

    QSocketNotifier *m_notifier = nullptr;
};
