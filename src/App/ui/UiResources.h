#pragma once
// The program's own icons, compiled into the executable: normal, stopped and error state of the
// tray icon (the normal one is also the window icon) and the remove button of table rows.

#include <QIcon>

namespace UiResources {

// Makes the icons available; needed once before the first use, harmless afterwards.
void init();

QIcon normalIcon();
QIcon stoppedIcon();
QIcon errorIcon();
QIcon trashIcon();

} // namespace UiResources
