#pragma once
// Base of the offline tool handlers: a thread with its own event loop that owns itself (its slots
// run there), a busy flag for the one run at a time, the start and end log lines, and the signal
// that tells a front end a run is over.

#include <QThread>

#include <atomic>

class ToolThread : public QThread
{
    Q_OBJECT
public:
    ~ToolThread() override;
    bool isBusy() const { return m_busy.load(); }

    // "\" becomes "/" and a trailing "/" is added, as the tools store their folder texts.
    static QString folderText(QString text);

signals:
    // After the end text of a run; failed counts the files (and database failures) of that run
    // that did not go through.
    void sigRunDone(qint64 failed);

protected:
    explicit ToolThread(const char *name);
    void run() override;

    // Sets busy; false when a run is already going.
    bool claim() { return !m_busy.exchange(true); }
    void release(qint64 failed);
    // Posts the named slot into the handler's thread.
    void post(const char *slot);

private:
    const char *m_name;
    std::atomic<bool> m_busy{false};
};
