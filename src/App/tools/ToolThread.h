#pragma once
// Base of the offline tool handlers: a thread with its own event loop that owns itself (its slots
// run there) and runs one job at a time. It owns what every job shares: the busy flag, the
// counters, the start log line and first progress text, the walk over a source list, the end
// text and the signal that tells a front end the run is over. A tool adds its parameter record
// (ToolJob<Params>) and its work.

#include "tools/SourceWalk.h"

#include <QThread>

#include <atomic>

// The counters of one run; the walk fills the first four.
struct ToolCounters : WalkCounters
{
    qint64 dbFailures = 0;
    qint64 droppedRecords = 0; // records read but not written, each drop named in the log
};

class ToolThread : public QThread
{
    Q_OBJECT
public:
    ~ToolThread() override;
    bool isBusy() const { return m_busy.load(); }

    // "\" becomes "/" and a trailing "/" is added, as the tools store their folder texts.
    static QString folderText(QString text);

signals:
    // Progress texts, ending with the end text of the run.
    void sigInfo(QString info);
    // After the end text of a run; failed counts the files (and database failures and dropped
    // records) of that run that did not go through.
    void sigRunDone(qint64 failed);

protected:
    explicit ToolThread(const char *name);
    void run() override;

    // Sets busy; false when a run is already going.
    bool claim() { return !m_busy.exchange(true); }
    // Queues the run into the handler's thread.
    void post();

    // The job, in the handler's thread: its start log line, its first progress text, its work
    // (with the counters reset) and its end text.
    virtual QString startLogText() const = 0;
    virtual QString startInfo() const = 0;
    virtual void execute() = 0;
    virtual QString endText() const = 0;

    void info(const QString &text) { emit sigInfo(text); }
    // Records that were read but will not be written: logged with what they belong to and why, and
    // counted, so the run ends as failed.
    void dropped(qint64 records, const QString &owner, const QString &reason);
    // Walks every folder of the source list; a list without a folder is logged, counted as failed
    // and walks nothing.
    void walkSources(const QString &sources, SourceWalk &walk, SourceHandler &handler);

    ToolCounters m_counters;

private slots:
    void onRun();

private:
    const char *m_name;
    std::atomic<bool> m_busy{false};
};

// A tool with its parameter record: start takes the record from any thread.
template <class Params>
class ToolJob : public ToolThread
{
public:
    using QThread::start; // the thread itself
    // Starts a run; ignored while one is going.
    void start(const Params &params)
    {
        if (!claim())
            return;
        m_params = params;
        prepare();
        post();
    }

protected:
    using ToolThread::ToolThread;
    // In the caller's thread, before the run is queued: what the tool needs in place first.
    virtual void prepare() {}

    Params m_params;
};
