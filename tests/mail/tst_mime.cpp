#include "MailSecurity/MIME.h"

#include <QFile>
#include <QTest>

#include <zlib.h>

namespace {

QByteArray gzipped(const QByteArray &data)
{
    z_stream stream = {};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&stream, uLong(data.size()))) + 32, Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return out;
}

QByteArray base64Lines(const QByteArray &data)
{
    const QByteArray encoded = data.toBase64();
    QByteArray lines;
    for (qsizetype i = 0; i < encoded.size(); i += 76)
        lines += encoded.mid(i, 76) + "\r\n";
    return lines;
}

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
    void nestedMultipartDecodedAgain();
    void headerStringAndMessageGiveTheWholeEntity();
    void messageHeaders_data();
    void messageHeaders();
    void singlePartEntity();
    void undecodable_data();
    void undecodable();
};

void TestMime::attachmentPart_data()
{
    QTest::addColumn<QByteArray>("headers");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("contentType");
    QTest::addColumn<QString>("contentTypeAttr");
    QTest::addColumn<QString>("disposition");
    QTest::addColumn<QString>("dispositionAttr");
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("filename");
    QTest::addColumn<QByteArray>("decoded");

    const QByteArray csv = "time;value\r\n2024-01-01 00:15;1.5\r\n";
    QTest::newRow("base64 CSV")
        << QByteArray("Content-Type: text/csv; charset=\"us-ascii\"; name=\"data.csv\"\r\n"
                      "Content-Transfer-Encoding: base64\r\n"
                      "Content-Disposition: attachment; filename=\"data.csv\"\r\n")
        << base64Lines(csv) << QStringLiteral("text/csv") << QStringLiteral("charset=\"us-ascii\"; name=\"data.csv\"")
        << QStringLiteral("attachment") << QStringLiteral("filename=\"data.csv\"") << QStringLiteral("base64")
        << QStringLiteral("data.csv") << QStringLiteral("data.csv") << csv;

    const QByteArray packed = gzipped(csv.repeated(50));
    QTest::newRow("gzip attachment stays compressed bytes")
        << QByteArray("Content-Type: application/gzip; name=\"data.csv.gz\"\r\n"
                      "Content-Transfer-Encoding: base64\r\n"
                      "Content-Disposition: attachment; filename=\"data.csv.gz\"\r\n")
        << base64Lines(packed) << QStringLiteral("application/gzip") << QStringLiteral("name=\"data.csv.gz\"")
        << QStringLiteral("attachment") << QStringLiteral("filename=\"data.csv.gz\"") << QStringLiteral("base64")
        << QStringLiteral("data.csv.gz") << QStringLiteral("data.csv.gz") << packed;

    QTest::newRow("quoted-printable UTF-8 with soft line break")
        << QByteArray("Content-Type: text/plain; charset=utf-8\r\n"
                      "Content-Transfer-Encoding: quoted-printable\r\n"
                      "Content-Disposition: inline\r\n")
        << QByteArray("Z=C3=A4hler;Wert=3D1\r\nlange =\r\nZeile\r\n") << QStringLiteral("text/plain")
        << QStringLiteral("charset=\"utf-8\"") << QStringLiteral("inline") << QString()
        << QStringLiteral("quoted-printable") << QString() << QString()
        << QByteArray("Z\xc3\xa4hler;Wert=1\r\nlange Zeile\r\n");

    QTest::newRow("Latin-1 text keeps its bytes")
        << QByteArray("Content-Type: text/csv; charset=ISO-8859-1; name=\"z.csv\"\r\n"
                      "Content-Transfer-Encoding: 8bit\r\n")
        << QByteArray("Z\xe4hler;1\r\n") << QStringLiteral("text/csv") << QStringLiteral("charset=\"ISO-8859-1\"; name=\"z.csv\"")
        << QString() << QString() << QStringLiteral("8bit") << QStringLiteral("z.csv") << QString()
        << QByteArray("Z\xe4hler;1\r\n");

    QTest::newRow("RFC 2231 file name")
        << QByteArray("Content-Type: application/octet-stream\r\n"
                      "Content-Transfer-Encoding: base64\r\n"
                      "Content-Disposition: attachment; filename*=UTF-8''Z%C3%A4hler%20Januar.csv\r\n")
        << base64Lines(csv) << QStringLiteral("application/octet-stream") << QString() << QStringLiteral("attachment")
        << QStringLiteral("filename=\"Z\u00e4hler Januar.csv\"") << QStringLiteral("base64") << QString()
        << QStringLiteral("Z\u00e4hler Januar.csv") << csv;

    QTest::newRow("encoded-word name")
        << QByteArray("Content-Type: text/csv; name=\"=?ISO-8859-1?Q?Z=E4hler.csv?=\"\r\n"
                      "Content-Transfer-Encoding: 7bit\r\n")
        << QByteArray("a;b") << QStringLiteral("text/csv") << QStringLiteral("name=\"Z\u00e4hler.csv\"") << QString()
        << QString() << QStringLiteral("7bit") << QStringLiteral("Z\u00e4hler.csv") << QString() << QByteArray("a;b");

    QTest::newRow("uuencoded")
        << QByteArray("Content-Type: application/octet-stream; name=\"u.bin\"\r\n"
                      "Content-Transfer-Encoding: x-uuencode\r\n")
        << QByteArray("begin 644 u.bin\r\n#86)C\r\n`\r\nend\r\n") << QStringLiteral("application/octet-stream")
        << QStringLiteral("name=\"u.bin\"") << QString() << QString() << QStringLiteral("x-uuencode")
        << QStringLiteral("u.bin") << QString() << QByteArray("abc");
}

void TestMime::attachmentPart()
{
    QFETCH(QByteArray, headers);
    QFETCH(QByteArray, body);
    QFETCH(QString, contentType);
    QFETCH(QString, contentTypeAttr);
    QFETCH(QString, disposition);
    QFETCH(QString, dispositionAttr);
    QFETCH(QString, encoding);
    QFETCH(QString, name);
    QFETCH(QString, filename);
    QFETCH(QByteArray, decoded);

    MIME mime;
    mime.setMessage(mailWithPart(headers, body));
    QCOMPARE(mime.decodeFromString(), 0);
    QCOMPARE(mime.contentType(), QStringLiteral("multipart/mixed"));
    QCOMPARE(mime.contentTypeAttr(), QStringLiteral("boundary=\"b\""));
    QCOMPARE(mime.partCount(), 2);
    QCOMPARE(mime.partDecodedContent(0), QByteArray("See attachment."));
    QCOMPARE(mime.partContentType(1), contentType);
    QCOMPARE(mime.partContentTypeAttr(1), contentTypeAttr);
    QCOMPARE(mime.partContentDisposition(1), disposition);
    QCOMPARE(mime.partContentDispositionAttr(1), dispositionAttr);
    QCOMPARE(mime.partEncoding(1), encoding);
    QCOMPARE(mime.partName(1), name);
    QCOMPARE(mime.partFilename(1), filename);
    QCOMPARE(mime.partDecodedContent(1), decoded);
    QCOMPARE(mime.partSize(1), qint64(decoded.size()));
    QVERIFY(mime.partHeaders(1).startsWith("Content-Type: "));
    QVERIFY(mime.partHeaders(1).endsWith("\r\n"));
    // Out-of-range indexes give empty values.
    QCOMPARE(mime.partContentType(2), QString());
    QCOMPARE(mime.partDecodedContent(-1), QByteArray());
}

// multipart/alternative holding a text and a multipart/mixed with a gzip attachment: the inner
// multipart is decoded again from its headers and decoded content.
void TestMime::nestedMultipartDecodedAgain()
{
    const QByteArray mail = sample("nested-alternative.eml");
    QVERIFY(!mail.isEmpty());
    MIME outer;
    outer.setMessage(mail);
    QCOMPARE(outer.decodeFromString(), 0);
    QCOMPARE(outer.contentType(), QStringLiteral("multipart/alternative"));
    QCOMPARE(outer.partCount(), 2);
    QCOMPARE(outer.partDecodedContent(0),
             QByteArray("Z\xc3\xa4hlerst\xc3\xa4nde im Anhang, eine sehr lange Zeile die weich umbrochen wird."));
    QCOMPARE(outer.partContentType(1), QStringLiteral("multipart/mixed"));

    MIME inner;
    inner.setMessageHeadersString(outer.partHeaders(1));
    inner.setMessage(outer.partDecodedContent(1));
    QCOMPARE(inner.decodeFromString(), 0);
    QCOMPARE(inner.contentType(), QStringLiteral("multipart/mixed"));
    QCOMPARE(inner.partCount(), 2);
    QCOMPARE(inner.partContentType(0), QStringLiteral("text/html"));
    QCOMPARE(inner.partDecodedContent(0), QByteArray("<p>Z\xe4hler</p>"));
    QCOMPARE(inner.partFilename(1), QStringLiteral("values.csv.gz"));
    const QByteArray packed = inner.partDecodedContent(1);
    QVERIFY(packed.startsWith("\x1f\x8b"));
    z_stream stream = {};
    inflateInit2(&stream, 31);
    QByteArray plain(4096, Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(packed.constData()));
    stream.avail_in = uInt(packed.size());
    stream.next_out = reinterpret_cast<Bytef *>(plain.data());
    stream.avail_out = uInt(plain.size());
    QCOMPARE(inflate(&stream, Z_FINISH), Z_STREAM_END);
    plain.resize(qsizetype(stream.total_out));
    inflateEnd(&stream);
    QCOMPARE(plain, sample("nested-alternative.csv"));
}

void TestMime::headerStringAndMessageGiveTheWholeEntity()
{
    const QByteArray mail = sample("nested-alternative.eml");
    const qsizetype split = mail.indexOf("\r\n\r\n");
    for (const QByteArray &headers : {mail.left(split), mail.left(split + 2), mail.left(split + 4)}) {
        MIME mime;
        mime.setMessageHeadersString(headers);
        mime.setMessage(mail.mid(split + 4));
        QCOMPARE(mime.decodeFromString(), 0);
        QCOMPARE(mime.contentType(), QStringLiteral("multipart/alternative"));
        QCOMPARE(mime.partCount(), 2);
        QCOMPARE(mime.messageHeaders().size(), 7);
    }
}

void TestMime::messageHeaders_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");

    QTest::newRow("encoded-word subject") << QStringLiteral("Subject") << QStringLiteral("Z\u00e4hlerst\u00e4nde January");
    QTest::newRow("from") << QStringLiteral("From") << QStringLiteral("Meter Portal <portal@meters.example>");
    QTest::newRow("date") << QStringLiteral("Date") << QStringLiteral("Mon, 1 Jan 2024 10:00:00 +0100");
    QTest::newRow("message id") << QStringLiteral("Message-ID") << QStringLiteral("<nested-1@meters.example>");
    QTest::newRow("content type") << QStringLiteral("Content-Type") << QStringLiteral("multipart/alternative; boundary=\"alt\"");
}

void TestMime::messageHeaders()
{
    QFETCH(QString, name);
    QFETCH(QString, value);
    MIME mime;
    mime.setMessage(sample("nested-alternative.eml"));
    QCOMPARE(mime.decodeFromString(), 0);
    QString found;
    for (const MIME::Header &header : mime.messageHeaders()) {
        if (header.first == name)
            found = header.second;
    }
    QCOMPARE(found, value);
}

void TestMime::singlePartEntity()
{
    MIME mime;
    mime.setMessageHeadersString("Subject: single\r\nContent-Type: text/csv; name=\"one.csv\"\r\nContent-Transfer-Encoding: base64");
    mime.setMessage(base64Lines("a;b\r\n1;2\r\n"));
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

    QTest::newRow("nothing") << QByteArray() << QByteArray() << QStringLiteral("No message data to decode");
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
