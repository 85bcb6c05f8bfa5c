#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

typedef struct evp_pkey_st EVP_PKEY;

// S/MIME on one MIME entity (header block and body) with OpenSSL CMS: signature checks of
// multipart/signed (detached) and application/pkcs7-mime signed-data (opaque) entities, and
// decryption of enveloped data. A signature check tests the signature against the signer
// certificate the mail carries (or one given); trust in the signer's chain is not required.
class SmimeEngine
{
public:
    struct Entity
    {
        QByteArray headers;  // header block without the empty line that ends it
        QByteArray body;
    };
    enum Kind { Plain, DetachedSigned, OpaqueSigned, Enveloped };

    struct Signer
    {
        QByteArray certificateDer;
        QString issuer;
        QString subject;
        QString serialNumber;
        QString signingAlgorithm;  // digest, e.g. "sha256"
    };

    static Kind kindOf(const Entity &entity);
    // Splits an entity at its first empty line.
    static Entity splitEntity(const QByteArray &bytes);

    // Checks the signature; on success *content is the signed entity. *signer is filled whenever
    // the signature could be read, also when the check fails.
    static bool verify(const Entity &entity, const QList<QByteArray> &extraCertificatesPem, Entity *content,
                       Signer *signer, QString *error);
    // Decrypts enveloped data for the given certificate (PEM) and its private key.
    static bool decrypt(const Entity &entity, const QByteArray &certificatePem, EVP_PKEY *privateKey,
                        Entity *content, QString *error);
};
