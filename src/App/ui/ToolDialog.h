#pragma once
// The common frame of the offline tools' dialogs: a form of fields, each stored under its
// settings key in the user settings of organisation "KYR" (application key: application name +
// the dialog's own suffix) together with the window geometry, restored when the dialog opens and
// stored when it is destroyed, whether it was accepted or not.

#include <QDialog>
#include <QHash>
#include <QVariant>

class QCheckBox;
class QDateTimeEdit;
class QFormLayout;
class QLineEdit;
class QPushButton;

class ToolDialog : public QDialog
{
    Q_OBJECT
public:
    ~ToolDialog() override;

    // The widget of a settings key, for the tests and the screenshots.
    QWidget *field(const QString &key) const { return m_fields.value(key); }

    // A directory dialog (not the platform's own) in which several directories can be chosen;
    // returns them, or nothing when cancelled.
    static QStringList chooseDirectories(QWidget *parent, const QString &start);

protected:
    ToolDialog(const QString &applicationName, const QString &dialogName, const QString &settingsSuffix,
               QWidget *parent);

    QLineEdit *addText(const QString &key, const QString &label, const QString &defaultValue,
                       QPushButton *picker = nullptr);
    QDateTimeEdit *addDateTime(const QString &key, const QString &label, const QDateTime &defaultValue);
    QCheckBox *addCheck(const QString &key, const QString &label);
    // Any other widget (list, multi-line text) with its default value.
    void addField(const QString &key, const QString &label, QWidget *widget, const QVariant &defaultValue);
    QPushButton *pickerButton();
    // Where the default paths lie: the folder "tools" of the project, or of the home folder when
    // no project is set.
    static QString defaultPath(const QString &name);
    // The default time range: from a month back to the end of today.
    static QDateTime defaultFrom();
    static QDateTime defaultTo();
    QFormLayout *form() const { return m_form; }

    // Adds OK and Cancel and restores fields and geometry; the last call of a constructor.
    void finish();

private:
    QVariant valueOf(QWidget *widget) const;
    void setValue(QWidget *widget, const QVariant &value);

    QString m_settingsKey;
    QFormLayout *m_form;
    QHash<QString, QWidget *> m_fields;
    QHash<QString, QVariant> m_defaults;
};
