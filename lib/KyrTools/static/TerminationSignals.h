#pragma once
// Turns SIGTERM and SIGINT into a queued quit of the application: the signal handler only writes
// one byte into a socket pair, and the event loop reads it and quits, so the normal stop
// sequence runs.

#include <QObject>

class QSocketNotifier;

namespace Kyr {

class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

private:
    static void handleSignal(int signalNumber);
    void onSignalByte();

    QSocketNotifier *m_notifier = nullptr;
};

} // namespace Kyr
