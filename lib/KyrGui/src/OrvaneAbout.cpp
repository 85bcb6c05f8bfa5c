#include "KyrGui/OrvaneAbout.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>

namespace Kyr {

OrvaneAbout::OrvaneAbout(const QString &text, const QString &applicationName, const QString &version,
                         const QIcon &icon, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("About %1").arg(applicationName));
    setWindowIcon(icon);
    auto *layout = new QGridLayout(this);
    auto *iconLabel = new QLabel(this);
    iconLabel->setPixmap(icon.pixmap(48, 48));
    layout->addWidget(iconLabel, 0, 0, 3, 1, Qt::AlignTop);
    auto *name = new QLabel(QStringLiteral("<b>%1</b>").arg(applicationName.toHtmlEscaped()), this);
    layout->addWidget(name, 0, 1);
    layout->addWidget(new QLabel(tr("Version %1").arg(version), this), 1, 1);
    layout->addWidget(new QLabel(text, this), 2, 1);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons, 3, 0, 1, 2);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace Kyr
