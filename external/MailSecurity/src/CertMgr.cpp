#include "MailSecurity/CertMgr.h"

#include <QStringList>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>

namespace {

using BioPtr = std::unique_ptr<BIO, decltype(&BIO_free)>;

QString bioText(BIO *bio)
{
    char *data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return QString::fromUtf8(data, int(size));
}

QString nameText(const X509_NAME *name)
{
    BioPtr bio(BIO_new(BIO_s_mem()), BIO_free);
    X509_NAME_print_ex(bio.get(), name, 0,
                       (ASN1_STRFLGS_RFC2253 & ~ASN1_STRFLGS_ESC_MSB) | XN_FLAG_SEP_CPLUS_SPC | XN_FLAG_FN_SN);
    return bioText(bio.get());
}

QString timeText(const ASN1_TIME *time)
{
    struct tm tm = {};
    if (!time || ASN1_TIME_to_tm(time, &tm) != 1)
        return QString();
    return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                             tm.tm_hour, tm.tm_min, tm.tm_sec);
}

QString algorithmName(const ASN1_OBJECT *object)
{
    const int nid = OBJ_obj2nid(object);
    if (nid != NID_undef)
        return QString::fromLatin1(OBJ_nid2ln(nid));
    char buffer[128];
    OBJ_obj2txt(buffer, sizeof buffer, object, 1);
    return QString::fromLatin1(buffer);
}

QString altNamesText(X509 *cert)
{
    auto *names = static_cast<GENERAL_NAMES *>(X509_get_ext_d2i(cert, NID_subject_alt_name, nullptr, nullptr));
    if (!names)
        return QString();
    QStringList entries;
    for (int i = 0; i < sk_GENERAL_NAME_num(names); ++i) {
        const GENERAL_NAME *name = sk_GENERAL_NAME_value(names, i);
        switch (name->type) {
        case GEN_EMAIL:
            entries << QStringLiteral("email:") + QString::fromUtf8(reinterpret_cast<const char *>(ASN1_STRING_get0_data(name->d.rfc822Name)), ASN1_STRING_length(name->d.rfc822Name));
            break;
        case GEN_DNS:
            entries << QStringLiteral("DNS:") + QString::fromUtf8(reinterpret_cast<const char *>(ASN1_STRING_get0_data(name->d.dNSName)), ASN1_STRING_length(name->d.dNSName));
            break;
        case GEN_URI:
            entries << QStringLiteral("URI:") + QString::fromUtf8(reinterpret_cast<const char *>(ASN1_STRING_get0_data(name->d.uniformResourceIdentifier)), ASN1_STRING_length(name->d.uniformResourceIdentifier));
            break;
        case GEN_IPADD: {
            const unsigned char *ip = ASN1_STRING_get0_data(name->d.iPAddress);
            const int length = ASN1_STRING_length(name->d.iPAddress);
            if (length == 4) {
                entries << QStringLiteral("IP:%1.%2.%3.%4").arg(ip[0]).arg(ip[1]).arg(ip[2]).arg(ip[3]);
            } else {
                QStringList groups;
                for (int k = 0; k + 1 < length; k += 2)
                    groups << QString::number((ip[k] << 8) | ip[k + 1], 16);
                entries << QStringLiteral("IP:") + groups.join(QLatin1Char(':'));
            }
            break;
        }
        case GEN_DIRNAME:
            entries << QStringLiteral("DirName:") + nameText(name->d.directoryName);
            break;
        default:
            break;
        }
    }
    GENERAL_NAMES_free(names);
    return entries.join(QStringLiteral(", "));
}

QString extendedKeyUsageText(X509 *cert)
{
    auto *usages = static_cast<EXTENDED_KEY_USAGE *>(X509_get_ext_d2i(cert, NID_ext_key_usage, nullptr, nullptr));
    if (!usages)
        return QString();
    QStringList oids;
    for (int i = 0; i < sk_ASN1_OBJECT_num(usages); ++i) {
        char buffer[128];
        OBJ_obj2txt(buffer, sizeof buffer, sk_ASN1_OBJECT_value(usages, i), 1);
        oids << QString::fromLatin1(buffer);
    }
    EXTENDED_KEY_USAGE_free(usages);
    return oids.join(QLatin1Char(','));
}

QString keyUsageText(X509 *cert)
{
    const uint32_t bits = X509_get_key_usage(cert);
    if (bits == UINT32_MAX)
        return QString();
    static const struct { uint32_t bit; const char *name; } names[] = {
        {KU_DIGITAL_SIGNATURE, "digitalSignature"}, {KU_NON_REPUDIATION, "nonRepudiation"},
        {KU_KEY_ENCIPHERMENT, "keyEncipherment"},   {KU_DATA_ENCIPHERMENT, "dataEncipherment"},
        {KU_KEY_AGREEMENT, "keyAgreement"},         {KU_KEY_CERT_SIGN, "keyCertSign"},
        {KU_CRL_SIGN, "cRLSign"},                   {KU_ENCIPHER_ONLY, "encipherOnly"},
        {KU_DECIPHER_ONLY, "decipherOnly"}};
    QStringList set;
    for (const auto &entry : names) {
        if (bits & entry.bit)
            set << QString::fromLatin1(entry.name);
    }
    return set.join(QStringLiteral(", "));
}

} // namespace

CertMgr::CertMgr(QObject *parent) : QObject(parent) {}

int CertMgr::setCertEncoded(const QByteArray &encoded)
{
    m_der.clear();
    m_lastError.clear();
    m_subject = m_issuer = m_serialNumber = m_effectiveDate = m_expirationDate = QString();
    m_extendedKeyUsage = m_publicKeyAlgorithm = m_signatureAlgorithm = QString();
    m_subjectAltNames = m_usage = m_version = QString();

    ERR_clear_error();
    X509 *cert = nullptr;
    if (encoded.contains("-----BEGIN")) {
        BioPtr bio(BIO_new_mem_buf(encoded.constData(), int(encoded.size())), BIO_free);
        cert = PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr);
    } else {
        const auto *data = reinterpret_cast<const unsigned char *>(encoded.constData());
        cert = d2i_X509(nullptr, &data, long(encoded.size()));
    }
    if (!cert) {
        const unsigned long error = ERR_get_error();
        m_lastError = QStringLiteral("Could not read the certificate: %1")
                          .arg(error ? QString::fromLatin1(ERR_reason_error_string(error)) : QStringLiteral("no data"));
        ERR_clear_error();
        return 1;
    }
    std::unique_ptr<X509, decltype(&X509_free)> owner(cert, X509_free);

    unsigned char *der = nullptr;
    const int derSize = i2d_X509(cert, &der);
    m_der = QByteArray(reinterpret_cast<const char *>(der), derSize);
    OPENSSL_free(der);

    m_subject = nameText(X509_get_subject_name(cert));
    m_issuer = nameText(X509_get_issuer_name(cert));
    if (BIGNUM *serial = ASN1_INTEGER_to_BN(X509_get0_serialNumber(cert), nullptr)) {
        char *hex = BN_bn2hex(serial);
        m_serialNumber = QString::fromLatin1(hex);
        OPENSSL_free(hex);
        BN_free(serial);
    }
    m_effectiveDate = timeText(X509_get0_notBefore(cert));
    m_expirationDate = timeText(X509_get0_notAfter(cert));
    m_extendedKeyUsage = extendedKeyUsageText(cert);
    if (X509_PUBKEY *key = X509_get_X509_PUBKEY(cert)) {
        ASN1_OBJECT *algorithm = nullptr;
        if (X509_PUBKEY_get0_param(&algorithm, nullptr, nullptr, nullptr, key) == 1)
            m_publicKeyAlgorithm = algorithmName(algorithm);
    }
    const X509_ALGOR *signature = nullptr;
    X509_get0_signature(nullptr, &signature, cert);
    if (signature) {
        const ASN1_OBJECT *algorithm = nullptr;
        X509_ALGOR_get0(&algorithm, nullptr, nullptr, signature);
        m_signatureAlgorithm = algorithmName(algorithm);
    }
    m_subjectAltNames = altNamesText(cert);
    m_usage = keyUsageText(cert);
    m_version = QString::number(X509_get_version(cert) + 1);
    return 0;
}
