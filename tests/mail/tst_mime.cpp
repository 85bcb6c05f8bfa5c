#include "../common/JsonCases.h"
#include "MailSecurity/MIME.h"

#include <QFile>
#include <QTest>

namespace {

// A two-part mail: a short text, then the part under test.
QByteArray mailWithPart(const QByteArray &partHeaders, const QByteArray &partBody)
{
    return "Subject: test\r\n"
           "MIME-Version: 1.0\r\n"
           "Content-Type: multipart/mixed; boundary=\"b\"\r\n"
           "\r\n"
           "--b\r\n"
           "Content-Type: text/plain\r\n"
           "\r\n"
           "See attachment.\r\n"
           "--b\r\n"
           + partHeaders + "\r\n" + partBody + "\r\n--b--\r\n";
}

QByteArray sample(const char *name)
{
    QFile file(QStringLiteral(QUILLON_SOURCE_DIR "/tests/data/mail/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestMime : public QObject
{
    Q_OBJECT

private slots:
    void attachmentPart_data();
    void attachmentPart();
    void messageHeaders_data();
    void messageHeaders();
    void singlePartEntity();
    void undecodable_data();
    void undecodable();
};

// The parts and what MIME reports of them are written out in the cases file.
void TestMime::attachmentPart_data()
{
    QTest::addColumn<QJsonObject>("part");
    for (const QJsonValue &part : JsonCases::load(QStringLiteral("tests/data/mail/mime-parts.json"), QStringLiteral("attachment parts")))
        QTest::newRow(qPrintable(part[QLatin1String("case")].toString())) << part.toObject();
}

void TestMime::attachmentPart()
{
    QFETCH(QJsonObject, part);
    const auto text = [&part](const char *field) { return part.value(QLatin1String(field)).toString(); };
    const QByteArray decoded = JsonCases::bytes(part.value(QLatin1String("decoded")));

    MIME mime;
    mime.setMessage(mailWithPart(JsonCases::bytes(part.value(QLatin1String("headers"))),
                                 JsonCases::bytes(part.value(QLatin1String("body")))));
    QCOMPARE(mime.decodeFromString(), 0);
    QCOMPARE(mime.contentType(), QStringLiteral("multipart/mixed"));
    QCOMPARE(mime.contentTypeAttr(), QStringLiteral("boundary=\"b\""));
    QCOMPARE(mime.partCount(), 2);
    QCOMPARE(mime.partDecodedContent(0), QByteArray("See attachment."));
    QCOMPARE(mime.partContentType(1), text("contentType"));
    QCOMPARE(mime.partContentTypeAttr(1), text("contentTypeAttr"));
    QCOMPARE(mime.partContentDisposition(1), text("disposition"));
    QCOMPARE(mime.partContentDispositionAttr(1), text("dispositionAttr"));
    QCOMPARE(mime.partEncoding(1), text("encoding"));
    QCOMPARE(mime.partName(1), text("partName"));
    QCOMPARE(mime.partFilename(1), text("filename"));
    QCOMPARE(mime.partDecodedContent(1), decoded);
    QCOMPARE(mime.partSize(1), qint64(decoded.size()));
    QVERIFY(mime.partHeaders(1).startsWith("Content-Type: "));
    QVERIFY(mime.partHeaders(1).endsWith("\r\n"));
    // Out-of-range indexes give empty values.
    QCOMPARE(mime.partContentType(2), QString());
    QCOMPARE(mime.partDecodedContent(-1), QByteArray());
}

// The mail's headers, read with the message or given apart from it; line ends left on headers
// given apart are dropped before the blank line that parts them from the body.
void TestMime::messageHeaders_data()
{
    QTest::addColumn<int>("headerEnd");  // -1: headers not given apart
    QTest::newRow("whole mail") << -1;
    QTest::newRow("headers apart, one line end") << 2;
}

void TestMime::messageHeaders()
{
    QFETCH(int, headerEnd);
    const QByteArray mail = sample("nested-alternative.eml");
    const qsizetype split = mail.indexOf("\r\n\r\n");
    MIME mime;
    if (headerEnd < 0) {
        mime.setMessage(mail);
    } else {
        mime.setMessageHeadersString(mail.left(split + headerEnd));
        mime.setMessage(mail.mid(split + 4));
    }
    QCOMPARE(mime.decodeFromString(), 0);
    QCOMPARE(mime.contentType(), QStringLiteral("multipart/alternative"));
    QCOMPARE(mime.partCount(), 2);
    const QList<MIME::Header> expected = {
        {QStringLiteral("From"), QStringLiteral("Meter Portal <portal@meters.example>")},
        {QStringLiteral("To"), QStringLiteral("Quillon <quillon@driver.example>")},
        {QStringLiteral("Subject"), QStringLiteral("Z\u00e4hlerst\u00e4nde January")},  // an encoded word, decoded
        {QStringLiteral("Date"), QStringLiteral("Mon, 1 Jan 2024 10:00:00 +0100")},
        {QStringLiteral("Message-ID"), QStringLiteral("<nested-1@meters.example>")},
        {QStringLiteral("MIME-Version"), QStringLiteral("1.0")},
        {QStringLiteral("Content-Type"), QStringLiteral("multipart/alternative; boundary=\"alt\"")}};
    QCOMPARE(mime.messageHeaders(), expected);
}

void TestMime::singlePartEntity()
{
    MIME mime;
    mime.setMessageHeadersString("Subject: single\r\nContent-Type: text/csv; name=\"one.csv\"\r\nContent-Transfer-Encoding: base64");
    mime.setMessage("YTtiDQoxOzINCg==\r\n");
    QCOMPARE(mime.decodeFromString(), 0);
    QCOMPARE(mime.contentType(), QStringLiteral("text/csv"));
    QCOMPARE(mime.partCount(), 1);
    QCOMPARE(mime.partName(0), QStringLiteral("one.csv"));
    QCOMPARE(mime.partDecodedContent(0), QByteArray("a;b\r\n1;2\r\n"));
}

void TestMime::undecodable_data()
{
    QTest::addColumn<QByteArray>("headers");
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("error");

    QTest::newRow("blank lines only") << QByteArray() << QByteArray("\r\n\r\n") << QStringLiteral("No message data to decode");
    QTest::newRow("multipart without boundary") << QByteArray("Content-Type: multipart/mixed")
                                                << QByteArray("--x\r\n\r\na\r\n--x--\r\n")
                                                << QStringLiteral("Multipart entity without a boundary");
}

void TestMime::undecodable()
{
    QFETCH(QByteArray, headers);
    QFETCH(QByteArray, message);
    QFETCH(QString, error);
    MIME mime;
    mime.setMessageHeadersString(headers);
    mime.setMessage(message);
    QVERIFY(mime.decodeFromString() != 0);
    QCOMPARE(mime.lastError(), error);
    QCOMPARE(mime.partCount(), 0);
    QCOMPARE(mime.contentType(), QString());
}

QTEST_APPLESS_MAIN(TestMime)
#include "tst_mime.moc"
