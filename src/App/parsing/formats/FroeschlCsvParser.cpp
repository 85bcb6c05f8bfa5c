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

} // namespace

ParseResult parseFroeschlCsv(const QByteArray &data, QString &errorText, Records &values)
{
    errorText.clear();
    const qsizetype before = values.size();
    QString channel;    // first "Beschreibung"
    QString location;   // every later "Beschreibung"
    QString device;
    QString unit;
    QString owner;
    bool channelSeen = false;
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
            const QStringView key = fields.at(0).trimmed();
            const QStringView value = fields.at(1).trimmed();
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
            continue;
        }
        bool stopAfterLine = false;
        if (!readingMet) {
            readingMet = true;
            if (location.isEmpty() || device.isEmpty() || channel.isEmpty()) {
                errorText = QStringLiteral("Missing required field: ") + location + QLatin1Char('/') + device
                            + QLatin1Char('/') + channel;
                stopAfterLine = true;
            }
            identifier = location + QLatin1Char(':') + device + QLatin1Char(':') + channel;
            increment = FieldReaders::isIntervalUnit(unit);
        }
        rec.importType = DataParser::IMPTYPE_FROESCHL_CSV;
        rec.iaks = identifier;
        rec.unit = unit;
        rec.increment = increment;
        rec.description = owner;
        rec.serialNumber = device;
        if (fields.size() < 3) {
            errorText = QStringLiteral("No value field: ") + line;
            return ParseResult::Faulty;
        }
        const QStringView valueText = fields.at(2).trimmed();
        if (valueText.isEmpty()) {
            errorText = QStringLiteral("Empty value: ") + line;
            return ParseResult::Faulty;
        }
        if (!FieldReaders::readNumber(valueText, rec.value)) {
            errorText = QStringLiteral("Could not parse value: ") + line;
            return ParseResult::Faulty;
        }
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
