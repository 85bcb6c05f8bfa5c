#include "MailSecurity/SmimeEngine.h"

#include "MailSecurity/CertMgr.h"
#include "MailSecurity/MIME.h"

#include <QStringList>

#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <memory>

namespace {

using BioPtr = std::unique_ptr<BIO, decltype(&BIO_free)>;
using CmsPtr = std::unique_ptr<CMS_ContentInfo, decltype(&CMS_ContentInfo_free)>;
using X509Ptr = std::unique_ptr<X509, decltype(&X509_free)>;
using StorePtr = std::unique_ptr<X509_STORE, decltype(&X509_STORE_free)>;

struct CertStack
{
    STACK_OF(X509) *stack = sk_X509_new_null();
    ~CertStack() { sk_X509_pop_free(stack, X509_free); }
};

// OpenSSL's reasons for the last failure, oldest first.
QString opensslErrors(const QString &fallback)
{
    QStringList reasons;
    while (const unsigned long error = ERR_get_error()) {
        const char *reason = ERR_reason_error_string(error);
        const char *library = ERR_lib_error_string(error);
        QString text = reason ? QString::fromLatin1(reason) : QStringLiteral("error %1").arg(error, 0, 16);
        if (library)
            text = QString::fromLatin1(library) + QStringLiteral(": ") + text;
        if (!reasons.contains(text))
            reasons << text;
    }
    return reasons.isEmpty() ? fallback : reasons.join(QStringLiteral("; "));
}

BIO *memoryBio(const QByteArray &bytes)
{
    return BIO_new_mem_buf(bytes.constData(), int(bytes.size()));
}

QByteArray bioBytes(BIO *bio)
{
    char *data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return QByteArray(data, size);
}

QByteArray joined(const SmimeEngine::Entity &entity)
{
    return entity.headers + "\r\n\r\n" + entity.body;
}

// The transfer-decoded body of a single-part entity, such as a pkcs7-mime body or a p7s part.
QByteArray decodedBody(const QByteArray &entityBytes)
{
    MIME mime;
    mime.setMessage(entityBytes);
    if (mime.decodeFromString() != 0 || mime.partCount() != 1)
        return QByteArray();
    return mime.partDecodedContent(0);
}

CMS_ContentInfo *readCms(const QByteArray &der)
{
    BioPtr in(memoryBio(der), BIO_free);
    return d2i_CMS_bio(in.get(), nullptr);
}

// Position just after the delimiter line that findDelimiter found at pos.
qsizetype afterDelimiterLine(const QByteArray &body, const QByteArray &boundary, qsizetype pos)
{
    const qsizetype delimiter = body.indexOf("--" + boundary, pos);
    const qsizetype lineEnd = body.indexOf('\n', delimiter);
    return lineEnd < 0 ? body.size() : lineEnd + 1;
}

// A boundary delimiter "--boundary" at the start of a line, searched from pos. Returns the index
// of the line break before it (or of the delimiter itself at the very start).
qsizetype findDelimiter(const QByteArray &body, const QByteArray &boundary, qsizetype pos)
{
    const QByteArray delimiter = "--" + boundary;
    if (pos == 0 && body.startsWith(delimiter))
        return 0;
    for (qsizetype at = body.indexOf("\n" + delimiter, pos); at >= 0; at = body.indexOf("\n" + delimiter, at + 1)) {
        const qsizetype after = at + 1 + delimiter.size();
        const char next = after < body.size() ? body.at(after) : '\n';
        if (next == '\r' || next == '\n' || next == ' ' || next == '\t' || next == '-')
            return at > pos && body.at(at - 1) == '\r' ? at - 1 : at;
    }
    return -1;
}

void readSigner(CMS_ContentInfo *cms, SmimeEngine::Signer *signer)
{
    STACK_OF(CMS_SignerInfo) *infos = CMS_get0_SignerInfos(cms);
    if (!infos || sk_CMS_SignerInfo_num(infos) < 1)
        return;
    CMS_SignerInfo *info = sk_CMS_SignerInfo_value(infos, 0);
    X509 *cert = nullptr;
    X509_ALGOR *digest = nullptr;
    CMS_SignerInfo_get0_algs(info, nullptr, &cert, &digest, nullptr);
    if (digest) {
        const ASN1_OBJECT *object = nullptr;
        X509_ALGOR_get0(&object, nullptr, nullptr, digest);
        signer->signingAlgorithm = QString::fromLatin1(OBJ_nid2sn(OBJ_obj2nid(object)));
    }
    if (cert) {
        unsigned char *der = nullptr;
        const int size = i2d_X509(cert, &der);
        CertMgr reader;
        reader.setCertEncoded(QByteArray(reinterpret_cast<const char *>(der), size));
        OPENSSL_free(der);
        signer->certificateDer = reader.certEncoded();
        signer->issuer = reader.certIssuer();
        signer->subject = reader.certSubject();
        signer->serialNumber = reader.certSerialNumber();
    }
}

} // namespace

SmimeEngine::Entity SmimeEngine::splitEntity(const QByteArray &bytes)
{
    if (bytes.startsWith("\r\n"))
        return {QByteArray(), bytes.mid(2)};
    if (bytes.startsWith('\n'))
        return {QByteArray(), bytes.mid(1)};
    const qsizetype crlf = bytes.indexOf("\r\n\r\n");
    const qsizetype lf = bytes.indexOf("\n\n");
    if (crlf >= 0 && (lf < 0 || crlf < lf))
        return {bytes.left(crlf), bytes.mid(crlf + 4)};
    if (lf >= 0)
        return {bytes.left(lf), bytes.mid(lf + 2)};
    return {bytes, QByteArray()};
}

SmimeEngine::Kind SmimeEngine::kindOf(const Entity &entity)
{
    MIME mime;
    mime.setMessageHeadersString(entity.headers);
    if (mime.decodeFromString() != 0)
        return Plain;
    const QString type = mime.contentType().toLower();
    if (type == QLatin1String("multipart/signed"))
        return DetachedSigned;
    if (type == QLatin1String("application/pkcs7-mime") || type == QLatin1String("application/x-pkcs7-mime")) {
        if (mime.contentTypeParameter(QStringLiteral("smime-type")).toLower() == QLatin1String("signed-data"))
            return OpaqueSigned;
        return Enveloped;
    }
    return Plain;
}

bool SmimeEngine::verify(const Entity &entity, const QList<QByteArray> &extraCertificatesPem, Entity *content,
                         Signer *signer, QString *error)
{
    ERR_clear_error();
    *signer = Signer();
    const Kind kind = kindOf(entity);
    QByteArray signedBytes;  // detached content
    QByteArray der;
    if (kind == DetachedSigned) {
        MIME mime;
        mime.setMessageHeadersString(entity.headers);
        mime.decodeFromString();
        const QByteArray boundary = mime.contentTypeParameter(QStringLiteral("boundary")).toUtf8();
        const qsizetype first = boundary.isEmpty() ? -1 : findDelimiter(entity.body, boundary, 0);
        if (first < 0) {
            *error = QStringLiteral("Signed message without its boundary");
            return false;
        }
        const qsizetype contentStart = afterDelimiterLine(entity.body, boundary, first);
        const qsizetype second = findDelimiter(entity.body, boundary, contentStart);
        if (second < 0) {
            *error = QStringLiteral("Signed message without its signature part");
            return false;
        }
        signedBytes = entity.body.mid(contentStart, second - contentStart);
        const qsizetype signatureStart = afterDelimiterLine(entity.body, boundary, second);
        qsizetype signatureEnd = findDelimiter(entity.body, boundary, signatureStart);
        if (signatureEnd < 0)
            signatureEnd = entity.body.size();
        der = decodedBody(entity.body.mid(signatureStart, signatureEnd - signatureStart));
    } else if (kind == OpaqueSigned) {
        der = decodedBody(joined(entity));
    } else {
        *error = QStringLiteral("The message is not signed");
        return false;
    }

    CmsPtr cms(readCms(der), CMS_ContentInfo_free);
    if (!cms) {
        *error = opensslErrors(QStringLiteral("The signature could not be read"));
        return false;
    }
    if (OBJ_obj2nid(CMS_get0_type(cms.get())) != NID_pkcs7_signed) {
        *error = QStringLiteral("The signature part holds no signed data");
        return false;
    }
    CertStack extra;
    for (const QByteArray &pem : extraCertificatesPem) {
        BioPtr bio(memoryBio(pem), BIO_free);
        if (X509 *cert = PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr))
            sk_X509_push(extra.stack, cert);
    }
    // Find the signer certificate first, so that its fields are known also when the check fails.
    CMS_set1_signers_certs(cms.get(), extra.stack, 0);
    ERR_clear_error();
    readSigner(cms.get(), signer);

    StorePtr store(X509_STORE_new(), X509_STORE_free);
    BioPtr out(BIO_new(BIO_s_mem()), BIO_free);
    BioPtr detached(kind == DetachedSigned ? memoryBio(signedBytes) : nullptr, BIO_free);
    const unsigned int flags = CMS_NO_SIGNER_CERT_VERIFY;
    if (CMS_verify(cms.get(), extra.stack, store.get(), detached.get(), out.get(), flags) != 1) {
        *error = opensslErrors(QStringLiteral("Signature check failed"));
        return false;
    }
    *content = splitEntity(kind == DetachedSigned ? signedBytes : bioBytes(out.get()));
    return true;
}

bool SmimeEngine::decrypt(const Entity &entity, const QByteArray &certificatePem, EVP_PKEY *privateKey,
                          Entity *content, QString *error)
{
    ERR_clear_error();
    if (kindOf(entity) != Enveloped) {
        *error = QStringLiteral("The message is not encrypted");
        return false;
    }
    CmsPtr cms(readCms(decodedBody(joined(entity))), CMS_ContentInfo_free);
    if (!cms) {
        *error = opensslErrors(QStringLiteral("The encrypted data could not be read"));
        return false;
    }
    const int type = OBJ_obj2nid(CMS_get0_type(cms.get()));
    if (type != NID_pkcs7_enveloped && type != NID_id_smime_ct_authEnvelopedData) {
        *error = QStringLiteral("The message holds no enveloped data");
        return false;
    }
    BioPtr certBio(memoryBio(certificatePem), BIO_free);
    X509Ptr cert(PEM_read_bio_X509(certBio.get(), nullptr, nullptr, nullptr), X509_free);
    if (!cert || !privateKey) {
        *error = QStringLiteral("No decryption certificate with private key");
        return false;
    }
    // OpenSSL keeps quiet about a certificate that is no recipient (against oracle attacks);
    // this side knows only its own certificate, so it says so.
    bool recipient = false;
    STACK_OF(CMS_RecipientInfo) *infos = CMS_get0_RecipientInfos(cms.get());
    for (int i = 0; i < sk_CMS_RecipientInfo_num(infos) && !recipient; ++i) {
        CMS_RecipientInfo *info = sk_CMS_RecipientInfo_value(infos, i);
        recipient = CMS_RecipientInfo_type(info) != CMS_RECIPINFO_TRANS
                    || CMS_RecipientInfo_ktri_cert_cmp(info, cert.get()) == 0;
    }
    if (!recipient) {
        CertMgr reader;
        reader.setCertEncoded(certificatePem);
        *error = QStringLiteral("CMS routines: no matching recipient for %1").arg(reader.certSubject());
        return false;
    }
    BioPtr out(BIO_new(BIO_s_mem()), BIO_free);
    if (CMS_decrypt(cms.get(), privateKey, cert.get(), nullptr, out.get(), 0) != 1) {
        *error = opensslErrors(QStringLiteral("Decryption failed"));
        return false;
    }
    *content = splitEntity(bioBytes(out.get()));
    return true;
}
