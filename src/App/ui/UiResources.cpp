#include "ui/UiResources.h"

#include <QDir>

// Outside any namespace, as the resource macro requires.
static void initUiResource()
{
    Q_INIT_RESOURCE(ui);
}

namespace UiResources {

void init()
{
    static const bool done = (initUiResource(), true);
    Q_UNUSED(done);
}

QIcon normalIcon()
{
    init();
    return QIcon(QStringLiteral(":/Quillon.ico"));
}

QIcon stoppedIcon()
{
    init();
    return QIcon(QStringLiteral(":/QuillonStopped.ico"));
}

QIcon errorIcon()
{
    init();
    return QIcon(QStringLiteral(":/QuillonError.ico"));
}

QIcon trashIcon()
{
    init();
    return QIcon(QStringLiteral(":/trash.png"));
}

} // namespace UiResources
