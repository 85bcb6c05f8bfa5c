#include "../common/JsonCases.h"
#include "MailSecurity/ImapTokenizer.h"

#include <QTest>

namespace {

const QString casesFile = QStringLiteral("tests/data/mail/imap-responses.json");

// Renders a value list compactly, so that a row can state the expected structure in one string:
// atoms as they are, strings in double quotes, NIL as NIL, lists in parentheses.
QByteArray render(const QList<ImapValue> &values)
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

// Renders a whole response: its kind, then every field that is set, labelled, in a fixed order.
QByteArray describe(const ImapResponse &response)
{
    static const char *const kinds[] = {"untagged", "tagged", "continuation"};
    QByteArrayList fields{kinds[response.kind]};
    const auto add = [&fields](const char *label, const QByteArray &value) {
        if (!value.isEmpty())
            fields << label + value;
    };
    add("tag=", response.tag);
    add("status=", response.status);
    add("code=", response.code);
    add("text=", response.text);
    add("number=", response.number == -1 ? QByteArray() : QByteArray::number(response.number));
    add("name=", response.name);
    add("values=", render(response.values));
    return fields.join(' ');
}

struct Parsed
{
    ImapTokenizer::Result result;
    ImapResponse response;
    qsizetype consumed = 0;
    qsizetype needed = 0;
    QString error;
};

Parsed parse(const QByteArray &input)
{
    Parsed parsed;
    parsed.result = ImapTokenizer::parse(input, &parsed.response, &parsed.consumed, &parsed.needed, &parsed.error);
    return parsed;
}

} // namespace

class TestImapTokenizer : public QObject
{
    Q_OBJECT

private slots:
    void completeResponses_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("expected");
        for (const QJsonValue &row : JsonCases::load(casesFile, QStringLiteral("complete"))) {
            const QJsonArray c = row.toArray();
            QTest::newRow(qPrintable(c.at(0).toString())) << JsonCases::bytes(c.at(1)) << JsonCases::bytes(c.at(2));
        }
    }

    void completeResponses()
    {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, expected);

        const Parsed parsed = parse(input);
        QCOMPARE(parsed.result, ImapTokenizer::Complete);
        QCOMPARE(parsed.error, QString());
        QCOMPARE(parsed.consumed, input.size());
        QCOMPARE(describe(parsed.response), expected);
    }

    // Every proper prefix of a valid response asks for more bytes, never for an error, and the size
    // asked for is always beyond what is there; a literal asks for its whole size at once.
    void incompleteResponses_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<qsizetype>("literalPrefix");
        QTest::addColumn<qsizetype>("neededAfterLiteralHeader");
        for (const QJsonValue &row : JsonCases::load(casesFile, QStringLiteral("incomplete"))) {
            const QJsonArray c = row.toArray();
            QTest::newRow(qPrintable(c.at(0).toString()))
                << JsonCases::bytes(c.at(1)) << qsizetype(c.at(2).toInteger()) << qsizetype(c.at(3).toInteger());
        }
    }

    void incompleteResponses()
    {
        QFETCH(QByteArray, input);
        QFETCH(qsizetype, literalPrefix);
        QFETCH(qsizetype, neededAfterLiteralHeader);

        for (qsizetype length = 0; length < input.size(); ++length) {
            const Parsed parsed = parse(input.left(length));
            QVERIFY2(parsed.result == ImapTokenizer::NeedMore, qPrintable(QStringLiteral("prefix %1: %2").arg(length).arg(parsed.error)));
            QVERIFY(parsed.needed > length);
            QVERIFY(parsed.needed <= input.size());
            if (length == literalPrefix)
                QCOMPARE(parsed.needed, neededAfterLiteralHeader);
        }
    }

    void malformedResponses_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("reason");
        for (const QJsonValue &row : JsonCases::load(casesFile, QStringLiteral("malformed"))) {
            const QJsonArray c = row.toArray();
            QTest::newRow(qPrintable(c.at(0).toString())) << JsonCases::bytes(c.at(1)) << c.at(2).toString();
        }
        QTest::newRow("deep nesting") << QByteArray("* X " + QByteArray(ImapTokenizer::MaxDepth + 1, '(') + "\r\n")
                                      << QStringLiteral("nested deeper");
    }

    void malformedResponses()
    {
        QFETCH(QByteArray, input);
        QFETCH(QString, reason);

        const Parsed parsed = parse(input);
        QCOMPARE(parsed.result, ImapTokenizer::Malformed);
        QVERIFY2(parsed.error.contains(reason), qPrintable(parsed.error));
        QCOMPARE(parsed.consumed, qsizetype(0));
    }
};

QTEST_APPLESS_MAIN(TestImapTokenizer)
#include "tst_imaptokenizer.moc"
