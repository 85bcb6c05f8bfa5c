#pragma once
// Starts a built program of the project as a real process, with its own environment, working
// directory and instance-lock folder, and reads what it printed and logged.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <memory>

struct ProcessResult
{
    int exitCode = -1;
    bool finished = false;
    QString standardOutput;
    QString standardError;
};

class ProcessRunner
{
public:
    // workDir is the process's working directory; it also holds the lock files of the instance
    // guard (TMPDIR), so tests never meet a Quillon that a user runs on the same machine.
    ProcessRunner(QString program, QString workDir);

    void setEnv(const QString &name, const QString &value) { m_env.insert(name, value); }
    void unsetEnv(const QString &name) { m_env.remove(name); }

    // Runs to the end (or kills after timeoutMs).
    ProcessResult run(const QStringList &arguments, int timeoutMs = 20000);

    // Starts in the background; the caller ends it with terminate() or finish().
    std::unique_ptr<QProcess> start(const QStringList &arguments);

    static QString programPath(const QString &name);

private:
    QString m_program;
    QString m_workDir;
    QProcessEnvironment m_env;
};

// Waits until the file exists and contains the text; false after timeoutMs.
bool waitForFileText(const QString &path, const QString &text, int timeoutMs = 15000);
QString readText(const QString &path);
