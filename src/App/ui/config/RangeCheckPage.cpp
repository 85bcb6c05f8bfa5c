#include "ui/config/RangeCheckPage.h"

#include "ui/config/PageParts.h"
#include "ui/config/RowTable.h"

#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
// The shortest text that reads back as the same number, so an unchanged limit is saved as it was.
QString numberText(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}
} // namespace

RangeCheckPage::RangeCheckPage(QWidget *parent)
    : ConfigPage(parent)
{
    auto *layout = new QVBoxLayout(this);
    m_table = new RowTable({tr("Pattern"), tr("Min"), tr("Max")}, tr("Remove Check"), 1, this);
    m_table->setColumnWidth(1, 320);
    connect(m_table, &RowTable::edited, this, &ConfigPage::changed);
    layout->addWidget(m_table, 1);
    m_problem = PageParts::problemLabel(this);
    layout->addWidget(m_problem);
    auto *add = new QPushButton(tr("Add"), this);
    connect(add, &QPushButton::clicked, this, &RangeCheckPage::onAddCheck);
    layout->addWidget(add, 0, Qt::AlignRight);
}

void RangeCheckPage::load(const Configuration &config)
{
    m_table->setRowCount(0);
    for (const CheckEntry &check : config.dms.checks)
        m_table->addRow(m_table->rowCount(), check.enabled, {check.aks, numberText(check.min), numberText(check.max)});
}

void RangeCheckPage::store(Configuration &config) const
{
    config.dms.checks.clear();
    for (int row = 0; row < m_table->rowCount(); ++row)
        config.dms.checks.append({m_table->isRowEnabled(row), m_table->text(row, 1), m_table->text(row, 2).toDouble(),
                                  m_table->text(row, 3).toDouble()});
}

int RangeCheckPage::showProblems(const QList<ConfigProblem> &problems)
{
    return m_table->showProblems(problems, QStringLiteral("RangeCheck"), "Checks", 1, m_problem);
}

void RangeCheckPage::onAddCheck()
{
    const int row = m_table->addRow(m_table->rowCount(), true,
                                    {QStringLiteral("*:"), QStringLiteral("0"), QStringLiteral("100")});
    m_table->editItem(m_table->item(row, 1));
    emit changed();
}
