#include "mail/TrustedSigners.h"

#include "MailSecurity/CertStore.h"

#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

struct TrustedSigners::Certificate
{
    explicit Certificate(X509 *x) : cert(x) {}
    ~Certificate() { X509_free(cert); }
    X509 *cert;
};

TrustedSigners::TrustedSigners()
{
    for (const QByteArray &pem : CertStore::certificatesPem(QString::fromLatin1(Store))) {
        BIO *bio = BIO_new_mem_buf(pem.constData(), int(pem.size()));
        if (X509 *cert = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr))
            m_certificates.push_back(std::make_unique<Certificate>(cert));
        BIO_free(bio);
    }
}

TrustedSigners::~TrustedSigners() = default;

QString TrustedSigners::refusal(const QByteArray &signerDer, const QString &signerSubject) const
{
    if (m_certificates.empty())
        return QString();
    const auto *data = reinterpret_cast<const unsigned char *>(signerDer.constData());
    X509 *signer = signerDer.isEmpty() ? nullptr : d2i_X509(nullptr, &data, long(signerDer.size()));
    bool trusted = false;
    for (const auto &anchor : m_certificates) {
        if (!signer)
            break;
        // The signer itself, or a certificate that the trusted one has signed.
        if (X509_cmp(signer, anchor->cert) == 0
            || (X509_check_issued(anchor->cert, signer) == X509_V_OK
                && X509_verify(signer, X509_get0_pubkey(anchor->cert)) == 1)) {
            trusted = true;
            break;
        }
    }
    X509_free(signer);
    if (trusted)
        return QString();
    return QStringLiteral("Signer '%1' is not a trusted signer (certs/%2)").arg(signerSubject, QLatin1String(Store));
}
