#pragma once
// The commands of the control channel, run on the main thread: status (as text or JSON), pause,
// resume, a mail check now, a report now, and a reload of the configuration. Each answers with a
// text or refuses with one.

#include <QString>

#include <functional>

class AppMain;
class InstanceStatus;

class ControlCommands
{
public:
    struct Answer
    {
        bool ok = false;
        QString text;
    };

    ControlCommands(AppMain *app, const InstanceStatus *status, std::function<void()> reload);

    // One request line without its line feed, for example "status json".
    Answer run(const QString &request) const;

private:
    AppMain *m_app;
    const InstanceStatus *m_status;
    std::function<void()> m_reload;
};
