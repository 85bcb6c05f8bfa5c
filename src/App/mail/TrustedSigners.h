#pragma once
// Who may send values: the operator's folder of trusted signer certificates (certificate store
// "SIGNERS", cfg/certs/SIGNERS/). While it holds no certificate every good signature counts;
// once it holds any, a signer must be one of them or be issued by one of them.

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

class TrustedSigners
{
public:
    static constexpr const char *Store = "SIGNERS";

    // Reads the store as it is now.
    TrustedSigners();
    ~TrustedSigners();

    bool isEmpty() const { return m_certificates.empty(); }
    // Empty when the signer (DER certificate) may send values, else why not.
    QString refusal(const QByteArray &signerDer, const QString &signerSubject) const;

private:
    struct Certificate;
    std::vector<std::unique_ptr<Certificate>> m_certificates;
};
