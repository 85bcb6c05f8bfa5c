#pragma once
// The users tab: the recipients of the status report.

#include "ui/config/ConfigPage.h"

class RowTable;

class UsersPage : public ConfigPage
{
    Q_OBJECT
public:
    explicit UsersPage(QWidget *parent = nullptr);

    void load(const Configuration &config) override;
    void store(Configuration &config) const override;

public slots:
    void onAddUser();

private:
    RowTable *m_table;
};
