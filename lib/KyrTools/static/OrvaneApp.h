#pragma once
// The application frame of the system's drivers: creates the application object, parses the
// command line, publishes the directories as environment variables, keeps one process per
// application name and user, installs log routing, translations and termination handling, and
// runs the start and stop sequence that the application controller fills in.

#include <QCommandLineParser>
#include <QHash>
#include <QObject>
#include <QStringList>

#include <memory>

class QApplication;
class QTranslator;

namespace Kyr {

class InstanceGuard;
class TerminationSignals;

class OrvaneApp : public QObject
{
    Q_OBJECT
public:
    OrvaneApp(int &argc, char **argv, const QString &applicationName, const QString &description,
              int buildNumber);
    ~OrvaneApp() override;

    // Registers a command-line option; binds the environment variable (when given) to the last
    // name of the list, so only that spelling exports it.
    void addOption(const QStringList &names, const QString &description, const QString &valueName = {},
                   const QString &environmentVariable = {}, const QString &defaultValue = {});

    // The whole start-up. False: the process must end with exit code 1.
    bool init();

    QString applicationName() const { return m_applicationName; }
    QString applicationVersion() const { return m_applicationVersion; }

    static bool isStarted();
    static bool isStopping();

public slots:
    virtual void onStart() = 0;
    virtual void onStartDone();
    virtual void onStop() = 0;
    virtual void onRestart();
    void onStartInt();
    void onStopInt();

private:
    bool publishDirectories();
    void installTranslations();

    int &m_argc;
    char **m_argv;
    QString m_applicationName;
    QString m_applicationVersion;
    QCommandLineParser m_parser;
    QHash<QString, QString> m_optionEnvironment; // option name -> environment variable
    QStringList m_unknownOptions;
    std::unique_ptr<QApplication> m_application;

    std::unique_ptr<InstanceGuard> m_guard;
    std::unique_ptr<TerminationSignals> m_signals;
    QString m_languageCode;
    QList<QTranslator *> m_translators;
    QStringList m_translatorFiles;
    bool m_headless = false;
};

} // namespace Kyr
