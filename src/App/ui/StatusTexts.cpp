#include "ui/StatusTexts.h"

#include <QCoreApplication>

namespace StatusTexts {

namespace {
// The fixed texts of the mail intake, the reporter, the DMS link and the tools.
const char *const kTexts[] = {
    QT_TRANSLATE_NOOP("StatusTexts", "Idle"),
    QT_TRANSLATE_NOOP("StatusTexts", "Disabled"),
    QT_TRANSLATE_NOOP("StatusTexts", "Connecting"),
    QT_TRANSLATE_NOOP("StatusTexts", "ErrorRegistration"),
    QT_TRANSLATE_NOOP("StatusTexts", "Down"),
    QT_TRANSLATE_NOOP("StatusTexts", "Missing configuration"),
    QT_TRANSLATE_NOOP("StatusTexts", "Sorting values..."),
    QT_TRANSLATE_NOOP("StatusTexts", "Storing temporary files..."),
    QT_TRANSLATE_NOOP("StatusTexts", "Processing temporary files..."),
    QT_TRANSLATE_NOOP("StatusTexts", "Verify hdbx..."),
    QT_TRANSLATE_NOOP("StatusTexts", "Exporting to hdbx..."),
    QT_TRANSLATE_NOOP("StatusTexts", "Exporting - searching for new files..."),
};
} // namespace

QString translated(const QString &text)
{
    for (const char *known : kTexts) {
        if (text == QLatin1String(known))
            return QCoreApplication::translate("StatusTexts", known);
    }
    return text;
}

} // namespace StatusTexts
