#include "ui/ScriptTest.h"

#include "naming/NamingScript.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {
const QStringList kFieldNames = {QStringLiteral("IAKS"), QStringLiteral("IUNIT"), QStringLiteral("IDESCR"),
                                 QStringLiteral("IIP"), QStringLiteral("ISN"), QStringLiteral("IOBIS"),
                                 QStringLiteral("Value")};
} // namespace

ScriptTest::ScriptTest(const QString &applicationName, QWidget *parent)
    : QDialog(parent)
    , m_type(new QComboBox(this))
    , m_script(new QPlainTextEdit(this))
    , m_result(new QLabel(this))
    , m_detail(new QLabel(this))
    , m_elapsed(new QLabel(this))
{
    setWindowTitle(applicationName + QStringLiteral(" - ") + tr("Script Tester"));
    auto *form = new QFormLayout(this);
    for (const QString &name : kFieldNames) {
        auto *edit = new QLineEdit(this);
        edit->setObjectName(name);
        m_fields.append(edit);
        form->addRow(name, edit);
        if (name == QLatin1String("IAKS")) {
            // ITYPE is the configuration name of an import type, as the running system sets it.
            for (int type = 0; type < DataParser::displayNames().size(); ++type)
                m_type->addItem(DataParser::configName(type), type);
            form->addRow(QStringLiteral("ITYPE"), m_type);
        }
    }
    m_script->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_script->setPlaceholderText(QStringLiteral("=IAKS1 + ':' + IAKS2"));
    form->addRow(tr("Script"), m_script);
    m_result->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_detail->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_detail->setWordWrap(true);
    form->addRow(tr("Result"), m_result);
    form->addRow(tr("Details"), m_detail);
    form->addRow(QString(), m_elapsed);
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *evaluate = buttons->addButton(tr("Evaluate"), QDialogButtonBox::ActionRole);
    QPushButton *close = buttons->addButton(tr("Close"), QDialogButtonBox::RejectRole);
    evaluate->setDefault(true);
    evaluate->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return));
    connect(evaluate, &QPushButton::clicked, this, &ScriptTest::onEvaluate);
    connect(close, &QPushButton::clicked, this, &ScriptTest::onClose);
    form->addRow(buttons);
    resize(520, 480);
}

QLineEdit *ScriptTest::field(const QString &name) const
{
    return findChild<QLineEdit *>(name);
}

QString ScriptTest::resultText() const
{
    return m_result->text();
}

QString ScriptTest::detailText() const
{
    return m_detail->text();
}

QString ScriptTest::elapsedText() const
{
    return m_elapsed->text();
}

void ScriptTest::onClose()
{
    reject();
}

void ScriptTest::onEvaluate()
{
    m_detail->setText(tr("Evaluating..."));
    m_result->clear();
    QElapsedTimer clock;
    clock.start();
    QString script = m_script->toPlainText();
    if (script.isEmpty()) {
        m_detail->setText(tr("Error: Script is empty!"));
        return;
    }
    if (!script.startsWith(QLatin1Char('='))) {
        m_detail->setText(tr("Error: Script must start with '='!"));
        return;
    }
    script.remove(0, 1);

    DataParser::ValueRec rec;
    rec.iaks = field(QStringLiteral("IAKS"))->text();
    rec.importType = DataParser::ImportType(m_type->currentData().toInt());
    rec.unit = field(QStringLiteral("IUNIT"))->text();
    rec.obis = field(QStringLiteral("IOBIS"))->text();
    rec.description = field(QStringLiteral("IDESCR"))->text();
    rec.serialNumber = field(QStringLiteral("ISN"))->text();
    rec.ipAddress = field(QStringLiteral("IIP"))->text();
    rec.value = field(QStringLiteral("Value"))->text().toDouble(); // 0 when it is not a number

    const NamingScript::Result result = NamingScript::evaluate(script, rec);
    m_result->setText(result.text);
    if (!result.ok) {
        if (result.errorLine > 0)
            m_detail->setText(tr("Uncaught exception at line %1:%2").arg(result.errorLine).arg(result.text));
        else
            m_detail->setText(tr("Exception on Line %1").arg(result.text));
    }
    const qint64 ns = clock.nsecsElapsed();
    m_elapsed->setText(tr("Evaluated in %1 ns / %2 ms").arg(ns).arg(ns / 1000000));
}
