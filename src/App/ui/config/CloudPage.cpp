#include "ui/config/CloudPage.h"

#include "config/ConfigFile.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {
// Shown greyed in empty fields as the usual values: the Microsoft identity platform and the
// Graph scope. They are hints only, so an empty setting stays empty when saved.
const QString kDefaultAuthUrl = QStringLiteral("https://login.microsoftonline.com/{TENANT_ID}/oauth2/authorize");
const QString kDefaultTokenUrl = QStringLiteral("https://login.microsoftonline.com/{TENANT-ID}/oauth2/token");
const QString kDefaultScope = QStringLiteral("https://graph.microsoft.com/.default");
} // namespace

CloudPage::CloudPage(QWidget *parent)
    : ConfigPage(parent)
{
    auto *group = new QGroupBox(tr("Cloud connection"), this);
    auto *form = new QFormLayout(group);
    m_clientId = new QLineEdit(group);
    m_clientSecret = new QLineEdit(group);
    m_authUrl = new QLineEdit(group);
    m_authUrl->setPlaceholderText(kDefaultAuthUrl);
    m_tokenUrl = new QLineEdit(group);
    m_tokenUrl->setPlaceholderText(kDefaultTokenUrl);
    m_scope = new QLineEdit(group);
    m_scope->setPlaceholderText(kDefaultScope);
    m_oAuthUser = new QLineEdit(group);
    form->addRow(tr("Client Id"), m_clientId);
    form->addRow(tr("Client Secret"), m_clientSecret);
    form->addRow(tr("Authorization URL"), m_authUrl);
    form->addRow(tr("Token URL"), m_tokenUrl);
    form->addRow(tr("Scope"), m_scope);
    form->addRow(tr("User Id"), m_oAuthUser);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addStretch(1);
    watchFields();
}

void CloudPage::load(const Configuration &config)
{
    const MailConfig &mail = config.mail;
    m_clientId->setText(mail.oAuthClientId);
    m_authUrl->setText(mail.oAuthServerAuthURL);
    m_tokenUrl->setText(mail.oAuthServerTokenURL);
    m_scope->setText(mail.oAuthAuthorizationScope);
    m_oAuthUser->setText(mail.oAuthConfigUserId);
}

void CloudPage::store(Configuration &config) const
{
    MailConfig &mail = config.mail;
    mail.oAuthClientId = m_clientId->text();
    mail.oAuthServerAuthURL = m_authUrl->text();
    mail.oAuthServerTokenURL = m_tokenUrl->text();
    mail.oAuthAuthorizationScope = m_scope->text();
    mail.oAuthConfigUserId = m_oAuthUser->text();
}

void CloudPage::showSecretStored(bool stored)
{
    m_clientSecret->setText(stored ? ConfigFile::kSecretMask : QString());
}

QString CloudPage::secretField() const
{
    return m_clientSecret->text();
}

void CloudPage::secretSaved()
{
    if (!m_clientSecret->text().isEmpty())
        m_clientSecret->setText(ConfigFile::kSecretMask);
}
