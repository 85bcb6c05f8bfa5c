#pragma once
// What the control command's status shows: the state window's rows, the next mail check, the last
// check's result, the last errors of the intake and the reporter, the DMS link and the counters
// since the start. Kept on the main thread from the controller's broadcasts, as the tray menu
// keeps its own, so that it holds without a display.

#include "dms/DmsHandler.h"
#include "ui/StateRows.h"

#include <QJsonObject>
#include <QObject>

class AppMain;

class InstanceStatus : public QObject
{
    Q_OBJECT
public:
    explicit InstanceStatus(AppMain *app, QObject *parent = nullptr);

    bool isPaused() const { return !m_state.running; }
    QList<Kyr::State_UI::StateRecord> rows() const { return StateRows::build(m_state, StateRows::Wording::Plain); }
    // For a person, and for scripts (the fields are listed in the README).
    QString text() const;
    QJsonObject json() const;
    // One line for the service manager's status display.
    QString summary() const;

signals:
    void sigChanged();

private:
    void onStateChanged(bool paused, DmsHandler::DmsState state, const QString &mailError, const QString &repError);
    void onNextMailCheckDt(const QDateTime &dt);
    void followHandlers();

    AppMain *m_app;
    StateRows::Input m_state;
};
