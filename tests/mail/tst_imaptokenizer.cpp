#include "MailSecurity/ImapTokenizer.h"

#include <QTest>

// Byte arrays with embedded NUL bytes.
#define BYTES(text) QByteArray(text, sizeof(text) - 1)

// Renders a value list compactly, so that a row can state the expected structure in one string:
// atoms as they are, strings in double quotes, NIL as NIL, lists in parentheses.
static QByteArray render(const QList<ImapValue> &values)
{
    QByteArrayList parts;
    for (const ImapValue &value : values) {
        switch (value.kind) {
        case ImapValue::Atom: parts << value.text; break;
        case ImapValue::String: parts << '"' + value.text + '"'; break;
        case ImapValue::Nil: parts << "NIL"; break;
        case ImapValue::List: parts << '(' + render(value.items) + ')'; break;
        }
    }
    return parts.join(' ');
}

class TestImapTokenizer : public QObject
{
    Q_OBJECT

private slots:
    void completeResponses_data();
    void completeResponses();
    void incompleteResponses_data();
    void incompleteResponses();
    void malformedResponses_data();
    void malformedResponses();
    void consumesOneResponseAtATime();
};

void TestImapTokenizer::completeResponses_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("tag");
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint64>("number");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("values");

    QTest::newRow("greeting with capability code")
        << QByteArray("* OK [CAPABILITY IMAP4rev1 STARTTLS AUTH=PLAIN] Dovecot ready.\r\n") << int(ImapResponse::Untagged)
        << QByteArray() << QByteArray("OK") << QByteArray("CAPABILITY IMAP4rev1 STARTTLS AUTH=PLAIN")
        << QByteArray("Dovecot ready.") << qint64(-1) << QByteArray() << QByteArray();
    QTest::newRow("tagged failure keeps the server's text")
        << QByteArray("A7 NO [AUTHENTICATIONFAILED] Authentication failed.\r\n") << int(ImapResponse::Tagged)
        << QByteArray("A7") << QByteArray("NO") << QByteArray("AUTHENTICATIONFAILED")
        << QByteArray("Authentication failed.") << qint64(-1) << QByteArray() << QByteArray();
    QTest::newRow("tagged status in lower case, no text")
        << QByteArray("a1 ok\r\n") << int(ImapResponse::Tagged) << QByteArray("a1") << QByteArray("OK") << QByteArray()
        << QByteArray() << qint64(-1) << QByteArray() << QByteArray();
    QTest::newRow("continuation")
        << QByteArray("+ Ready for literal data\r\n") << int(ImapResponse::Continuation) << QByteArray() << QByteArray()
        << QByteArray() << QByteArray("Ready for literal data") << qint64(-1) << QByteArray() << QByteArray();
    QTest::newRow("bare continuation")
        << QByteArray("+\r\n") << int(ImapResponse::Continuation) << QByteArray() << QByteArray() << QByteArray()
        << QByteArray() << qint64(-1) << QByteArray() << QByteArray();
    QTest::newRow("exists count")
        << QByteArray("* 23 EXISTS\r\n") << int(ImapResponse::Untagged) << QByteArray() << QByteArray() << QByteArray()
        << QByteArray() << qint64(23) << QByteArray("EXISTS") << QByteArray();
    QTest::newRow("list with flags, quoted delimiter and quoted name")
        << QByteArray("* LIST (\\HasNoChildren \\Marked) \".\" \"Success Folder\"\r\n") << int(ImapResponse::Untagged)
        << QByteArray() << QByteArray() << QByteArray() << QByteArray() << qint64(-1) << QByteArray("LIST")
        << QByteArray("(\\HasNoChildren \\Marked) \".\" \"Success Folder\"");
    QTest::newRow("list with NIL delimiter and atom name")
        << QByteArray("* LIST () NIL INBOX\r\n") << int(ImapResponse::Untagged) << QByteArray() << QByteArray()
        << QByteArray() << QByteArray() << qint64(-1) << QByteArray("LIST") << QByteArray("() NIL INBOX");
    QTest::newRow("quoted string with escapes")
        << QByteArray("* LIST () \"/\" \"a \\\"b\\\" \\\\c\"\r\n") << int(ImapResponse::Untagged) << QByteArray()
        << QByteArray() << QByteArray() << QByteArray() << qint64(-1) << QByteArray("LIST")
        << QByteArray("() \"/\" \"a \"b\" \\c\"");
    QTest::newRow("literal with CRLF and parentheses inside")
        << QByteArray("* 1 FETCH (BODY[HEADER] {13}\r\nA: (b\r\n\r\nc)\r\n)\r\n") << int(ImapResponse::Untagged)
        << QByteArray() << QByteArray() << QByteArray() << QByteArray() << qint64(1) << QByteArray("FETCH")
        << QByteArray("(BODY[HEADER] \"A: (b\r\n\r\nc)\r\n\")");
    QTest::newRow("empty literal")
        << QByteArray("* 2 FETCH (BODY[TEXT] {0}\r\n)\r\n") << int(ImapResponse::Untagged) << QByteArray() << QByteArray()
        << QByteArray() << QByteArray() << qint64(2) << QByteArray("FETCH") << QByteArray("(BODY[TEXT] \"\")");
    QTest::newRow("literal8")
        << BYTES("* 3 FETCH (BINARY[1] ~{3}\r\n\0\1\2)\r\n") << int(ImapResponse::Untagged) << QByteArray()
        << QByteArray() << QByteArray() << QByteArray() << qint64(3) << QByteArray("FETCH")
        << BYTES("(BINARY[1] \"\0\1\2\")");
    QTest::newRow("section with spaces and partial")
        << QByteArray("* 4 FETCH (BODY[HEADER.FIELDS (DATE FROM)]<0> \"x\")\r\n") << int(ImapResponse::Untagged)
        << QByteArray() << QByteArray() << QByteArray() << QByteArray() << qint64(4) << QByteArray("FETCH")
        << QByteArray("(BODY[HEADER.FIELDS (DATE FROM)]<0> \"x\")");
    QTest::newRow("envelope with nested address lists and NIL")
        << QByteArray("* 5 FETCH (UID 9 ENVELOPE (\"Mon, 1 Jan 2024 10:00:00 +0100\" \"Hi\" "
                      "((\"Portal\" NIL \"portal\" \"meters.example\")) NIL NIL NIL NIL NIL NIL \"<id@x>\"))\r\n")
        << int(ImapResponse::Untagged) << QByteArray() << QByteArray() << QByteArray() << QByteArray() << qint64(5)
        << QByteArray("FETCH")
        << QByteArray("(UID 9 ENVELOPE (\"Mon, 1 Jan 2024 10:00:00 +0100\" \"Hi\" ((\"Portal\" NIL \"portal\" "
                      "\"meters.example\")) NIL NIL NIL NIL NIL NIL \"<id@x>\"))");
    QTest::newRow("nil in any case")
        << QByteArray("* 6 FETCH (X nil Y Nil)\r\n") << int(ImapResponse::Untagged) << QByteArray() << QByteArray()
        << QByteArray() << QByteArray() << qint64(6) << QByteArray("FETCH") << QByteArray("(X NIL Y NIL)");
    QTest::newRow("bare line feed ends a line")
        << QByteArray("* BYE closing\n") << int(ImapResponse::Untagged) << QByteArray() << QByteArray("BYE")
        << QByteArray() << QByteArray("closing") << qint64(-1) << QByteArray() << QByteArray();
    QTest::newRow("status text with unbalanced characters")
        << QByteArray("* OK Still here ( \" {5}\r\n") << int(ImapResponse::Untagged) << QByteArray() << QByteArray("OK")
        << QByteArray() << QByteArray("Still here ( \" {5}") << qint64(-1) << QByteArray() << QByteArray();
}

void TestImapTokenizer::completeResponses()
{
    QFETCH(QByteArray, input);
    QFETCH(int, kind);
    QFETCH(QByteArray, tag);
    QFETCH(QByteArray, status);
    QFETCH(QByteArray, code);
    QFETCH(QByteArray, text);
    QFETCH(qint64, number);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, values);

    ImapResponse response;
    qsizetype consumed = 0;
    qsizetype needed = 0;
    QString error;
    QCOMPARE(ImapTokenizer::parse(input, &response, &consumed, &needed, &error), ImapTokenizer::Complete);
    QCOMPARE(error, QString());
    QCOMPARE(consumed, input.size());
    QCOMPARE(int(response.kind), kind);
    QCOMPARE(response.tag, tag);
    QCOMPARE(response.status, status);
    QCOMPARE(response.code, code);
    QCOMPARE(response.text, text);
    QCOMPARE(response.number, number);
    QCOMPARE(response.name, name);
    QCOMPARE(render(response.values), values);
}

// Every proper prefix of a valid response asks for more bytes, never for an error, and the size
// asked for is always beyond what is there; a literal asks for its whole size at once.
void TestImapTokenizer::incompleteResponses_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<qsizetype>("literalPrefix");
    QTest::addColumn<qsizetype>("neededAfterLiteralHeader");

    QTest::newRow("status") << QByteArray("A1 OK [READ-WRITE] Select completed.\r\n") << qsizetype(-1) << qsizetype(0);
    QTest::newRow("fetch with literal") << QByteArray("* 1 FETCH (BODY[TEXT] {10}\r\n0123456789 UID 4)\r\n")
                                        << qsizetype(28) << qsizetype(28 + 10 + 1);
    QTest::newRow("nested lists") << QByteArray("* 2 FETCH (ENVELOPE (NIL \"s\" ((\"n\" NIL \"m\" \"h\"))))\r\n")
                                  << qsizetype(-1) << qsizetype(0);
    QTest::newRow("quoted escapes") << QByteArray("* LIST () \"/\" \"a\\\\b\\\"c\"\r\n") << qsizetype(-1) << qsizetype(0);
}

void TestImapTokenizer::incompleteResponses()
{
    QFETCH(QByteArray, input);
    QFETCH(qsizetype, literalPrefix);
    QFETCH(qsizetype, neededAfterLiteralHeader);

    for (qsizetype length = 0; length < input.size(); ++length) {
        const QByteArray prefix = input.left(length);
        ImapResponse response;
        qsizetype consumed = 0;
        qsizetype needed = 0;
        QString error;
        const auto result = ImapTokenizer::parse(prefix, &response, &consumed, &needed, &error);
        QVERIFY2(result == ImapTokenizer::NeedMore, qPrintable(QStringLiteral("prefix %1: %2").arg(length).arg(error)));
        QVERIFY(needed > length);
        QVERIFY(needed <= input.size());
        if (length == literalPrefix)
            QCOMPARE(needed, neededAfterLiteralHeader);
    }
}

void TestImapTokenizer::malformedResponses_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("reason");

    QTest::newRow("tag without status") << QByteArray("A1 FETCH 1\r\n") << QStringLiteral("status expected");
    QTest::newRow("missing space after tag") << QByteArray("*OK hi\r\n") << QStringLiteral("space expected");
    QTest::newRow("unclosed list") << QByteArray("* LIST (\\Noselect \"/\" x\r\n") << QStringLiteral("list not closed");
    QTest::newRow("stray closing parenthesis") << QByteArray("* LIST ) x\r\n") << QStringLiteral("')' without '('");
    QTest::newRow("line break in quoted string") << QByteArray("* LIST () \"/\" \"ab\r\n\"\r\n")
                                                 << QStringLiteral("line break or NUL inside a quoted string");
    QTest::newRow("invalid escape") << QByteArray("* LIST () \"/\" \"a\\nb\"\r\n") << QStringLiteral("invalid escape");
    QTest::newRow("literal without size") << QByteArray("* 1 FETCH (BODY[] {}\r\n)\r\n") << QStringLiteral("literal size expected");
    QTest::newRow("literal size not a number") << QByteArray("* 1 FETCH (BODY[] {12a}\r\nx)\r\n") << QStringLiteral("literal size expected");
    QTest::newRow("huge literal size") << QByteArray("* 1 FETCH (BODY[] {99999999999999999999}\r\n") << QStringLiteral("literal size too large");
    QTest::newRow("literal header not ended by a line break") << QByteArray("* 1 FETCH (BODY[] {3}xyz)\r\n") << QStringLiteral("end of line expected");
    QTest::newRow("carriage return without line feed") << QByteArray("* 1 FETCH (UID 1)\rX") << QStringLiteral("line feed expected");
    QTest::newRow("garbage after the response") << QByteArray("* 1 FETCH (UID 1) \"x\" ) \r\n") << QStringLiteral("')' without '('");
    QTest::newRow("unclosed response code") << QByteArray("* OK [ALERT text\r\n") << QStringLiteral("response code not closed");
    QTest::newRow("unclosed section") << QByteArray("* 1 FETCH (BODY[HEADER x)\r\n") << QStringLiteral("'[' not closed");
    QTest::newRow("deep nesting") << QByteArray("* X " + QByteArray(ImapTokenizer::MaxDepth + 1, '(') + "\r\n")
                                  << QStringLiteral("nested deeper");
    QTest::newRow("NUL byte in atom") << BYTES("* 1 FETCH (UI\0D 1)\r\n") << QStringLiteral("atom expected");
    QTest::newRow("empty line") << QByteArray("\r\n") << QStringLiteral("atom expected");
    QTest::newRow("negative message number") << QByteArray("* -1 EXISTS\r\n") << QStringLiteral("negative message number");
}

void TestImapTokenizer::malformedResponses()
{
    QFETCH(QByteArray, input);
    QFETCH(QString, reason);

    ImapResponse response;
    qsizetype consumed = 0;
    qsizetype needed = 0;
    QString error;
    QCOMPARE(ImapTokenizer::parse(input, &response, &consumed, &needed, &error), ImapTokenizer::Malformed);
    QVERIFY2(error.contains(reason), qPrintable(error));
    QCOMPARE(consumed, qsizetype(0));
}

// A buffer holding several responses yields them one by one.
void TestImapTokenizer::consumesOneResponseAtATime()
{
    QByteArray buffer("* 3 EXISTS\r\n* 1 FETCH (BODY[TEXT] {5}\r\nab\r\nc)\r\nQ4 OK done\r\n* 4 EX");
    QList<QByteArray> seen;
    for (;;) {
        ImapResponse response;
        qsizetype consumed = 0;
        qsizetype needed = 0;
        QString error;
        const auto result = ImapTokenizer::parse(buffer, &response, &consumed, &needed, &error);
        if (result != ImapTokenizer::Complete) {
            QCOMPARE(result, ImapTokenizer::NeedMore);
            break;
        }
        seen << (response.name.isEmpty() ? response.status : response.name);
        buffer.remove(0, consumed);
    }
    QCOMPARE(seen, (QList<QByteArray>{"EXISTS", "FETCH", "OK"}));
    QCOMPARE(buffer, QByteArray("* 4 EX"));
}

QTEST_APPLESS_MAIN(TestImapTokenizer)
#include "tst_imaptokenizer.moc"
