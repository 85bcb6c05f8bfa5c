#pragma once
// Times as the windows show them: the date in the chosen language's short form, the time to the
// second (German "07.12.26 14:05:09", English "12/7/26 14:05:09").

#include <QDateTime>
#include <QString>

namespace LocaleTexts {

QString dateTime(const QDateTime &time);

} // namespace LocaleTexts
