#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// One value of an IMAP response: an atom (numbers included), a string (quoted or literal), NIL or
// a parenthesised list of values.
struct ImapValue
{
    enum Kind { Atom, String, Nil, List };
    Kind kind = Nil;
    QByteArray text;           // atom or string bytes
    QList<ImapValue> items;    // list members

    bool isNil() const { return kind == Nil; }
    // Atom or string text; empty for NIL and lists.
    QByteArray bytes() const { return kind == Atom || kind == String ? text : QByteArray(); }
};

// One complete server response line (with its literals).
struct ImapResponse
{
    enum Kind { Untagged, Tagged, Continuation };
    Kind kind = Untagged;
    QByteArray tag;            // command tag of a tagged response
    QByteArray status;         // OK, NO, BAD, BYE, PREAUTH; empty for data responses
    QByteArray code;           // response code inside [ ] of a status response, without brackets
    QByteArray text;           // human-readable text of a status or continuation response
    qint64 number = -1;        // message number of "* n EXISTS", "* n FETCH", ...
    QByteArray name;           // data response name, upper-case: FETCH, LIST, EXISTS, CAPABILITY, ...
    QList<ImapValue> values;   // data of the response after its name
    qsizetype valueCount = 0;  // values parsed, list members included
};

// Reads IMAP server responses from a byte buffer. It never reads past the buffer: an incomplete
// response asks for more bytes, a malformed one gives an error text.
class ImapTokenizer
{
public:
    enum Result { Complete, NeedMore, Malformed };

    // Deepest list nesting accepted; deeper input is malformed rather than a risk to the stack.
    static constexpr int MaxDepth = 64;

    // Parses one response from the start of data. Complete: *consumed holds its length including
    // the final CRLF. NeedMore: *needed holds the least total buffer size worth trying again with.
    // Malformed: *error tells why.
    static Result parse(const QByteArray &data, ImapResponse *response, qsizetype *consumed,
                        qsizetype *needed, QString *error);

private:
    ImapTokenizer(const QByteArray &data) : m_data(data) {}

    Result parseResponse(ImapResponse *response);
    Result parseStatusText(ImapResponse *response);
    Result parseValues(QList<ImapValue> *values, int depth, bool inList);
    Result parseValue(ImapValue *value, int depth);
    Result parseQuoted(ImapValue *value);
    Result parseLiteral(ImapValue *value);
    Result parseAtom(QByteArray *atom);
    Result restOfLine(QByteArray *text);
    Result expectLineEnd();
    Result fail(const QString &why);
    Result more(qsizetype total);

    const QByteArray &m_data;
    qsizetype m_pos = 0;
    qsizetype m_needed = 0;
    qsizetype m_valueCount = 0;
    QString m_error;
};
