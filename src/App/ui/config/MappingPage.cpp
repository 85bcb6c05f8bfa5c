#include "ui/config/MappingPage.h"

#include "ui/config/PageParts.h"
#include "ui/config/RowTable.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

MappingPage::MappingPage(QWidget *parent)
    : ConfigPage(parent)
{
    auto *layout = new QVBoxLayout(this);
    m_table = new RowTable({tr("from Import"), tr("to DMS AKS"), tr("Script")}, tr("Remove mapping"), 1, this);
    m_table->setColumnWidth(1, 240);
    m_table->setColumnWidth(2, 240);
    m_table->horizontalHeader()->setSortIndicatorShown(true);
    m_table->horizontalHeader()->setSectionsClickable(true);
    connect(m_table->horizontalHeader(), &QHeaderView::sortIndicatorChanged, this,
            &MappingPage::onMapTableHeaderSortIndicatorChanged);
    connect(m_table, &RowTable::edited, this, &ConfigPage::changed);
    layout->addWidget(m_table, 1);
    m_problem = PageParts::problemLabel(this);
    layout->addWidget(m_problem);
    auto *row = new QHBoxLayout;
    auto *hint = new QLabel(tr("Any configured DMS-name prefix (tab \"DMS / PDBS\") is already prepended to %IAKSx%"), this);
    hint->setWordWrap(true);
    row->addWidget(hint, 1);
    auto *add = new QPushButton(tr("Add"), this);
    connect(add, &QPushButton::clicked, this, &MappingPage::onAddMap);
    row->addWidget(add);
    layout->addLayout(row);
}

void MappingPage::load(const Configuration &config)
{
    m_table->setRowCount(0);
    for (const MappingEntry &map : config.dms.mappings)
        m_table->addRow(m_table->rowCount(), map.enabled, {map.imported, map.dmsAks, map.script});
}

void MappingPage::store(Configuration &config) const
{
    config.dms.mappings.clear();
    for (int row = 0; row < m_table->rowCount(); ++row)
        config.dms.mappings.append({m_table->isRowEnabled(row), m_table->text(row, 1), m_table->text(row, 2),
                                    m_table->text(row, 3)});
}

int MappingPage::showProblems(const QList<ConfigProblem> &problems)
{
    return m_table->showProblems(problems, QStringLiteral("AksMapping"), "Mappings", 1, m_problem);
}

void MappingPage::onAddMap()
{
    m_table->addRow(0, true, {QString(), QString(), QString()});
    m_table->editItem(m_table->item(0, 3));
    emit changed();
}

void MappingPage::onMapTableHeaderSortIndicatorChanged(int logicalIndex, Qt::SortOrder order)
{
    if (logicalIndex > 0)
        m_table->sortItems(logicalIndex, order);
}
