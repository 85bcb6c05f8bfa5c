#include "ui/config/DmsPage.h"

#include "dms/ConfiguredDataPoints.h"
#include "ui/config/PageParts.h"
#include "ui/config/RowTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

struct DpTemplate
{
    const char *aks;
    const char *type;
    const char *value;
};

const DpTemplate kTrdRows[] = {
    {"%AKS%:TRD:CHANGES", "BIT", "0"}, {"%AKS%:TRD:DIFF", "BIT", "0"},      {"%AKS%:TRD:TIME", "BIT", "0"},
    {"%AKS%:TRD:CYCLE", "DWS", "900"}, {"%AKS%:TRD:LIFETIME", "DWS", "31"}, {"%AKS%:TRD:TOL", "FLT", "0.3"},
};

const DpTemplate kAlmRows[] = {
    {"%AKS%:ALM:Alarm1", "BIT", "0"},
    {"%AKS%:ALM:Alarm1:Activ", "BIT", "0"},
    {"%AKS%:ALM:Alarm1:DBGRP", "DWS", "0"},
    {"%AKS%:ALM:Alarm1:Format", "STR", "AlarmGeneral@#c #Z(Kommt:Geht:Quit) #V^NAME #T"},
    {"%AKS%:ALM:Alarm1:Group", "DWS", "998"},
    {"%AKS%:ALM:Alarm1:Pri", "DWS", "0"},
    {"%AKS%:ALM:Alarm1:Prot", "STR", "ALARM"},
    {"%AKS%:ALM:Alarm1:Text", "STR", ""},
    {"%AKS%:ALM:Alarm1:Type", "STR", ">="},
    {"%AKS%:ALM:Alarm1:Value", "FLT", "1.0"},
};

} // namespace

DmsPage::DmsPage(QWidget *parent)
    : ConfigPage(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buildSettings());
    layout->addWidget(buildDataPoints(), 1);
    watchFields();
    connect(m_dpTable, &RowTable::edited, this, &ConfigPage::changed);
}

QLayout *DmsPage::buildSettings()
{
    auto *form = new QFormLayout;
    m_dmsConnection = new QLineEdit(this);
    m_dmsConnection->setToolTip(
        tr("'.' or 'local' or 'ORVANE-DMS' for pipe connection or 'ip:port' for tcp connection"));
    m_pdbsConnection = new QLineEdit(this);
    m_prefix = new QLineEdit(this);
    m_uppercase = new QCheckBox(tr("Make AKS uppercase"), this);
    m_writePdbs = new QCheckBox(tr("Write data to PDBS"), this);
    m_lastToDms = new QCheckBox(tr("Last entry to DMS"), this);
    m_useTrd = new QCheckBox(tr("Use trend configuration"), this);
    m_maxLastUpdate = PageParts::numberField(this);
    m_stateErrorPercent = PageParts::numberField(this);
    form->addRow(tr("DMS"), m_dmsConnection);
    form->addRow(tr("PDBS"), m_pdbsConnection);
    form->addRow(tr("DMS-Name prefix"), m_prefix);
    form->addRow(tr("Max last update"), PageParts::withSuffix(m_maxLastUpdate, tr("minutes")));
    form->addRow(tr("State error on"), PageParts::withSuffix(m_stateErrorPercent, tr("% errors/mail")));
    auto *flags = new QHBoxLayout;
    for (QCheckBox *box : {m_uppercase, m_writePdbs, m_lastToDms, m_useTrd})
        flags->addWidget(box);
    flags->addStretch(1);
    form->addRow(flags);
    return form;
}

QWidget *DmsPage::buildDataPoints()
{
    auto *group = new QGroupBox(tr("Data points"), this);
    auto *box = new QVBoxLayout(group);
    m_dpTable = new RowTable({tr("AKS"), tr("Type"), tr("Value")}, tr("Remove Datapoint"), 1, group);
    m_dpTable->setColumnWidth(1, 320);
    m_dpTable->setSortingEnabled(true);
    box->addWidget(m_dpTable);
    auto *buttons = new QHBoxLayout;
    m_checkAlways = new QCheckBox(tr("Check always"), group);
    buttons->addWidget(m_checkAlways);
    buttons->addStretch(1);
    for (auto [text, slot] : {std::pair{tr("Add"), &DmsPage::onAddDp}, std::pair{tr("Add TRD"), &DmsPage::onAddDpTRD},
                              std::pair{tr("Add ALM"), &DmsPage::onAddDpALM}}) {
        auto *button = new QPushButton(text, group);
        connect(button, &QPushButton::clicked, this, slot);
        buttons->addWidget(button);
    }
    box->addLayout(buttons);
    return group;
}

void DmsPage::load(const Configuration &config)
{
    const DmsConfig &dms = config.dms;
    m_dmsConnection->setText(dms.dmsConnection);
    m_pdbsConnection->setText(dms.pdbsConnection);
    m_prefix->setText(dms.prefix);
    m_writePdbs->setChecked(dms.writeDataToPdbs);
    m_lastToDms->setChecked(dms.writeLastEntryToDms);
    m_useTrd->setChecked(dms.useTrdConfig);
    m_uppercase->setChecked(dms.aksToUppercase);
    m_maxLastUpdate->setValue(dms.maxLastUpdate);
    m_stateErrorPercent->setValue(dms.maxStateErrorPercent);
    m_checkAlways->setChecked(dms.alwaysCheckDps);
    m_dpTable->setRowCount(0);
    for (const DpEntry &dp : dms.dps)
        addDp(m_dpTable->rowCount(), dp.enabled, dp.aks, dp.valType, dp.value);
}

void DmsPage::store(Configuration &config) const
{
    DmsConfig &dms = config.dms;
    dms.dmsConnection = m_dmsConnection->text();
    dms.pdbsConnection = m_pdbsConnection->text();
    dms.prefix = m_prefix->text();
    dms.writeDataToPdbs = m_writePdbs->isChecked();
    dms.writeLastEntryToDms = m_lastToDms->isChecked();
    dms.useTrdConfig = m_useTrd->isChecked();
    dms.aksToUppercase = m_uppercase->isChecked();
    dms.maxLastUpdate = m_maxLastUpdate->value();
    dms.maxStateErrorPercent = m_stateErrorPercent->value();
    dms.alwaysCheckDps = m_checkAlways->isChecked();
    dms.dps.clear();
    for (int row = 0; row < m_dpTable->rowCount(); ++row)
        dms.dps.append({m_dpTable->isRowEnabled(row), m_dpTable->text(row, 1), m_dpTable->text(row, 2),
                        m_dpTable->text(row, 3)});
}

QString DmsPage::dmsConnection() const
{
    return m_dmsConnection->text();
}

void DmsPage::addDp(int row, bool enabled, const QString &aks, const QString &type, const QString &value)
{
    auto *combo = new QComboBox(m_dpTable);
    for (const QString &name : ConfiguredDataPoints::typeNames())
        combo->addItem(name, name);
    // A type the value path does not know (it creates a text point) is kept as written.
    PageParts::selectData(combo, type);
    m_dpTable->addRow(row, enabled, {aks, QString(), value}, {{2, combo}});
}

void DmsPage::onAddDp()
{
    addDp(0, true, QStringLiteral("%AKS%:"), QStringLiteral("STR"), QString());
    m_dpTable->editItem(m_dpTable->item(0, 3));
    emit changed();
}

void DmsPage::onAddDpTRD()
{
    for (const DpTemplate &t : kTrdRows)
        addDp(m_dpTable->rowCount(), true, QString::fromUtf8(t.aks), QString::fromUtf8(t.type), QString::fromUtf8(t.value));
    emit changed();
}

void DmsPage::onAddDpALM()
{
    for (const DpTemplate &t : kAlmRows)
        addDp(m_dpTable->rowCount(), true, QString::fromUtf8(t.aks), QString::fromUtf8(t.type), QString::fromUtf8(t.value));
    emit changed();
}
