#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// Certificate reader: loads one X.509 certificate (DER or PEM) and offers its fields as text.
class CertMgr : public QObject
{
    Q_OBJECT

public:
    explicit CertMgr(QObject *parent = nullptr);

    int setCertEncoded(const QByteArray &encoded);
    QByteArray certEncoded() const { return m_der; }
    QString lastError() const { return m_lastError; }

    // Names as "C=CH, O=Example, CN=Name", in the certificate's order.
    QString certSubject() const { return m_subject; }
    QString certIssuer() const { return m_issuer; }
    // Upper-case hex digits.
    QString certSerialNumber() const { return m_serialNumber; }
    // "yyyy-MM-dd HH:mm:ss" in UTC.
    QString certEffectiveDate() const { return m_effectiveDate; }
    QString certExpirationDate() const { return m_expirationDate; }
    // Extended key usages as dotted OIDs joined by ",".
    QString certExtendedKeyUsage() const { return m_extendedKeyUsage; }
    // Algorithms as OpenSSL long names, e.g. "rsaEncryption", "sha256WithRSAEncryption".
    QString certPublicKeyAlgorithm() const { return m_publicKeyAlgorithm; }
    QString certSignatureAlgorithm() const { return m_signatureAlgorithm; }
    // "email:a@b.example, DNS:host.example, IP:192.0.2.1, URI:..." in the certificate's order.
    QString certSubjectAltNames() const { return m_subjectAltNames; }
    // Key usage bits by name joined by ", ", e.g. "digitalSignature, keyEncipherment".
    QString certUsage() const { return m_usage; }
    // X.509 version as people count it: "3" for a v3 certificate.
    QString certVersion() const { return m_version; }

private:
    QByteArray m_der;
    QString m_lastError;
    QString m_subject;
    QString m_issuer;
    QString m_serialNumber;
    QString m_effectiveDate;
    QString m_expirationDate;
    QString m_extendedKeyUsage;
    QString m_publicKeyAlgorithm;
    QString m_signatureAlgorithm;
    QString m_subjectAltNames;
    QString m_usage;
    QString m_version;
};
