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

} // namespace

ParseResult parseLertesBoxXml(const QByteArray &data, QString &errorText, Records &values)
{
    errorText.clear();
    QDomDocument document;
    if (!ParseHelpers::loadXml(data, false, document, errorText))
        return ParseResult::Faulty;

    DataParser::ValueRec rec;
    DataParser::resetRecord(rec);
    QDomElement root;
    for (const char *name : {"ILC", "ilc", "RMCU", "rmcu"}) {
        root = document.firstChildElement(QLatin1String(name));
        if (!root.isNull())
            break;
    }
    if (root.isNull()) {
        errorText = QStringLiteral("Root not found");
        return ParseResult::NotThisFormat;
    }

    QString device = firstNonEmptyAttribute(root, {"ID", "id", "OBID", "obid"});
    if (device.isEmpty())
        device = root.firstChildElement(QStringLiteral("ID")).text();
    if (device.isEmpty()) {
        errorText = QStringLiteral("AKS1 not found");
        return ParseResult::Faulty;
    }

    const qsizetype firstCount = values.size();
    for (QDomElement channel = root.firstChildElement(); !channel.isNull(); channel = channel.nextSiblingElement()) {
        if (isNamed(channel, "ID") || isNamed(channel, "IP") || isNamed(channel, "SN"))
            continue;
        rec.state = 0;
        const QString channelId = firstNonEmptyAttribute(channel, {"ID", "id"});
        if (channelId.isEmpty()) {
            errorText = QStringLiteral("AKS2 not found");
            return ParseResult::Faulty;
        }
        for (QDomElement child = channel.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
            if (isNamed(child, "NAME")) {
                rec.description = child.text();
                continue;
            }
            if (!isNamed(child, "VALUE") && !isNamed(child, "VALUES"))
                continue;
            QString timeText = firstNonEmptyAttribute(child, {"DATETIME", "datetime"});
            if (timeText.isEmpty())
                timeText = child.firstChildElement(QStringLiteral("DATETIME")).text();

            for (QDomElement node = child.firstChildElement(); !node.isNull(); node = node.nextSiblingElement()) {
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
                if (!FieldReaders::parseCDouble(text, rec.value, FieldReaders::DecimalComma::NotANumber)) {
                    errorText = QStringLiteral("Could not convert ") + text;
                    return ParseResult::Faulty;
                }
                if (timeText.isEmpty()) {
                    errorText = QStringLiteral("DATETIME not found");
                    return ParseResult::Faulty;
                }
                rec.timestamp = lertesTime(timeText);
                if (!rec.timestamp.isValid()) {
                    errorText = QStringLiteral("Could not parse DATETIME ") + timeText;
                    return ParseResult::Faulty;
                }
                rec.iaks = device + u':' + channelId + u':' + node.tagName();
                rec.importType = DataParser::IMPTYPE_LERTESBOX;
                rec.increment = false;
                values.append(rec);
            }
        }
    }
    if (values.size() == firstCount) {
        errorText = QStringLiteral("No data found");
        return ParseResult::NoData;
    }
    return ParseResult::Parsed;
}

} // namespace FormatParsers
