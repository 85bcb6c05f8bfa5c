#include "mail/StepHold.h"

#include "KyrLogger/Logger.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

void StepHold::at(const char *step)
{
    static const QString held = qEnvironmentVariable("QUILLON_HOLD_STEP");
    static const QString folder = qEnvironmentVariable("QUILLON_HOLD_DIR");
    if (held.isEmpty() || folder.isEmpty() || held != QLatin1String(step))
        return;
    const QDir dir(folder);
    QFile reached(dir.filePath(held + QStringLiteral(".reached")));
    if (!reached.open(QIODevice::WriteOnly))
        return;
    reached.close();
    LOG_OUT(Kyr::LogWarning, "Mail check held at step %1").arg(held).endl();
    const QDeadlineTimer deadline(MaxHoldMs);
    while (!QFile::exists(dir.filePath(held + QStringLiteral(".go"))) && !deadline.hasExpired())
        QThread::msleep(20);
}
