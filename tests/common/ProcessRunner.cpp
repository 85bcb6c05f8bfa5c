#include "ProcessRunner.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

ProcessRunner::ProcessRunner(QString program, QString workDir)
    : m_program(std::move(program)), m_workDir(std::move(workDir)),
      m_env(QProcessEnvironment::systemEnvironment())
{
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "ServiceMode",
                             "ORVANE_OPTION_DMS_CONNECTION", "ORVANE_OPTION_PDBS_CONNECTION",
                             "ORVANE_OPTION_LANG", "ORVANE_APP_MULTI_START"})
        m_env.remove(QString::fromLatin1(name));
    m_env.insert(QStringLiteral("TMPDIR"), m_workDir);
}

QString ProcessRunner::programPath(const QString &name)
{
    return QStringLiteral(QUILLON_BINARY_DIR "/src/App/") + name;
}

std::unique_ptr<QProcess> ProcessRunner::start(const QStringList &arguments)
{
    auto process = std::make_unique<QProcess>();
    process->setProgram(m_program);
    process->setArguments(arguments);
    process->setWorkingDirectory(m_workDir);
    process->setProcessEnvironment(m_env);
    process->start();
    process->waitForStarted();
    return process;
}

ProcessResult ProcessRunner::run(const QStringList &arguments, int timeoutMs)
{
    auto process = start(arguments);
    ProcessResult result;
    result.finished = process->waitForFinished(timeoutMs);
    if (!result.finished) {
        process->kill();
        process->waitForFinished();
    }
    result.exitCode = process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1;
    result.standardOutput = QString::fromUtf8(process->readAllStandardOutput());
    result.standardError = QString::fromUtf8(process->readAllStandardError());
    return result;
}

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool waitForFileText(const QString &path, const QString &text, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (readText(path).contains(text))
            return true;
        QThread::msleep(50);
    }
    return false;
}
