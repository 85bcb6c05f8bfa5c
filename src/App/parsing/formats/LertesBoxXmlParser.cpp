#include "parsing/formats/FormatParsers.h"
#include "parsing/ParseHelpers.h"
#include "parsing/FieldReaders.h"

#include <QDomDocument>
#include <QDomElement>

// LertesBox device export:
//   <ILC ID="device"> <IP/> <SN/> <channel ID="channel"> <NAME>text</NAME>
//     <VALUE DATETIME="2024-01-01T00:15Z"> <P>1.5</P> <E>1234</E> <STATUS>3</STATUS> </VALUE>
//   </channel> </ILC>
// Only element children count as channels, value elements and measurements; comments and
// stray text between them are not values.

namespace FormatParsers {

namespace {

QString firstNonEmptyAttribute(const QDomElement &element, std::initializer_list<const char *> names)
{
    for (const char *name : names) {
        const QString value = element.attribute(QLatin1String(name));
        if (!value.isEmpty())
            return value;
    }
    return QString();
}

bool isNamed(const QDomElement &element, const char *upperName)
{
    return element.tagName().toUpper() == QLatin1String(upperName);
}

// "yyyy-MM-ddTHH:mmZ", else any ISO 8601 time; a time without zone is UTC, one with "Z" or an
// offset keeps its instant. Neither is ever lost in a local clock-change gap.
QDateTime lertesTime(const QString &text)
{
    QDateTime time = FieldReaders::fromPattern(text, QStringLiteral("yyyy-MM-ddTHH:mmZ"), Qt::UTC);
    if (!time.isValid())
        time = FieldReaders::isoTime(text, Qt::UTC);
    return time.isValid() ? time.toLocalTime() : QDateTime();
}

// The element that holds the device: ILC or RMCU, upper or lower case.
QDomElement rootOf(const QDomDocument &document)
{
    for (const char *name : {"ILC", "ilc", "RMCU", "rmcu"}) {
        const QDomElement root = document.firstChildElement(QLatin1String(name));
        if (!root.isNull())
            return root;
    }
    return QDomElement();
}

// The device identifier: an attribute of the root, else its ID element.
QString deviceOf(const QDomElement &root)
{
    const QString device = firstNonEmptyAttribute(root, {"ID", "id", "OBID", "obid"});
    return device.isEmpty() ? root.firstChildElement(QStringLiteral("ID")).text() : device;
}

// Turns the channels of one device into records, one per measurement of each value element.
class ChannelReader
{
public:
    ChannelReader(const QString &device, QString &errorText, Records &values)
        : device(device), errorText(errorText), values(values), firstCount(values.size())
    {
        DataParser::resetRecord(rec);
    }

    ParseResult readChannel(const QDomElement &channel);

private:
    ParseResult readValueElement(const QDomElement &element, const QString &channelId);
    ParseResult fail(const QString &text)
    {
        errorText = text;
        return ParseResult::Faulty;
    }

    const QString &device;
    QString &errorText;
    Records &values;
    const qsizetype firstCount;
    DataParser::ValueRec rec;
};

// A channel: its NAME describes the records of the VALUE (or VALUES) elements after it.
ParseResult ChannelReader::readChannel(const QDomElement &channel)
{
    rec.state = 0;
    const QString channelId = firstNonEmptyAttribute(channel, {"ID", "id"});
    if (channelId.isEmpty())
        return fail(QStringLiteral("AKS2 not found"));
    for (QDomElement child = channel.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        if (isNamed(child, "NAME")) {
            rec.description = child.text();
        } else if (isNamed(child, "VALUE") || isNamed(child, "VALUES")) {
            if (const ParseResult rc = readValueElement(child, channelId); rc != ParseResult::Parsed)
                return rc;
        }
    }
    return ParseResult::Parsed;
}

// A value element: its time, a record per measurement element named after it, and a STATUS that
// sets the state of the record before it.
ParseResult ChannelReader::readValueElement(const QDomElement &element, const QString &channelId)
{
    QString timeText = firstNonEmptyAttribute(element, {"DATETIME", "datetime"});
    if (timeText.isEmpty())
        timeText = element.firstChildElement(QStringLiteral("DATETIME")).text();

    for (QDomElement node = element.firstChildElement(); !node.isNull(); node = node.nextSiblingElement()) {
        if (isNamed(node, "STATUS")) {
            bool ok = false;
            const qint32 state = node.text().toInt(&ok);
            if (ok && values.size() > firstCount)
                values.last().state = state;
            continue;
        }
        if (isNamed(node, "DATETIME"))
            continue;
        const QString text = node.text();
        if (!FieldReaders::parseCDouble(text, rec.value, FieldReaders::DecimalComma::NotANumber))
            return fail(QStringLiteral("Could not convert ") + text);
        if (timeText.isEmpty())
            return fail(QStringLiteral("DATETIME not found"));
        rec.timestamp = lertesTime(timeText);
        if (!rec.timestamp.isValid())
            return fail(QStringLiteral("Could not parse DATETIME ") + timeText);
        rec.iaks = device + u':' + channelId + u':' + node.tagName();
        rec.importType = DataParser::IMPTYPE_LERTESBOX;
        rec.increment = false;
        values.append(rec);
    }
    return ParseResult::Parsed;
}

} // namespace

ParseResult parseLertesBoxXml(const QByteArray &data, QString &errorText, Records &values)
{
    errorText.clear();
    QDomDocument document;
    if (!ParseHelpers::loadXml(data, false, document, errorText))
        return ParseResult::Faulty;

    const QDomElement root = rootOf(document);
    if (root.isNull()) {
        errorText = QStringLiteral("Root not found");
        return ParseResult::NotThisFormat;
    }
    const QString device = deviceOf(root);
    if (device.isEmpty()) {
        errorText = QStringLiteral("AKS1 not found");
        return ParseResult::Faulty;
    }

    const qsizetype firstCount = values.size();
    ChannelReader reader(device, errorText, values);
    for (QDomElement channel = root.firstChildElement(); !channel.isNull(); channel = channel.nextSiblingElement()) {
        if (isNamed(channel, "ID") || isNamed(channel, "IP") || isNamed(channel, "SN"))
            continue;
        if (const ParseResult rc = reader.readChannel(channel); rc != ParseResult::Parsed)
            return rc;
    }
    if (values.size() == firstCount) {
        errorText = QStringLiteral("No data found");
        return ParseResult::NoData;
    }
    return ParseResult::Parsed;
}

} // namespace FormatParsers
