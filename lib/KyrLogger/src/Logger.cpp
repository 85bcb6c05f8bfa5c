#include "KyrLogger/Logger.h"

#include <QCoreApplication>
#include <QDir>
#include <QMap>
#include <QMutex>

#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/sinks/stdout_sinks.h>
#include <spdlog/spdlog.h>

namespace Kyr {

namespace {
constexpr size_t kMaxFileSize = 10 * 1024 * 1024;
constexpr size_t kMaxFiles = 5;

spdlog::level::level_enum spdLevel(quint8 level)
{
    switch (level) {
    case 0: case 1: case 2: return spdlog::level::critical;
    case 3: return spdlog::level::err;
    case 4: return spdlog::level::warn;
    case 5: case 6: return spdlog::level::info;
    default: return spdlog::level::debug;
    }
}

QString applicationName()
{
    QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("Quillon") : name;
}
} // namespace

struct Logger::Private
{
    QMutex mutex;
    std::shared_ptr<spdlog::logger> logger;
    QMap<int, Listener> listeners;
    int nextListener = 1;

    // Opens the rotating file of the application in the log directory, or standard error while
    // no log directory is known. Called with the mutex held.
    void open()
    {
        const QString dir = qEnvironmentVariable("ORVANE_CURRENT_LOG_LOCATION");
        spdlog::sink_ptr sink;
        if (!dir.isEmpty() && QDir().mkpath(dir)) {
            const QString file = QDir(dir).filePath(applicationName() + QStringLiteral(".log"));
            try {
                sink = std::make_shared<spdlog::sinks::rotating_file_sink_mt>(
                    file.toStdString(), kMaxFileSize, kMaxFiles);
            } catch (const spdlog::spdlog_ex &) {
                sink.reset();
            }
        }
        if (!sink)
            sink = std::make_shared<spdlog::sinks::stderr_sink_mt>();
        logger = std::make_shared<spdlog::logger>("quillon", sink);
        logger->set_pattern("%Y-%m-%d %H:%M:%S.%e [%t] %v");
        logger->set_level(spdlog::level::trace);
        logger->flush_on(spdlog::level::trace);
    }
};

Logger::Logger() : d(std::make_unique<Private>()) {}

Logger &Logger::instance()
{
    static Logger logger;
    return logger;
}

LogMessage Logger::out(quint8 level, const QString &text, const char *file, int line)
{
    return LogMessage(level, text, file, line);
}

QString Logger::levelName(quint8 level)
{
    switch (level) {
    case 0: case 1: case 2: return QStringLiteral("CRIT");
    case 3: return QStringLiteral("ERROR");
    case 4: return QStringLiteral("WARN");
    case 5: return QStringLiteral("NOTICE");
    case 6: return QStringLiteral("INFO");
    default: return QStringLiteral("DEBUG");
    }
}

void Logger::write(quint8 level, const QString &text, const char *file, int line)
{
    const QString body = QStringLiteral("%1 %2:%3 %4")
                             .arg(levelName(level), -6)
                             .arg(QString::fromUtf8(file ? file : ""))
                             .arg(line)
                             .arg(text);
    QMutexLocker lock(&d->mutex);
    if (!d->logger)
        d->open();
    d->logger->log(spdLevel(level), "{}", body.toStdString());
    for (const Listener &listener : std::as_const(d->listeners))
        listener(level, body);
}

int Logger::addListener(Listener listener)
{
    QMutexLocker lock(&d->mutex);
    const int id = d->nextListener++;
    d->listeners.insert(id, std::move(listener));
    return id;
}

void Logger::removeListener(int id)
{
    QMutexLocker lock(&d->mutex);
    d->listeners.remove(id);
}

void Logger::reopen()
{
    QMutexLocker lock(&d->mutex);
    if (d->logger)
        d->logger->flush();
    d->logger.reset();
}

LogMessage::LogMessage(quint8 level, QString text, const char *file, int line)
    : m_level(level), m_text(std::move(text)), m_file(file), m_line(line)
{
}

LogMessage::LogMessage(LogMessage &&other) noexcept
    : m_level(other.m_level), m_text(std::move(other.m_text)), m_file(other.m_file),
      m_line(other.m_line), m_args(std::move(other.m_args)), m_done(other.m_done)
{
    other.m_done = true;
}

LogMessage::~LogMessage()
{
    if (!m_done)
        endl();
}

LogMessage &LogMessage::arg(const QVariant &value)
{
    m_args.append(value.toString());
    return *this;
}

QString LogMessage::text() const
{
    QString result;
    result.reserve(m_text.size() + 64);
    for (qsizetype i = 0; i < m_text.size(); ++i) {
        const QChar c = m_text.at(i);
        if (c == u'%' && i + 1 < m_text.size() && m_text.at(i + 1).isDigit()) {
            qsizetype j = i + 1;
            int number = 0;
            while (j < m_text.size() && m_text.at(j).isDigit() && number < 100)
                number = number * 10 + m_text.at(j++).digitValue();
            if (number >= 1 && number <= m_args.size()) {
                result += m_args.at(number - 1);
                i = j - 1;
                continue;
            }
        }
        result += c;
    }
    return result;
}

void LogMessage::endl()
{
    if (m_done)
        return;
    m_done = true;
    Logger::instance().write(m_level, text(), m_file, m_line);
}

} // namespace Kyr
