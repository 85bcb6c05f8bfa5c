#include "ui/config/ConfigPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>

ConfigPage::ConfigPage(QWidget *parent)
    : QWidget(parent)
{
}

void ConfigPage::watchFields()
{
    for (auto *edit : findChildren<QLineEdit *>())
        connect(edit, &QLineEdit::textChanged, this, &ConfigPage::changed);
    for (auto *box : findChildren<QCheckBox *>())
        connect(box, &QCheckBox::toggled, this, &ConfigPage::changed);
    for (auto *box : findChildren<QSpinBox *>())
        connect(box, &QSpinBox::valueChanged, this, &ConfigPage::changed);
    for (auto *box : findChildren<QComboBox *>())
        connect(box, &QComboBox::currentIndexChanged, this, &ConfigPage::changed);
}
