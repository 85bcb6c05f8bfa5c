#pragma once
// The options tab: an AKS option code for the identifiers matching a pattern, for one import
// format or any.

#include "ui/config/ConfigPage.h"

class QLabel;
class RowTable;

class OptionsPage : public ConfigPage
{
    Q_OBJECT
public:
    explicit OptionsPage(QWidget *parent = nullptr);

    void load(const Configuration &config) override;
    void store(Configuration &config) const override;
    int showProblems(const QList<ConfigProblem> &problems) override;

    RowTable *table() const { return m_table; }

public slots:
    void onAddOpt();

private:
    void addOption(const OptionEntry &entry);

    RowTable *m_table;
    QLabel *m_problem;
};
