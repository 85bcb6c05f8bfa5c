#include "../common/JsonCases.h"
#include "MailSecurity/MIME.h"

#include <QTest>

namespace {

// The headers of a two-part mail, handed in apart from its body with the line end that ended them.
// The subject is an encoded word.
const QByteArray twoPartHeaders = "Subject: =?ISO-8859-1?Q?Z=E4hlerst=E4nde?= January\r\n"
                                  "MIME-Version: 1.0\r\n"
                                  "Content-Type: multipart/mixed; boundary=\"b\"\r\n";

// The body of the two-part mail: a short text, then the part under test.
QByteArray twoPartBody(const QByteArray &partHeaders, const QByteArray &partBody)
{
    return "--b\r\n"
           "Content-Type: text/plain\r\n"
           "\r\n"
           "See attachment.\r\n"
           "--b\r\n"
           + partHeaders + "\r\n" + partBody + "\r\n--b--\r\n";
}

} // namespace

class TestMime : public QObject
{
    Q_OBJECT

private slots:
    void attachmentPart_data()
    {
        JsonCases::addRows(QStringLiteral("tests/data/mail/mime-parts.json"), QStringLiteral("attachment parts"));
    }

    void attachmentPart()
    {
        QFETCH(const QJsonObject, row);
        const QJsonObject &part = row;
        const auto text = [&part](const char *field) { return part.value(QLatin1String(field)).toString(); };
        const QByteArray decoded = JsonCases::bytes(part.value(QLatin1String("decoded")));

        MIME mime;
        mime.setMessageHeadersString(twoPartHeaders);
        mime.setMessage(twoPartBody(JsonCases::bytes(part.value(QLatin1String("headers"))),
                                    JsonCases::bytes(part.value(QLatin1String("body")))));
        QCOMPARE(mime.decodeFromString(), 0);
        const QList<MIME::Header> headers = {{QStringLiteral("Subject"), QStringLiteral("Z\u00e4hlerst\u00e4nde January")},
                                             {QStringLiteral("MIME-Version"), QStringLiteral("1.0")},
                                             {QStringLiteral("Content-Type"), QStringLiteral("multipart/mixed; boundary=\"b\"")}};
        QCOMPARE(mime.messageHeaders(), headers);
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

    void singlePartEntity()
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

    void undecodable_data()
    {
        QTest::addColumn<QByteArray>("headers");
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QString>("error");

        QTest::newRow("blank lines only") << QByteArray() << QByteArray("\r\n\r\n") << QStringLiteral("No message data to decode");
        QTest::newRow("multipart without boundary") << QByteArray("Content-Type: multipart/mixed")
                                                    << QByteArray("--x\r\n\r\na\r\n--x--\r\n")
                                                    << QStringLiteral("Multipart entity without a boundary");
    }

    void undecodable()
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
};

QTEST_APPLESS_MAIN(TestMime)
#include "tst_mime.moc"
