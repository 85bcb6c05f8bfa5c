#include "ui/config/OptionsPage.h"

#include "ui/config/PageParts.h"
#include "ui/config/RowTable.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Texts of the AKS option codes 0 to 5, translated where the list is built.
const char *const kOptionTexts[] = {
    QT_TRANSLATE_NOOP("OptionsPage", "Ignore UTC timstamp"),
    QT_TRANSLATE_NOOP("OptionsPage", "Set IP to modBus configuration"),
    QT_TRANSLATE_NOOP("OptionsPage", "Ignore 0 values"),
    QT_TRANSLATE_NOOP("OptionsPage", "Do not send values with state != 0"),
    QT_TRANSLATE_NOOP("OptionsPage", "Use %ISN% as %IAKS% suffix"),
    QT_TRANSLATE_NOOP("OptionsPage", "Use %ISN% as %IAKS% second last part"),
};

QStringList optionTexts()
{
    QStringList texts;
    for (const char *text : kOptionTexts)
        texts.append(OptionsPage::tr(text));
    return texts;
}

// A list of texts whose item data is the code, the index of the text; a code beyond them is kept.
QComboBox *codeList(QWidget *parent, const QStringList &texts, int code)
{
    auto *combo = new QComboBox(parent);
    for (int i = 0; i < texts.size(); ++i)
        combo->addItem(texts.at(i), i);
    PageParts::selectData(combo, code);
    return combo;
}

} // namespace

OptionsPage::OptionsPage(QWidget *parent)
    : ConfigPage(parent)
{
    auto *layout = new QVBoxLayout(this);
    m_table = new RowTable({tr("Import-Format"), tr("Pattern"), tr("Option")}, tr("Remove option"), 2, this);
    m_table->setColumnWidth(1, 220);
    m_table->setColumnWidth(2, 240);
    connect(m_table, &RowTable::edited, this, &ConfigPage::changed);
    layout->addWidget(m_table, 1);
    m_problem = PageParts::problemLabel(this);
    layout->addWidget(m_problem);
    auto *add = new QPushButton(tr("Add"), this);
    connect(add, &QPushButton::clicked, this, &OptionsPage::onAddOpt);
    layout->addWidget(add, 0, Qt::AlignRight);
}

void OptionsPage::load(const Configuration &config)
{
    m_table->setRowCount(0);
    for (const OptionEntry &option : config.dms.options)
        addOption(option);
}

void OptionsPage::store(Configuration &config) const
{
    config.dms.options.clear();
    for (int row = 0; row < m_table->rowCount(); ++row)
        config.dms.options.append({m_table->isRowEnabled(row), m_table->cellData(row, 1).toInt(),
                                   m_table->text(row, 2), m_table->cellData(row, 3).toInt()});
}

int OptionsPage::showProblems(const QList<ConfigProblem> &problems)
{
    return m_table->showProblems(problems, QStringLiteral("AksOptions"), "Options", 2, m_problem);
}

void OptionsPage::addOption(const OptionEntry &entry)
{
    m_table->addRow(m_table->rowCount(), entry.enabled, {QString(), entry.dmsAks, QString()},
                    {{1, codeList(m_table, PageParts::formatNames(), entry.importType)},
                     {3, codeList(m_table, optionTexts(), entry.option)}});
}

void OptionsPage::onAddOpt()
{
    addOption(OptionEntry{true, 0, QStringLiteral("*"), 2});
    m_table->editItem(m_table->item(m_table->rowCount() - 1, 2));
    emit changed();
}
