#pragma once
// The crypto tab: how signatures are checked and mails decrypted. Its whitelist table takes
// conditions for show only; the file does not hold it.

#include "ui/config/ConfigPage.h"

class QCheckBox;

class CryptoPage : public ConfigPage
{
    Q_OBJECT
public:
    explicit CryptoPage(QWidget *parent = nullptr);

    void load(const Configuration &config) override;
    void store(Configuration &config) const override;

private:
    QCheckBox *m_verifyApi, *m_verifySignature, *m_decryptApi;
};
