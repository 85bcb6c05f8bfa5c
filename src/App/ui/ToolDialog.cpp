#include "ui/ToolDialog.h"

#include "ui/WindowGeometry.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeView>

namespace {
const QString kDateTimeFormat = QStringLiteral("dd.MM.yyyy HH:mm");
} // namespace

ToolDialog::ToolDialog(const QString &applicationName, const QString &dialogName, const QString &settingsSuffix,
                       QWidget *parent)
    : QDialog(parent)
    , m_settingsKey(applicationName + settingsSuffix)
    , m_form(new QFormLayout(this))
{
    setWindowTitle(applicationName + QStringLiteral(" - ") + dialogName);
    m_form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
}

ToolDialog::~ToolDialog()
{
    QSettings settings(QStringLiteral("KYR"), m_settingsKey);
    for (auto it = m_fields.cbegin(); it != m_fields.cend(); ++it)
        settings.setValue(it.key(), valueOf(it.value()));
    WindowGeometry::store(this, settings);
}

QLineEdit *ToolDialog::addText(const QString &key, const QString &label, const QString &defaultValue,
                               QPushButton *picker)
{
    auto *edit = new QLineEdit(this);
    edit->setMinimumWidth(320);
    if (picker) {
        auto *row = new QHBoxLayout;
        row->addWidget(edit);
        row->addWidget(picker);
        m_form->addRow(label, row);
    } else {
        m_form->addRow(label, edit);
    }
    m_fields.insert(key, edit);
    m_defaults.insert(key, defaultValue);
    return edit;
}

QDateTimeEdit *ToolDialog::addDateTime(const QString &key, const QString &label, const QDateTime &defaultValue)
{
    auto *edit = new QDateTimeEdit(this);
    edit->setDisplayFormat(kDateTimeFormat);
    edit->setCalendarPopup(true);
    addField(key, label, edit, defaultValue);
    return edit;
}

QString ToolDialog::defaultPath(const QString &name)
{
    QString base = qEnvironmentVariable("ORVANE_CURRENT_PROJECT_LOCATION");
    if (base.isEmpty())
        base = QDir::homePath();
    return QDir(base).filePath(QStringLiteral("tools/") + name);
}

QDateTime ToolDialog::defaultFrom()
{
    return QDateTime(QDate::currentDate().addMonths(-1), QTime(0, 0));
}

QDateTime ToolDialog::defaultTo()
{
    return QDateTime(QDate::currentDate().addDays(1), QTime(0, 0));
}

QCheckBox *ToolDialog::addCheck(const QString &key, const QString &label)
{
    auto *box = new QCheckBox(label, this);
    m_form->addRow(QString(), box);
    m_fields.insert(key, box);
    m_defaults.insert(key, false);
    return box;
}

void ToolDialog::addField(const QString &key, const QString &label, QWidget *widget, const QVariant &defaultValue)
{
    m_form->addRow(label, widget);
    m_fields.insert(key, widget);
    m_defaults.insert(key, defaultValue);
}

QPushButton *ToolDialog::pickerButton()
{
    auto *button = new QPushButton(QStringLiteral("..."), this);
    button->setFixedWidth(button->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
    return button;
}

void ToolDialog::finish()
{
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_form->addRow(buttons);
    QSettings settings(QStringLiteral("KYR"), m_settingsKey);
    for (auto it = m_fields.cbegin(); it != m_fields.cend(); ++it)
        setValue(it.value(), settings.value(it.key(), m_defaults.value(it.key())));
    WindowGeometry::restore(this, settings);
}

QVariant ToolDialog::valueOf(QWidget *widget) const
{
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        return edit->text();
    if (auto *edit = qobject_cast<QDateTimeEdit *>(widget))
        return edit->dateTime();
    if (auto *box = qobject_cast<QCheckBox *>(widget))
        return box->isChecked();
    if (auto *edit = qobject_cast<QPlainTextEdit *>(widget))
        return edit->toPlainText();
    if (auto *list = qobject_cast<QListWidget *>(widget)) {
        QStringList selected;
        for (const QListWidgetItem *item : list->selectedItems())
            selected.append(item->text());
        return selected;
    }
    return {};
}

void ToolDialog::setValue(QWidget *widget, const QVariant &value)
{
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        edit->setText(value.toString());
    else if (auto *edit = qobject_cast<QDateTimeEdit *>(widget))
        edit->setDateTime(value.toDateTime());
    else if (auto *box = qobject_cast<QCheckBox *>(widget))
        box->setChecked(value.toBool());
    else if (auto *edit = qobject_cast<QPlainTextEdit *>(widget))
        edit->setPlainText(value.toString());
    else if (auto *list = qobject_cast<QListWidget *>(widget)) {
        const QStringList selected = value.toStringList();
        for (int row = 0; row < list->count(); ++row)
            list->item(row)->setSelected(selected.contains(list->item(row)->text()));
    }
}

QStringList ToolDialog::chooseDirectories(QWidget *parent, const QString &start)
{
    QFileDialog dialog(parent, tr("Choose Folders"), start.section(QLatin1Char(';'), 0, 0));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setViewMode(QFileDialog::List);
    // Several directories at once: the dialog's own views allow only one unless told otherwise.
    for (auto *view : dialog.findChildren<QListView *>())
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (auto *view : dialog.findChildren<QTreeView *>())
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}
