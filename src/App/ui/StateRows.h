#pragma once
// The rows of the state window as a full refresh builds them from the instance's state: one row
// per part (Mail, DMS, Reporter, Import, Search; Export only in the support instance) with its
// kind and text. The state window shows them in its language, the control command's status in
// English, for the scripts that read it.

#include "dms/DmsHandler.h"

#include "KyrGui/State_UI.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace StateRows {

enum Row { Mail = 0, Dms = 1, Reporter = 2, Import = 3, Search = 4, Export = 5 };

struct Input
{
    bool running = true; // mail intake not paused
    DmsHandler::DmsState dmsState = DmsHandler::Down;
    QString mailError;
    QString reportError;
    QDateTime nextCheck; // invalid until the mail intake names one
    QString importInfo;
    QString searchInfo;
    QString exportInfo;
};

enum class Wording { Window, Plain };

QList<Kyr::State_UI::StateRecord> build(const Input &state, Wording wording = Wording::Window);

// A check time as the rows and the tool tip show it: "hh:mm:ss" today, else with the date.
QString checkTimeText(const QDateTime &time);

} // namespace StateRows
