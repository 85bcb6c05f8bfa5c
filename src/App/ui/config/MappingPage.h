#pragma once
// The mapping tab: import identifier patterns to DMS addresses or scripts, with value scripts;
// first match wins, so the rows keep their order unless sorted by a header click.

#include "ui/config/ConfigPage.h"

class QLabel;
class RowTable;

class MappingPage : public ConfigPage
{
    Q_OBJECT
public:
    explicit MappingPage(QWidget *parent = nullptr);

    void load(const Configuration &config) override;
    void store(Configuration &config) const override;
    int showProblems(const QList<ConfigProblem> &problems) override;

    RowTable *table() const { return m_table; }

public slots:
    void onAddMap();
    void onMapTableHeaderSortIndicatorChanged(int logicalIndex, Qt::SortOrder order);

private:
    RowTable *m_table;
    QLabel *m_problem;
};
