#pragma once
// System logger: one call per line with a level, a text with "%1"-style placeholders filled in
// order, and the caller's source file and line.
//
//   LOG_OUT(Kyr::LogInfo, "Starting DMS on DMS:'%1', PDBS:'%2'").arg(dms).arg(pdbs).endl();
//
// Levels (the numbers appear in the log and the configuration): 2 critical, 3 error, 4 warning,
// 5 notice, 6 information, 7 debug.
// Lines go to a rotating file named after the application in ORVANE_CURRENT_LOG_LOCATION
// (standard error while that variable is unset). Safe to call from any thread.

#include <QString>
#include <QVariant>
#include <QVector>
#include <functional>
#include <memory>

namespace Kyr {

enum LogLevel : quint8 {
    LogCritical = 2,
    LogError = 3,
    LogWarning = 4,
    LogNotice = 5,
    LogInfo = 6,
    LogDebug = 7,
};

class LogMessage
{
public:
    LogMessage(quint8 level, QString text, const char *file, int line);
    LogMessage(LogMessage &&other) noexcept;
    LogMessage(const LogMessage &) = delete;
    LogMessage &operator=(const LogMessage &) = delete;
    ~LogMessage(); // writes the line if endl() was not called

    // Fills the next placeholder ("%1", then "%2", ...).
    LogMessage &arg(const QVariant &value);
    // Completes the line and writes it.
    void endl();

    // The text with every placeholder filled (in one pass, so a value holding "%2" stays as it is).
    QString text() const;

private:
    quint8 m_level;
    QString m_text;
    const char *m_file;
    int m_line;
    QVector<QString> m_args;
    bool m_done = false;
};

class Logger
{
public:
    using Listener = std::function<void(quint8 level, const QString &line)>;

    static Logger &instance();

    LogMessage out(quint8 level, const QString &text, const char *file, int line);

    // Writes one finished line; called by LogMessage::endl().
    void write(quint8 level, const QString &text, const char *file, int line);

    // Listeners see every finished line (level and text with its location), in the writing
    // thread; the log monitor and the tests use this. Returns an id for removeListener.
    int addListener(Listener listener);
    void removeListener(int id);

    // Closes the current file so that the next line opens the file of the current application
    // name and log directory again.
    void reopen();

    static QString levelName(quint8 level);

private:
    Logger();
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace Kyr

#define LOG_OUT(level, text) ::Kyr::Logger::instance().out((level), (text), __FILE__, __LINE__)
