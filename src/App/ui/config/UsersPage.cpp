#include "ui/config/UsersPage.h"

#include "ui/config/RowTable.h"

#include <QPushButton>
#include <QVBoxLayout>

UsersPage::UsersPage(QWidget *parent)
    : ConfigPage(parent)
{
    auto *layout = new QVBoxLayout(this);
    m_table = new RowTable({tr("Name"), tr("Address")}, tr("Remove User"), 1, this);
    m_table->setHorizontalHeaderItem(0, new QTableWidgetItem(tr("Enabled")));
    m_table->setColumnWidth(1, 240);
    connect(m_table, &RowTable::edited, this, &ConfigPage::changed);
    layout->addWidget(m_table, 1);
    auto *add = new QPushButton(tr("Add"), this);
    connect(add, &QPushButton::clicked, this, &UsersPage::onAddUser);
    layout->addWidget(add, 0, Qt::AlignRight);
}

void UsersPage::load(const Configuration &config)
{
    m_table->setRowCount(0);
    for (const ReportUser &user : config.report.users)
        m_table->addRow(m_table->rowCount(), user.enabled, {user.name, user.address});
}

void UsersPage::store(Configuration &config) const
{
    config.report.users.clear();
    for (int row = 0; row < m_table->rowCount(); ++row)
        config.report.users.append({m_table->isRowEnabled(row), m_table->text(row, 1), m_table->text(row, 2)});
}

void UsersPage::onAddUser()
{
    const int row = m_table->addRow(m_table->rowCount(), true, {QString(), QString()});
    m_table->editItem(m_table->item(row, 1));
    emit changed();
}
