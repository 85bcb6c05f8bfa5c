#include "config/CryptSecret.h"

#include <QString>
#include <QSysInfo>

#include <openssl/evp.h>

#include <memory>

namespace {
// These three texts are part of every stored secret: changing one makes all stored secrets
// unreadable. Never change them.
constexpr char kKeyHead[] = "Qx7#Lm2Pq";          // 9 characters
constexpr char kKeyTail[] = "v9Rt!e";             // 6 characters
constexpr char kVectorText[] = "Kw3$Nz8Bd1Hy5Tq0G"; // 17 characters, the first 16 are used

constexpr char kMarker = 1; // put in front of the plaintext before enciphering

static_assert(sizeof(kKeyHead) == 10 && sizeof(kKeyTail) == 7 && sizeof(kVectorText) == 18);

QByteArray keyFor(const QByteArray &hostName)
{
    // head + host name + tail + one zero byte; never shorter than 16 bytes.
    QByteArray key = QByteArray(kKeyHead) + hostName + QByteArray(kKeyTail);
    key.append('\0');
    return key.left(16);
}
} // namespace

QByteArray cryptSecretForHost(bool encrypt, const QByteArray &data, const QByteArray &hostName)
{
    if (data.isEmpty())
        return {};

    const QByteArray key = keyFor(hostName);
    const QByteArray vector = QByteArray(kVectorText).left(16);

    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                       &EVP_CIPHER_CTX_free);
    if (!ctx)
        return {};
    if (EVP_CipherInit_ex(ctx.get(), EVP_aes_128_cbc(), nullptr,
                          reinterpret_cast<const unsigned char *>(key.constData()),
                          reinterpret_cast<const unsigned char *>(vector.constData()),
                          encrypt ? 1 : 0) != 1)
        return {};

    const QByteArray input = encrypt ? QByteArray(1, kMarker) + data : data;
    // The buffer is sized to the data, so secrets of any length are handled.
    QByteArray buffer(input.size() + EVP_MAX_BLOCK_LENGTH, '\0');
    auto *out = reinterpret_cast<unsigned char *>(buffer.data());
    int produced = 0;
    if (EVP_CipherUpdate(ctx.get(), out, &produced,
                         reinterpret_cast<const unsigned char *>(input.constData()), int(input.size())) != 1)
        return {};
    int finalBytes = 0;
    // A failed final step (wrong key, damaged value) contributes no bytes.
    if (EVP_CipherFinal_ex(ctx.get(), out + produced, &finalBytes) != 1)
        finalBytes = 0;
    buffer.truncate(produced + finalBytes);

    if (!encrypt && !buffer.isEmpty() && buffer.at(0) == kMarker)
        buffer.remove(0, 1);
    return buffer;
}

QByteArray cryptSecret(bool encrypt, const QByteArray &data)
{
    return cryptSecretForHost(encrypt, data, QSysInfo::machineHostName().toLatin1());
}
