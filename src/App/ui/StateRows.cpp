#include "ui/StateRows.h"

#include <QCoreApplication>

namespace StateRows {

namespace {
// The texts keep the tray menu's translation context, where they were first translated.
QString tr(const char *text)
{
    return QCoreApplication::translate("TrayMenu", text);
}

bool serviceMode()
{
    return !qEnvironmentVariableIsEmpty("ServiceMode");
}

Kyr::State_UI::StateRecord mailRow(const Input &state)
{
    using Kyr::State_UI;
    State_UI::StateRecord mail{Mail, -1, tr("Mail"), State_UI::KindOk, tr("Idle")};
    if (serviceMode())
        return {Mail, -1, tr("Mail"), State_UI::KindInactive, tr("Disabled")};
    if (!state.running) {
        mail.kind = State_UI::KindInactive;
        mail.text = tr("Stopped");
    } else if (!state.mailError.isEmpty()) {
        mail.kind = State_UI::KindError;
        mail.text = state.mailError;
    }
    if (state.nextCheck.isValid())
        mail.text += QStringLiteral(" - ") + tr("next check") + QLatin1Char(' ') + checkTimeText(state.nextCheck);
    return mail;
}

Kyr::State_UI::StateRecord dmsRow(DmsHandler::DmsState dmsState)
{
    using Kyr::State_UI;
    State_UI::StateRecord dms{Dms, -1, tr("DMS"), State_UI::KindError, DmsHandler::stateText(dmsState)};
    switch (dmsState) {
    case DmsHandler::Idle:
        dms.kind = State_UI::KindOk;
        break;
    case DmsHandler::Disabled:
        dms.kind = State_UI::KindInactive;
        break;
    case DmsHandler::Connecting:
        dms.kind = State_UI::KindInProgress;
        break;
    default:
        break;
    }
    return dms;
}
} // namespace

QList<Kyr::State_UI::StateRecord> build(const Input &state)
{
    using Kyr::State_UI;
    QList<State_UI::StateRecord> rows{mailRow(state), dmsRow(state.dmsState)};
    if (serviceMode())
        rows.append({Reporter, -1, tr("Reporter"), State_UI::KindInactive, tr("Disabled")});
    else if (!state.reportError.isEmpty())
        rows.append({Reporter, -1, tr("Reporter"), State_UI::KindError, state.reportError});
    else
        rows.append({Reporter, -1, tr("Reporter"), State_UI::KindOk, tr("Idle")});
    rows.append(serviceMode() ? State_UI::StateRecord{Import, -1, tr("Import"), State_UI::KindInactive, tr("Disabled")}
                              : State_UI::StateRecord{Import, -1, tr("Import"), State_UI::KindOk, state.importInfo});
    rows.append({Search, -1, tr("Search"), State_UI::KindOk, state.searchInfo});
    if (serviceMode())
        rows.append({Export, -1, tr("Export"), State_UI::KindOk, state.exportInfo});
    return rows;
}

QString checkTimeText(const QDateTime &time)
{
    const QDateTime local = time.toLocalTime();
    return local.date() == QDate::currentDate() ? local.toString(QStringLiteral("hh:mm:ss"))
                                                : local.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
}

} // namespace StateRows
