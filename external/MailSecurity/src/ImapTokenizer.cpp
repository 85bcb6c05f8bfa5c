#include "MailSecurity/ImapTokenizer.h"

namespace {

bool isStatusWord(const QByteArray &word)
{
    return word == "OK" || word == "NO" || word == "BAD" || word == "BYE" || word == "PREAUTH";
}

bool isAtomByte(char c)
{
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7f)
        return false;
    return c != '(' && c != ')' && c != '{' && c != '"';
}

} // namespace

ImapTokenizer::Result ImapTokenizer::parse(const QByteArray &data, ImapResponse *response,
                                           qsizetype *consumed, qsizetype *needed, QString *error)
{
    ImapTokenizer tokenizer(data);
    *response = ImapResponse();
    const Result result = tokenizer.parseResponse(response);
    response->valueCount = tokenizer.m_valueCount;
    if (consumed)
        *consumed = result == Complete ? tokenizer.m_pos : 0;
    if (needed)
        *needed = result == NeedMore ? tokenizer.m_needed : 0;
    if (error)
        *error = result == Malformed ? tokenizer.m_error : QString();
    return result;
}

ImapTokenizer::Result ImapTokenizer::fail(const QString &why)
{
    m_error = QStringLiteral("Malformed server response at byte %1: %2").arg(m_pos).arg(why);
    return Malformed;
}

ImapTokenizer::Result ImapTokenizer::more(qsizetype total)
{
    m_needed = qMax(total, m_data.size() + 1);
    return NeedMore;
}

ImapTokenizer::Result ImapTokenizer::parseResponse(ImapResponse *response)
{
    if (m_data.isEmpty())
        return more(1);
    if (m_data.at(0) == '+') {
        response->kind = ImapResponse::Continuation;
        m_pos = 1;
        if (m_pos < m_data.size() && m_data.at(m_pos) == ' ')
            ++m_pos;
        return restOfLine(&response->text);
    }

    QByteArray first;
    if (m_data.at(0) == '*') {
        response->kind = ImapResponse::Untagged;
        m_pos = 1;
    } else {
        response->kind = ImapResponse::Tagged;
        if (const Result r = parseAtom(&first); r != Complete)
            return r;
        response->tag = first;
    }
    if (m_pos >= m_data.size())
        return more(m_pos + 1);
    if (m_data.at(m_pos) != ' ')
        return fail(QStringLiteral("space expected after the tag"));
    ++m_pos;

    QByteArray word;
    if (const Result r = parseAtom(&word); r != Complete)
        return r;
    word = word.toUpper();

    if (response->kind == ImapResponse::Tagged) {
        if (!isStatusWord(word))
            return fail(QStringLiteral("status expected after tag, got '%1'").arg(QString::fromLatin1(word.left(40))));
        response->status = word;
        return parseStatusText(response);
    }
    if (isStatusWord(word)) {
        response->status = word;
        return parseStatusText(response);
    }

    bool isNumber = false;
    const qint64 number = word.toLongLong(&isNumber);
    if (isNumber) {
        if (number < 0)
            return fail(QStringLiteral("negative message number"));
        response->number = number;
        if (m_pos >= m_data.size())
            return more(m_pos + 1);
        if (m_data.at(m_pos) != ' ')
            return fail(QStringLiteral("space expected after the message number"));
        ++m_pos;
        if (const Result r = parseAtom(&word); r != Complete)
            return r;
        word = word.toUpper();
    }
    response->name = word;
    if (const Result r = parseValues(&response->values, 0, false); r != Complete)
        return r;
    return expectLineEnd();
}

ImapTokenizer::Result ImapTokenizer::parseStatusText(ImapResponse *response)
{
    if (m_pos < m_data.size() && m_data.at(m_pos) == ' ')
        ++m_pos;
    if (m_pos < m_data.size() && m_data.at(m_pos) == '[') {
        const qsizetype close = m_data.indexOf(']', m_pos);
        const qsizetype lineEnd = m_data.indexOf('\n', m_pos);
        if (close < 0 || (lineEnd >= 0 && lineEnd < close)) {
            if (lineEnd >= 0)
                return fail(QStringLiteral("response code not closed"));
            return more(m_data.size() + 1);
        }
        response->code = m_data.mid(m_pos + 1, close - m_pos - 1);
        m_pos = close + 1;
        if (m_pos < m_data.size() && m_data.at(m_pos) == ' ')
            ++m_pos;
    }
    return restOfLine(&response->text);
}

ImapTokenizer::Result ImapTokenizer::restOfLine(QByteArray *text)
{
    const qsizetype lineEnd = m_data.indexOf('\n', m_pos);
    if (lineEnd < 0)
        return more(m_data.size() + 1);
    qsizetype end = lineEnd;
    if (end > m_pos && m_data.at(end - 1) == '\r')
        --end;
    *text = m_data.mid(m_pos, end - m_pos);
    for (const char c : *text) {
        if (c == '\0' || c == '\r')
            return fail(QStringLiteral("control character in response text"));
    }
    m_pos = lineEnd + 1;
    return Complete;
}

ImapTokenizer::Result ImapTokenizer::expectLineEnd()
{
    if (m_pos >= m_data.size())
        return more(m_pos + 2);
    if (m_data.at(m_pos) == '\r') {
        if (m_pos + 1 >= m_data.size())
            return more(m_pos + 2);
        if (m_data.at(m_pos + 1) != '\n')
            return fail(QStringLiteral("line feed expected after carriage return"));
        m_pos += 2;
        return Complete;
    }
    if (m_data.at(m_pos) == '\n') {
        ++m_pos;
        return Complete;
    }
    return fail(QStringLiteral("end of line expected"));
}

ImapTokenizer::Result ImapTokenizer::parseValues(QList<ImapValue> *values, int depth, bool inList)
{
    for (;;) {
        while (m_pos < m_data.size() && m_data.at(m_pos) == ' ')
            ++m_pos;
        if (m_pos >= m_data.size())
            return more(m_pos + 1);
        const char c = m_data.at(m_pos);
        if (c == ')') {
            if (!inList)
                return fail(QStringLiteral("')' without '('"));
            ++m_pos;
            return Complete;
        }
        if (c == '\r' || c == '\n') {
            if (inList)
                return fail(QStringLiteral("list not closed at end of line"));
            return Complete;
        }
        ImapValue value;
        if (const Result r = parseValue(&value, depth); r != Complete)
            return r;
        values->append(std::move(value));
    }
}

ImapTokenizer::Result ImapTokenizer::parseValue(ImapValue *value, int depth)
{
    ++m_valueCount;
    const char c = m_data.at(m_pos);
    if (c == '(') {
        if (depth + 1 > MaxDepth)
            return fail(QStringLiteral("lists nested deeper than %1").arg(MaxDepth));
        ++m_pos;
        value->kind = ImapValue::List;
        return parseValues(&value->items, depth + 1, true);
    }
    if (c == '"')
        return parseQuoted(value);
    if (c == '{' || c == '~')
        return parseLiteral(value);
    QByteArray atom;
    if (const Result r = parseAtom(&atom); r != Complete)
        return r;
    if (atom.compare("NIL", Qt::CaseInsensitive) == 0) {
        value->kind = ImapValue::Nil;
    } else {
        value->kind = ImapValue::Atom;
        value->text = atom;
    }
    return Complete;
}

ImapTokenizer::Result ImapTokenizer::parseQuoted(ImapValue *value)
{
    value->kind = ImapValue::String;
    ++m_pos;
    QByteArray text;
    while (m_pos < m_data.size()) {
        const char c = m_data.at(m_pos);
        if (c == '"') {
            ++m_pos;
            value->text = text;
            return Complete;
        }
        if (c == '\r' || c == '\n' || c == '\0')
            return fail(QStringLiteral("line break or NUL inside a quoted string"));
        if (c == '\\') {
            if (m_pos + 1 >= m_data.size())
                return more(m_pos + 2);
            const char escaped = m_data.at(m_pos + 1);
            if (escaped != '"' && escaped != '\\')
                return fail(QStringLiteral("invalid escape inside a quoted string"));
            text.append(escaped);
            m_pos += 2;
            continue;
        }
        text.append(c);
        ++m_pos;
    }
    return more(m_pos + 1);
}

ImapTokenizer::Result ImapTokenizer::parseLiteral(ImapValue *value)
{
    value->kind = ImapValue::String;
    if (m_data.at(m_pos) == '~') {  // literal8
        if (m_pos + 1 >= m_data.size())
            return more(m_pos + 2);
        if (m_data.at(m_pos + 1) != '{')
            return fail(QStringLiteral("'{' expected after '~'"));
        ++m_pos;
    }
    ++m_pos;
    qint64 size = 0;
    qsizetype digits = 0;
    while (m_pos < m_data.size() && m_data.at(m_pos) >= '0' && m_data.at(m_pos) <= '9') {
        if (++digits > 15)
            return fail(QStringLiteral("literal size too large"));
        size = size * 10 + (m_data.at(m_pos) - '0');
        ++m_pos;
    }
    if (m_pos >= m_data.size())
        return more(m_pos + 1);
    if (digits == 0 || m_data.at(m_pos) != '}')
        return fail(QStringLiteral("literal size expected inside '{}'"));
    ++m_pos;
    if (const Result r = expectLineEnd(); r != Complete)
        return r;
    if (m_data.size() - m_pos < size)
        return more(m_pos + size + 1);
    value->text = m_data.mid(m_pos, size);
    m_pos += size;
    return Complete;
}

ImapTokenizer::Result ImapTokenizer::parseAtom(QByteArray *atom)
{
    const qsizetype start = m_pos;
    int bracketDepth = 0;
    while (m_pos < m_data.size()) {
        const char c = m_data.at(m_pos);
        if (c == '[') {
            ++bracketDepth;
        } else if (c == ']' && bracketDepth > 0) {
            --bracketDepth;
        } else if (c == '\r' || c == '\n') {
            if (bracketDepth > 0)
                return fail(QStringLiteral("'[' not closed at end of line"));
            break;
        } else if (bracketDepth == 0 && !isAtomByte(c)) {
            break;
        } else if (c == '\0') {
            return fail(QStringLiteral("NUL byte in an atom"));
        }
        ++m_pos;
    }
    if (m_pos >= m_data.size())
        return more(m_pos + 1);
    if (m_pos == start)
        return fail(QStringLiteral("atom expected, got byte 0x%1")
                        .arg(static_cast<unsigned char>(m_data.at(m_pos)), 2, 16, QLatin1Char('0')));
    *atom = m_data.mid(start, m_pos - start);
    return Complete;
}
