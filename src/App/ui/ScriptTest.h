#pragma once
// A dialog to try a value script on hand-entered record fields. The script runs through the
// naming library, with the same variables as in the running system, so a script that works here
// works there.

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

class ScriptTest : public QDialog
{
    Q_OBJECT
public:
    explicit ScriptTest(const QString &applicationName, QWidget *parent = nullptr);

    QLineEdit *field(const QString &name) const; // IAKS, IUNIT, IDESCR, IIP, ISN, IOBIS, Value
    QComboBox *typeField() const { return m_type; }
    QPlainTextEdit *scriptField() const { return m_script; }
    QString resultText() const;
    QString detailText() const;
    QString elapsedText() const;

public slots:
    void onClose();
    void onEvaluate();

private:
    QList<QLineEdit *> m_fields;
    QComboBox *m_type;
    QPlainTextEdit *m_script;
    QLabel *m_result;
    QLabel *m_detail;
    QLabel *m_elapsed;
};
