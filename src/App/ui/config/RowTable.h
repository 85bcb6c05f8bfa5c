#pragma once
// A table of the configuration editor: column 0 of each row holds its enabled box and its remove
// button (which asks first), the other columns the row's fields, as items or as drop-down lists.

#include "ui/ConfigChecks.h"

#include <QHash>
#include <QTableWidget>

class QComboBox;
class QLabel;

class RowTable : public QTableWidget
{
    Q_OBJECT
public:
    // removeTitle heads the question before a removal, which names the row by its idColumn.
    RowTable(const QStringList &headers, QString removeTitle, int idColumn, QWidget *parent);

    // Inserts a row at row (sorting paused, so it stays there) with its cells' texts and the
    // drop-down lists of some columns, whose changes count as edits; answers its index.
    int addRow(int row, bool enabled, const QStringList &cells, const QHash<int, QComboBox *> &combos = {});

    bool isRowEnabled(int row) const;
    QString text(int row, int column) const; // an item's text or a list's current text
    QVariant cellData(int row, int column) const; // a list's current item data

    // Marks the cells of column that have problems under group and table (keys such as
    // "Mappings/2/Imported") and shows the first one, with its row, in label; answers the count.
    int showProblems(const QList<ConfigProblem> &problems, const QString &group, const char *table, int column,
                     QLabel *label);

signals:
    void edited();

private:
    void askAndRemove(QWidget *cell);

    QString m_removeTitle;
    int m_idColumn;
};
