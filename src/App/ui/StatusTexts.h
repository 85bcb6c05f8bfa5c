#pragma once
// The handlers report their state in fixed English texts, which also go to the log, the status
// points and the status report. The windows show them through this table in their own language;
// a text that is not in the table (a server's answer, a progress line with figures) is shown as
// it came.

#include <QString>

namespace StatusTexts {

QString translated(const QString &text);

} // namespace StatusTexts
