#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

typedef struct evp_pkey_st EVP_PKEY;

// The certificate stores of this installation: a store is a folder of PEM files under the
// configuration directory, <config>/certs/<store>/ (for example certs/MY/ for the own decryption
// certificates). A file holds a certificate and, for the own stores, its private key. The key is
// kept as OpenSSL's key object only; the file's text is wiped once it has been read.
class CertStore
{
public:
    struct Entry
    {
        QString file;
        QByteArray certificatePem;
        std::shared_ptr<EVP_PKEY> privateKey;  // null when not asked for
        QString subject;
    };

    // Folder of a store, with a trailing "/".
    static QString storePath(const QString &store);

    // The first usable entry of the store (file name order) whose subject matches: "*" takes any,
    // otherwise the text must occur in the subject (case-insensitive). A usable entry has a
    // certificate and, if needKey, a private key that matches it. The password opens encrypted keys.
    static bool find(int storeType, const QString &store, const QString &password, const QString &subject,
                     bool needKey, Entry *entry, QString *error);

    // Every certificate of every PEM file of the store (for trust anchors).
    static QList<QByteArray> certificatesPem(const QString &store);
};
