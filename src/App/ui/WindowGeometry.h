#pragma once
// Position and size of a window in the user settings of organisation "KYR" under an application
// key of its own ("pos" and "size"), so that each window opens where it was left.

#include <QSettings>
#include <QWidget>

namespace WindowGeometry {

inline void restore(QWidget *window, QSettings &settings)
{
    if (settings.contains(QStringLiteral("size")))
        window->resize(settings.value(QStringLiteral("size")).toSize());
    if (settings.contains(QStringLiteral("pos")))
        window->move(settings.value(QStringLiteral("pos")).toPoint());
}

inline void store(const QWidget *window, QSettings &settings)
{
    settings.setValue(QStringLiteral("pos"), window->pos());
    settings.setValue(QStringLiteral("size"), window->size());
}

} // namespace WindowGeometry
