#pragma once
// Enciphers and deciphers the one stored secret of the configuration file (the cloud client
// secret) with AES-128-CBC under a key bound to this machine's host name.

#include <QByteArray>

// encrypt: data is the secret's bytes (UTF-8 from the editor), the result the ciphertext.
// decrypt: data is the ciphertext, the result the secret bytes (or, for a value that does not
// decipher with this machine's key, whatever the cipher produced; nothing is reported).
// Empty when the cipher itself fails.
QByteArray cryptSecret(bool encrypt, const QByteArray &data);

// The same with the host name given, so that the key's dependence on it can be checked.
QByteArray cryptSecretForHost(bool encrypt, const QByteArray &data, const QByteArray &hostName);
