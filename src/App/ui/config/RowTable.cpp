#include "ui/config/RowTable.h"

#include "ui/UiResources.h"
#include "ui/config/PageParts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QToolButton>

namespace {
// Rows are inserted with sorting switched off, so that they stay where they are put.
class SortingPause
{
public:
    explicit SortingPause(QTableWidget *table)
        : m_table(table)
        , m_sorting(table->isSortingEnabled())
    {
        table->setSortingEnabled(false);
    }
    ~SortingPause() { m_table->setSortingEnabled(m_sorting); }

private:
    QTableWidget *m_table;
    bool m_sorting;
};
} // namespace

RowTable::RowTable(const QStringList &headers, QString removeTitle, int idColumn, QWidget *parent)
    : QTableWidget(0, int(headers.size()) + 1, parent)
    , m_removeTitle(std::move(removeTitle))
    , m_idColumn(idColumn)
{
    setHorizontalHeaderLabels(QStringList{QString()} + headers);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setStretchLastSection(true);
    verticalHeader()->hide();
    setSelectionBehavior(QAbstractItemView::SelectRows);
    connect(this, &QTableWidget::itemChanged, this, &RowTable::edited);
}

int RowTable::addRow(int row, bool enabled, const QStringList &cells, const QHash<int, QComboBox *> &combos)
{
    SortingPause pause(this);
    insertRow(row);
    auto *cell = new QWidget(this);
    auto *layout = new QHBoxLayout(cell);
    layout->setContentsMargins(4, 0, 4, 0);
    auto *box = new QCheckBox(cell);
    box->setChecked(enabled);
    box->setToolTip(tr("Enabled"));
    connect(box, &QCheckBox::toggled, this, &RowTable::edited);
    auto *remove = new QToolButton(cell);
    remove->setIcon(UiResources::trashIcon());
    remove->setAutoRaise(true);
    remove->setToolTip(tr("Remove"));
    connect(remove, &QToolButton::clicked, this, [this, cell] { askAndRemove(cell); });
    layout->addWidget(box);
    layout->addWidget(remove);
    setCellWidget(row, 0, cell);
    setItem(row, 0, new QTableWidgetItem);
    for (int column = 0; column < cells.size(); ++column)
        setItem(row, column + 1, new QTableWidgetItem(cells[column]));
    for (auto it = combos.cbegin(); it != combos.cend(); ++it) {
        connect(it.value(), &QComboBox::currentIndexChanged, this, &RowTable::edited);
        setCellWidget(row, it.key(), it.value());
    }
    setColumnWidth(0, cell->sizeHint().width());
    return row;
}

bool RowTable::isRowEnabled(int row) const
{
    QWidget *cell = cellWidget(row, 0);
    auto *box = cell ? cell->findChild<QCheckBox *>() : nullptr;
    return box && box->isChecked();
}

QString RowTable::text(int row, int column) const
{
    if (auto *combo = qobject_cast<QComboBox *>(cellWidget(row, column)))
        return combo->currentText();
    const QTableWidgetItem *cell = item(row, column);
    return cell ? cell->text() : QString();
}

QVariant RowTable::cellData(int row, int column) const
{
    auto *combo = qobject_cast<QComboBox *>(cellWidget(row, column));
    return combo ? combo->currentData() : QVariant();
}

int RowTable::showProblems(const QList<ConfigProblem> &problems, const QString &group, const char *table, int column,
                           QLabel *label)
{
    QString first;
    int count = 0;
    for (int row = 0; row < rowCount(); ++row) {
        QString problem;
        for (const ConfigProblem &p : problems) {
            if (p.group == group && p.key.startsWith(ConfigChecks::rowKey(table, row, "")))
                problem = p.text;
        }
        if (QTableWidgetItem *cell = item(row, column)) {
            cell->setBackground(problem.isEmpty() ? QBrush() : QBrush(QColor(255, 210, 210)));
            cell->setToolTip(problem);
        }
        if (!problem.isEmpty() && count++ == 0)
            first = tr("Row %1: %2").arg(row + 1).arg(problem);
    }
    PageParts::showProblem(label, first);
    return count;
}

void RowTable::askAndRemove(QWidget *cell)
{
    const int row = indexAt(cell->pos()).row();
    if (row < 0)
        return;
    const QString question = tr("Remove '%1' ?").arg(text(row, m_idColumn));
    if (QMessageBox::question(this, m_removeTitle, question, QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    removeRow(row);
    emit edited();
}
