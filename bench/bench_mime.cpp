// links: MailSecurity quillon_test_fixtures
// Throughput of the mail components: MIME decoding of a mail with a large base64 attachment
// (against a bare base64 decode of the same bytes as the peer), the IMAP response tokenizer on
// one large literal and on many small responses, and S/MIME checks of a signed and an encrypted
// mail. Prints its figures; run by hand.
#include "MailSecurity/ImapTokenizer.h"
#include "MailSecurity/MIME.h"
#include "MailSecurity/SIMAP.h"
#include "fixtures/SmimeFactory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

template <typename Work>
double secondsPerRun(int runs, Work work)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < runs; ++i)
        work();
    return double(timer.nsecsElapsed()) / 1e9 / runs;
}

QByteArray csvOf(qsizetype bytes)
{
    QByteArray csv;
    for (int i = 0; csv.size() < bytes; ++i)
        csv += "2024-01-01 00:" + QByteArray::number(i % 60) + ";" + QByteArray::number(i * 0.25) + "\r\n";
    return csv;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const double mb = 1024.0 * 1024.0;

    const QByteArray csv = csvOf(4 * 1024 * 1024);
    const QByteArray mail = SmimeFactory::plainMail(QStringLiteral("Bench"), QStringLiteral("Mon, 1 Jan 2024 10:00:00 +0100"),
                                                    "big.csv", csv);
    const qsizetype bodyStart = mail.indexOf("base64\r\nContent-Disposition");
    const QByteArray encoded = mail.mid(mail.indexOf("\r\n\r\n", bodyStart) + 4);
    const double mimeSeconds = secondsPerRun(10, [&] {
        MIME mime;
        mime.setMessage(mail);
        mime.decodeFromString();
        if (mime.partDecodedContent(1).size() != csv.size())
            std::fprintf(stderr, "decoding lost bytes\n");
    });
    const double base64Seconds = secondsPerRun(10, [&] { (void)QByteArray::fromBase64(encoded); });
    std::printf("MIME decode of a %.1f MB mail: %.1f MB/s; bare base64 decode: %.1f MB/s; ratio %.2f\n",
                mail.size() / mb, mail.size() / mb / mimeSeconds, encoded.size() / mb / base64Seconds,
                mimeSeconds / base64Seconds);

    const QByteArray literal = "* 1 FETCH (BODY[TEXT] {" + QByteArray::number(mail.size()) + "}\r\n" + mail + ")\r\n";
    const double literalSeconds = secondsPerRun(20, [&] {
        ImapResponse response;
        qsizetype consumed = 0;
        ImapTokenizer::parse(literal, &response, &consumed, nullptr, nullptr);
    });
    QByteArray small;
    for (int i = 1; i <= 10000; ++i)
        small += "* " + QByteArray::number(i) + " FETCH (UID " + QByteArray::number(i)
                 + " FLAGS (\\Seen) ENVELOPE (\"Mon, 1 Jan 2024 10:00:00 +0100\" \"Meter values\" "
                   "((\"Portal\" NIL \"portal\" \"meters.example\")) NIL NIL NIL NIL NIL NIL \"<id@x>\"))\r\n";
    const double smallSeconds = secondsPerRun(5, [&] {
        qsizetype offset = 0;
        const QByteArray view = small;
        while (offset < view.size()) {
            ImapResponse response;
            qsizetype consumed = 0;
            ImapTokenizer::parse(QByteArray::fromRawData(view.constData() + offset, view.size() - offset), &response,
                                 &consumed, nullptr, nullptr);
            if (consumed == 0)
                break;
            offset += consumed;
        }
    });
    std::printf("Tokenizer: one %.1f MB literal at %.1f MB/s; 10000 FETCH envelopes at %.0f responses/s\n",
                literal.size() / mb, literal.size() / mb / literalSeconds, 10000 / smallSeconds);

    SmimeFactory factory;
    QString error;
    QTemporaryDir config;
    if (!factory.create(&error) || !factory.installRecipient(config.filePath(QStringLiteral("certs/MY")))) {
        std::fprintf(stderr, "S/MIME fixture: %s\n", qPrintable(error));
        return 1;
    }
    qputenv("ORVANE_CURRENT_CONFIG_LOCATION", QFile::encodeName(config.path() + QLatin1Char('/')));
    const QByteArray small_mail = SmimeFactory::plainMail(QStringLiteral("Bench"), QStringLiteral("Mon, 1 Jan 2024 10:00:00 +0100"),
                                                          "values.csv", csvOf(64 * 1024));
    for (const auto &[label, secured] : {std::pair{"verify detached signature", factory.signedDetached(small_mail)},
                                         std::pair{"decrypt", factory.encrypted(small_mail)}}) {
        const qsizetype split = secured.indexOf("\r\n\r\n");
        const bool decrypting = QByteArray(label) == "decrypt";
        const double seconds = secondsPerRun(50, [&] {
            SIMAP imap;
            imap.setCertificate(0, QStringLiteral("MY"), QString(), QStringLiteral("*"));
            imap.setMessageHeadersString(QString::fromLatin1(secured.left(split)));
            imap.setMessageText(QString::fromLatin1(secured.mid(split + 4)));
            if ((decrypting ? imap.decrypt() : imap.verifySignature()) != 0)
                std::fprintf(stderr, "%s failed: %s\n", label, qPrintable(imap.lastError()));
        });
        std::printf("S/MIME %s of a %.0f kB mail: %.2f ms per mail\n", label, secured.size() / 1024.0, seconds * 1000);
    }
    return 0;
}
