#pragma once
// The cloud connection tab: the OAuth client, its secret (shown masked once stored), the
// server addresses and the user.

#include "ui/config/ConfigPage.h"

class QLineEdit;

class CloudPage : public ConfigPage
{
    Q_OBJECT
public:
    explicit CloudPage(QWidget *parent = nullptr);

    void load(const Configuration &config) override;
    void store(Configuration &config) const override;

    // A stored secret is shown as the mask, whether it deciphers on this machine or not.
    void showSecretStored(bool stored);
    // What the secret field shows: the mask keeps the stored secret (see ConfigFile::write).
    QString secretField() const;
    // After a save the stored secret is shown masked again.
    void secretSaved();

private:
    QLineEdit *m_clientId, *m_clientSecret, *m_authUrl, *m_tokenUrl, *m_scope, *m_oAuthUser;
};
