#pragma once
// Keeps one running process per application name and user. The first process holds a lock file
// and listens on a local socket; a later one finds the lock held, announces itself to the first
// over the socket and is told to end.

#include <QLockFile>
#include <QObject>
#include <memory>

class QLocalServer;

namespace Kyr {

class InstanceGuard : public QObject
{
    Q_OBJECT
public:
    enum class Result { Primary, SecondaryRunning, Failed };

    // The key joins application name, user, version and executable path, so that only the same
    // program started as the same instance by the same user counts as a second instance.
    InstanceGuard(const QString &applicationName, const QString &version, const QString &executablePath,
                  QObject *parent = nullptr);
    ~InstanceGuard() override;

    // Takes the lock (the first process) or announces this process to the running one.
    Result acquire(int timeoutMs);
    // Why acquire() failed, for the critical message.
    QString errorDetail() const { return m_errorDetail; }
    int errorCode() const { return m_errorCode; }
    QString errorText() const { return m_errorText; }

signals:
    // A second instance announced itself.
    void instanceStarted();

private:
    bool announceToPrimary(int timeoutMs);

    QString m_key;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
    QString m_errorDetail;
    int m_errorCode = 0;
    QString m_errorText;
};

} // namespace Kyr
