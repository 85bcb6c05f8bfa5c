#pragma once
// Routes Qt's own messages (and console output of scripts, category "js") into Kyr::Logger.

#include <QtGlobal>

namespace Kyr {

void qtMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);

} // namespace Kyr
