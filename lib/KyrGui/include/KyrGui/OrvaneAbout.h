#pragma once
// The About dialog of the system's drivers: icon, application name and version, and a text
// (the process-database connection the driver is built for).

#include <QDialog>
#include <QIcon>

namespace Kyr {

class OrvaneAbout : public QDialog
{
    Q_OBJECT
public:
    OrvaneAbout(const QString &text, const QString &applicationName, const QString &version, const QIcon &icon,
                QWidget *parent = nullptr);
};

} // namespace Kyr
