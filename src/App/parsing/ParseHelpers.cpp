#include "parsing/ParseHelpers.h"

#include <QDomDocument>
#include <QXmlStreamReader>

namespace ParseHelpers {

QStringList splitQuoted(const QString &line, QChar separator, QChar quote)
{
    // Runs of ordinary characters are appended as a whole; only separators and quotes are
    // looked at one by one.
    const QStringView text(line);
    const qsizetype n = text.size();
    QStringList fields;
    fields.reserve(text.count(separator) + 1);
    QString field;
    bool inQuotes = false;
    qsizetype i = 0;
    while (i < n) {
        qsizetype end = i;
        if (inQuotes) {
            while (end < n && text[end] != quote)
                ++end;
        } else {
            while (end < n && text[end] != separator && text[end] != quote)
                ++end;
        }
        if (end > i)
            field.append(text.sliced(i, end - i));
        if (end == n)
            break;
        if (inQuotes) {
            if (end + 1 < n && text[end + 1] == quote) {
                field.append(quote);
                ++end;
            } else {
                inQuotes = false;
            }
        } else if (text[end] == separator) {
            fields.append(field);
            field.clear();
        } else {
            inQuotes = true;
        }
        i = end + 1;
    }
    if (!field.isEmpty())
        fields.append(field);
    return fields;
}

namespace {

// Whether no element of data lies deeper than MaxXmlDepth; a streaming pass that stops at the
// first element too deep, so a hostile file costs neither a tree nor a deep recursion. Syntax
// errors are left to the document load, which names them.
bool withinXmlDepth(const QByteArray &data)
{
    QXmlStreamReader reader(data);
    int depth = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            if (++depth > MaxXmlDepth)
                return false;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
    return true;
}

} // namespace

bool loadXml(const QByteArray &data, bool namespaceProcessing, QDomDocument &document, QString &errorText)
{
    if (!withinXmlDepth(data)) {
        errorText = QStringLiteral("XML elements nested deeper than %1 levels").arg(MaxXmlDepth);
        return false;
    }
    QString message;
    int line = 0;
    int column = 0;
    if (document.setContent(data, namespaceProcessing, &message, &line, &column))
        return true;
    errorText = QStringLiteral("Parsing XML input failed with '%1' on line %2, column %3").arg(message).arg(line).arg(column);
    return false;
}

namespace detail {

void appendCleanPiece(QByteArrayView raw, char separator, char release, std::string &out)
{
    const std::size_t begin = out.size();
    out.resize(begin + std::size_t(raw.size()));
    char *const first = out.data() + begin;
    char *to = first;
    for (const char c : raw) {
        if ((c == '\r' || c == '\n') && c != separator)
            continue;
        // Every release+separator pair becomes the separator; pairs cannot overlap as long as
        // the two characters differ.
        if (c == separator && separator != release && to > first && to[-1] == release)
            to[-1] = c;
        else
            *to++ = c;
    }
    out.resize(std::size_t(to - out.data()));
    if (separator == release) { // pairs of one character: taken from left to right
        std::size_t w = begin;
        for (std::size_t r = begin; r < out.size(); ++r, ++w) {
            if (r + 1 < out.size() && out[r] == release && out[r + 1] == separator)
                ++r;
            out[w] = out[r];
        }
        out.resize(w);
    }
}

} // namespace detail

bool splitEdifact(QByteArrayView data, qsizetype start, char separator, char release, QStringList &pieces)
{
    std::string cleaned;
    return forEachEdifactPiece(data, start, separator, release, cleaned,
                               [&pieces](QByteArrayView piece) { pieces.append(QString::fromLatin1(piece)); });
}

QString obisUnit(const QString &obis, bool &increment)
{
    increment = false;
    QString dotted = obis;
    dotted.replace(u'-', u'.').replace(u':', u'.').replace(u'*', u'.');
    const QStringList parts = dotted.split(u'.');
    if (parts.size() < 5)
        return QString();
    const int a = parts.at(0).toInt();
    const int c = parts.at(2).toInt();
    const int d = parts.at(3).toInt();

    switch (a) {
    case 1: // electricity
        increment = d == 9 || d == 29;
        switch (c) {
        case 1: case 2: case 15: case 16: case 17: case 18: case 19: case 20: case 21: case 22:
        case 41: case 42: case 61: case 62:
            return QStringLiteral("kWh");
        case 3: case 4: case 5: case 6: case 7: case 8:
        case 23: case 24: case 25: case 26: case 27: case 28:
            return QStringLiteral("kvarh");
        case 9: case 10: case 29: case 30:
            return QStringLiteral("kVA");
        case 11: case 31: case 91:
            return QStringLiteral("A");
        case 12: case 32: case 92:
            return QStringLiteral("V");
        case 34:
            return QStringLiteral("Hz");
        default:
            return QString();
        }
    case 5: // cooling
    case 6: // heat
        switch (c) {
        case 0: case 2: case 4: case 6:
            return QStringLiteral("m³");
        case 1:
            increment = true;
            return QStringLiteral("kWh");
        case 3: case 5: case 7:
            return QStringLiteral("kg");
        case 10: case 11: case 12:
            return QStringLiteral("°C");
        default:
            return QString();
        }
    case 7: // gas
        increment = d == 21 || d == 33 || d == 36;
        switch (c) {
        case 52: case 54:
            return QStringLiteral("kWh/m³");
        case 31: case 32: case 33: case 34: case 35: case 36: case 99:
            return QStringLiteral("kWh");
        case 41:
            return QStringLiteral("°C");
        default:
            return QStringLiteral("m³");
        }
    case 16:
        return c == 128 ? QStringLiteral("l") : QStringLiteral("m³");
    default:
        return QString();
    }
}

QString ediUnit(const QString &code)
{
    if (code == QLatin1String("KWH"))
        return QStringLiteral("kWh");
    if (code == QLatin1String("K3"))
        return QStringLiteral("kvarh");
    if (code == QLatin1String("KWT"))
        return QStringLiteral("kW");
    if (code == QLatin1String("KVR"))
        return QStringLiteral("kvar");
    if (code == QLatin1String("MIN"))
        return QStringLiteral("min");
    return QString();
}

QString productName(const QString &code)
{
    static const struct {
        const char *code;
        const char *name;
    } products[] = {
        {"8716867000016", "Power active"},
        {"8716867000023", "Power reactive"},
        {"8716867000030", "Energy active"},
        {"8716867000047", "Energy reactive"},
        {"8716867000139", "Energy reactive capacitive"},
        {"8716867000146", "Energy reactive inductive"},
    };
    for (const auto &p : products) {
        if (code == QLatin1String(p.code))
            return QString::fromLatin1(p.name);
    }
    return code;
}

} // namespace ParseHelpers
