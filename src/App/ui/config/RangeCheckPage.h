#pragma once
// The range check tab: a minimum and a maximum for the points matching a pattern.

#include "ui/config/ConfigPage.h"

class QLabel;
class RowTable;

class RangeCheckPage : public ConfigPage
{
    Q_OBJECT
public:
    explicit RangeCheckPage(QWidget *parent = nullptr);

    void load(const Configuration &config) override;
    void store(Configuration &config) const override;
    int showProblems(const QList<ConfigProblem> &problems) override;

    RowTable *table() const { return m_table; }

public slots:
    void onAddCheck();

private:
    RowTable *m_table;
    QLabel *m_problem;
};
