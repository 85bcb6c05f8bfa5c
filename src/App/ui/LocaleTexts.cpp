#include "ui/LocaleTexts.h"

#include <QLocale>

namespace LocaleTexts {

QString dateTime(const QDateTime &time)
{
    const QLocale locale;
    return locale.toString(time.date(), QLocale::ShortFormat) + QLatin1Char(' ')
           + locale.toString(time.time(), QStringLiteral("HH:mm:ss"));
}

} // namespace LocaleTexts
