#include "ui/config/CryptoPage.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

CryptoPage::CryptoPage(QWidget *parent)
    : ConfigPage(parent)
{
    auto *layout = new QVBoxLayout(this);
    m_verifyApi = new QCheckBox(tr("Use MS Crypto API (Verify Signature)"), this);
    m_verifySignature = new QCheckBox(tr("Verify Signature"), this);
    m_decryptApi = new QCheckBox(tr("Use MS Crypto API (Decrypt)"), this);
    layout->addWidget(m_verifyApi);
    layout->addWidget(m_verifySignature);
    layout->addWidget(m_decryptApi);
    auto *whitelist = new QGroupBox(tr("EMail Whitelist"), this);
    auto *box = new QVBoxLayout(whitelist);
    auto *table = new QTableWidget(0, 4, whitelist);
    table->setHorizontalHeaderLabels({tr("idx"), tr("Enabled"), tr("Header"), tr("Address")});
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->hide();
    box->addWidget(table);
    auto *hint = new QLabel(tr("And conditions separated by \",\", or contitions separated by \"|\""), whitelist);
    hint->setWordWrap(true);
    box->addWidget(hint);
    layout->addWidget(whitelist, 1);
    watchFields();
}

void CryptoPage::load(const Configuration &config)
{
    m_verifyApi->setChecked(config.mail.useMSCryptoAPI_VerifySignature);
    m_decryptApi->setChecked(config.mail.useMSCryptoAPI_Decrypt);
    m_verifySignature->setChecked(config.mail.verifySignature);
}

void CryptoPage::store(Configuration &config) const
{
    config.mail.useMSCryptoAPI_VerifySignature = m_verifyApi->isChecked();
    config.mail.useMSCryptoAPI_Decrypt = m_decryptApi->isChecked();
    config.mail.verifySignature = m_verifySignature->isChecked();
}
