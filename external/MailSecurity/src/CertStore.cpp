#include "MailSecurity/CertStore.h"

#include "MailSecurity/CertMgr.h"

#include <QDir>
#include <QFile>

#include <openssl/bio.h>
#include <openssl/crypto.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <memory>

namespace {

using BioPtr = std::unique_ptr<BIO, decltype(&BIO_free)>;
using X509Ptr = std::unique_ptr<X509, decltype(&X509_free)>;
using KeyPtr = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;

QByteArray pemOf(X509 *cert)
{
    BioPtr bio(BIO_new(BIO_s_mem()), BIO_free);
    PEM_write_bio_X509(bio.get(), cert);
    char *data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return QByteArray(data, size);
}

QStringList pemFiles(const QString &store)
{
    QDir dir(CertStore::storePath(store));
    QStringList files;
    for (const QString &name : dir.entryList(QDir::Files, QDir::Name))
        files << dir.filePath(name);
    return files;
}

} // namespace

QString CertStore::storePath(const QString &store)
{
    return qEnvironmentVariable("ORVANE_CURRENT_CONFIG_LOCATION") + QStringLiteral("certs/") + store + QLatin1Char('/');
}

bool CertStore::find(int storeType, const QString &store, const QString &password, const QString &subject,
                     bool needKey, Entry *entry, QString *error)
{
    if (storeType != 0) {
        *error = QStringLiteral("Certificate store type %1 is not supported").arg(storeType);
        return false;
    }
    const QByteArray pass = password.toUtf8();
    for (const QString &file : pemFiles(store)) {
        QFile in(file);
        if (!in.open(QIODevice::ReadOnly))
            continue;
        QByteArray pem = in.readAll();
        // The file may hold an unencrypted key: its text does not outlive this pass.
        const std::unique_ptr<QByteArray, void (*)(QByteArray *)> wipe(&pem, [](QByteArray *bytes) {
            OPENSSL_cleanse(bytes->data(), size_t(bytes->size()));
        });
        BioPtr certBio(BIO_new_mem_buf(pem.constData(), int(pem.size())), BIO_free);
        X509Ptr cert(PEM_read_bio_X509(certBio.get(), nullptr, nullptr, nullptr), X509_free);
        if (!cert)
            continue;
        CertMgr reader;
        reader.setCertEncoded(pemOf(cert.get()));
        const QString certSubject = reader.certSubject();
        if (subject != QLatin1String("*") && !certSubject.contains(subject, Qt::CaseInsensitive))
            continue;
        KeyPtr key(nullptr, EVP_PKEY_free);
        if (needKey) {
            BioPtr keyBio(BIO_new_mem_buf(pem.constData(), int(pem.size())), BIO_free);
            key.reset(PEM_read_bio_PrivateKey(keyBio.get(), nullptr, nullptr,
                                              const_cast<char *>(pass.isEmpty() ? "" : pass.constData())));
            if (!key || X509_check_private_key(cert.get(), key.get()) != 1)
                continue;
        }
        entry->file = file;
        entry->certificatePem = pemOf(cert.get());
        entry->privateKey = std::shared_ptr<EVP_PKEY>(key.release(), EVP_PKEY_free);
        entry->subject = certSubject;
        return true;
    }
    *error = QStringLiteral("No usable certificate for subject '%1' in store %2 (%3)")
                 .arg(subject, store, storePath(store));
    return false;
}

QList<QByteArray> CertStore::certificatesPem(const QString &store)
{
    QList<QByteArray> result;
    for (const QString &file : pemFiles(store)) {
        QFile in(file);
        if (!in.open(QIODevice::ReadOnly))
            continue;
        const QByteArray pem = in.readAll();
        BioPtr bio(BIO_new_mem_buf(pem.constData(), int(pem.size())), BIO_free);
        while (X509 *cert = PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)) {
            result << pemOf(cert);
            X509_free(cert);
        }
    }
    return result;
}
