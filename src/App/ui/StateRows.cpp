#include "ui/StateRows.h"

#include "ui/StatusTexts.h"

#include <QCoreApplication>

namespace StateRows {

namespace {
using State_UI = Kyr::State_UI;
using StateRecord = Kyr::State_UI::StateRecord;

// Picks the row's words: the window's language, or the English that the status command answers.
struct Words
{
    Wording wording;

    QString operator()(const char *text) const
    {
        return wording == Wording::Window ? QCoreApplication::translate("StateRows", text) : QString::fromUtf8(text);
    }
    QString status(const QString &text) const
    {
        return wording == Wording::Window ? StatusTexts::translated(text) : text;
    }
};

bool serviceMode()
{
    return !qEnvironmentVariableIsEmpty("ServiceMode");
}

StateRecord mailRow(const Input &state, const Words &tr)
{
    StateRecord mail{Mail, -1, tr("Mail"), State_UI::KindOk, tr("Idle")};
    if (serviceMode())
        return {Mail, -1, tr("Mail"), State_UI::KindInactive, tr("Disabled")};
    if (!state.running) {
        mail.kind = State_UI::KindInactive;
        mail.text = tr("Stopped");
    } else if (!state.mailError.isEmpty()) {
        mail.kind = State_UI::KindError;
        mail.text = tr.status(state.mailError);
    }
    if (state.nextCheck.isValid())
        mail.text += QStringLiteral(" - ") + tr("next check") + QLatin1Char(' ') + checkTimeText(state.nextCheck);
    return mail;
}

StateRecord dmsRow(DmsHandler::DmsState dmsState, const Words &tr)
{
    StateRecord dms{Dms, -1, tr("DMS"), State_UI::KindError, tr.status(DmsHandler::stateText(dmsState))};
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

QList<Kyr::State_UI::StateRecord> build(const Input &state, Wording wording)
{
    const Words tr{wording};
    QList<StateRecord> rows{mailRow(state, tr), dmsRow(state.dmsState, tr)};
    if (serviceMode())
        rows.append({Reporter, -1, tr("Reporter"), State_UI::KindInactive, tr("Disabled")});
    else if (!state.reportError.isEmpty())
        rows.append({Reporter, -1, tr("Reporter"), State_UI::KindError, tr.status(state.reportError)});
    else
        rows.append({Reporter, -1, tr("Reporter"), State_UI::KindOk, tr("Idle")});
    rows.append(serviceMode()
                    ? StateRecord{Import, -1, tr("Import"), State_UI::KindInactive, tr("Disabled")}
                    : StateRecord{Import, -1, tr("Import"), State_UI::KindOk, tr.status(state.importInfo)});
    rows.append({Search, -1, tr("Search"), State_UI::KindOk, tr.status(state.searchInfo)});
    if (serviceMode())
        rows.append({Export, -1, tr("Export"), State_UI::KindOk, tr.status(state.exportInfo)});
    return rows;
}

QString checkTimeText(const QDateTime &time)
{
    const QDateTime local = time.toLocalTime();
    return local.date() == QDate::currentDate() ? local.toString(QStringLiteral("hh:mm:ss"))
                                                : local.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
}

} // namespace StateRows
