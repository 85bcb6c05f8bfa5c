// Froeschl export of one channel: key-value header lines describe the channel, then one reading
// per line (date, time in UTC, value). The first faulty reading after the header ends the file.

#include "parsing/formats/FormatParsers.h"
#include "parsing/FieldReaders.h"

namespace FormatParsers {

namespace {

// The device-number key as it reads from the Latin-1 files of the portal: the single byte of its
// "ä" is no UTF-8 and decodes to the replacement character. A file that writes the key in UTF-8
// does not match it and leaves the device number empty.
const QString deviceNumberKey = QStringLiteral("Ger\uFFFDtenummer");

// A header value that the identifier needs; an empty one is shown as "?".
QString requiredText(QStringView value)
{
    return value.isEmpty() ? QStringLiteral("?") : value.toString();
}

// The key-value lines before the first reading.
struct Header {
    QString channel;    // first "Beschreibung"
    QString location;   // every later "Beschreibung"
    QString device;
    QString unit;
    QString owner;
    bool channelSeen = false;

    void read(QStringView key, QStringView value)
    {
        if (key == QLatin1String("Beschreibung")) {
            (channelSeen ? location : channel) = requiredText(value);
            channelSeen = true;
        } else if (key == deviceNumberKey) {
            device = requiredText(value);
        } else if (key == QLatin1String("Einheit")) {
            unit = value.toString();
        } else if (key == QLatin1String("Nachname")) {
            owner = value.toString();
        }
    }

    // The error text when a part of the identifier is missing, else empty.
    QString missingText() const
    {
        if (!location.isEmpty() && !device.isEmpty() && !channel.isEmpty())
            return QString();
        return QStringLiteral("Missing required field: ") + location + QLatin1Char('/') + device + QLatin1Char('/')
            + channel;
    }

    QString identifier() const { return location + QLatin1Char(':') + device + QLatin1Char(':') + channel; }
};

// The value of a reading line (field 2); false with the error text when it has none or no number.
bool readValue(const QList<QStringView> &fields, const QString &line, double &value, QString &errorText)
{
    if (fields.size() < 3) {
        errorText = QStringLiteral("No value field: ") + line;
        return false;
    }
    const QStringView valueText = fields.at(2).trimmed();
    if (valueText.isEmpty()) {
        errorText = QStringLiteral("Empty value: ") + line;
        return false;
    }
    if (!FieldReaders::readNumber(valueText, value)) {
        errorText = QStringLiteral("Could not parse value: ") + line;
        return false;
    }
    return true;
}

} // namespace

ParseResult parseFroeschlCsv(const QByteArray &data, QString &errorText, Records &values)
{
    errorText.clear();
    const qsizetype before = values.size();
    Header header;
    bool readingMet = false;
    QString identifier;
    bool increment = false;
    QByteArray buffer;
    DataParser::ValueRec rec;
    const QList<QByteArrayView> lines = FieldReaders::splitLines(data, buffer);
    FieldReaders::reserveRecordsForLines(values, lines.size(), 1, data.size());
    for (const QByteArrayView raw : lines) {
        QString line = QString::fromUtf8(raw.trimmed());
        line.remove(QLatin1Char('"'));
        if (line.isEmpty())
            continue;
        const QList<QStringView> fields = QStringView(line).split(QLatin1Char(';'));
        if (fields.size() < 2)
            continue;
        const QString when = FieldReaders::dateAndTime(fields.at(0).trimmed(), fields.at(1).trimmed());
        FieldReaders::resetRecord(rec, FieldReaders::readTime(when, u"dd.MM.yyyy HH:mm", Qt::UTC));
        if (!rec.timestamp.isValid()) {
            if (readingMet) {
                errorText = QStringLiteral("Could not parse timestamp: ") + line;
                return ParseResult::Faulty;
            }
            header.read(fields.at(0).trimmed(), fields.at(1).trimmed());
            continue;
        }
        // The first reading ends the header; without a full identifier it is still read, then
        // the file fails.
        bool stopAfterLine = false;
        if (!readingMet) {
            readingMet = true;
            errorText = header.missingText();
            stopAfterLine = !errorText.isEmpty();
            identifier = header.identifier();
            increment = FieldReaders::isIntervalUnit(header.unit);
        }
        rec.importType = DataParser::IMPTYPE_FROESCHL_CSV;
        rec.iaks = identifier;
        rec.unit = header.unit;
        rec.increment = increment;
        rec.description = header.owner;
        rec.serialNumber = header.device;
        if (!readValue(fields, line, rec.value, errorText))
            return ParseResult::Faulty;
        values.append(rec);
        if (stopAfterLine)
            return ParseResult::Faulty;
    }
    if (values.size() == before) {
        errorText = QStringLiteral("No data found");
        return ParseResult::NoData;
    }
    return ParseResult::Parsed;
}

} // namespace FormatParsers
