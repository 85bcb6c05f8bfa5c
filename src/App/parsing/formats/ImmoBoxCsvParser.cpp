// IMMO-Box export: a title line, "Datum: " with the day of all readings, a column header, then
// one comma-separated reading per line (channel, time of day, value, status). Faulty lines are
// logged and dropped; the rest of the file is still read.

#include "parsing/formats/FormatParsers.h"
#include "parsing/FieldReaders.h"

#include "KyrLogger/LogExcerpt.h"
#include "KyrLogger/Logger.h"

namespace FormatParsers {

namespace {

// A channel code as written and the identifier built from it.
struct Channel {
    QString code;
    QString identifier;
};

// The channel of a code; a file has a few channels whose lines alternate, so the identifiers are
// built once per channel.
const Channel &channelOf(QList<Channel> &channels, QStringView code)
{
    for (const Channel &channel : channels) {
        if (channel.code == code)
            return channel;
    }
    // The code becomes its first 5 characters + " " + the next 6 + ":" + the rest, after every
    // "." and "=" turned into ":".
    QString k = code.toString();
    k.replace(QLatin1Char('.'), QLatin1Char(':')).replace(QLatin1Char('='), QLatin1Char(':'));
    Channel channel{code.toString(), k.left(5) + QLatin1Char(' ') + k.mid(5, 6) + QLatin1Char(':') + k.mid(11)};
    if (channels.size() >= 64)
        channels.removeFirst();
    channels.append(channel);
    return channels.last();
}

} // namespace

ParseResult parseImmoBoxCsv(const QByteArray &data, QString &errorText, Records &values)
{
    errorText.clear();
    QByteArray buffer;
    const QList<QByteArrayView> lines = FieldReaders::splitLines(data, buffer);
    if (lines.size() < 3)
        return ParseResult::NotThisFormat;
    const QString dayLine = QString::fromUtf8(lines.at(1));
    if (!dayLine.startsWith(QLatin1String("Datum: ")))
        return ParseResult::NotThisFormat;
    const QString day = dayLine.mid(7).trimmed();

    const qsizetype before = values.size();
    FieldReaders::reserveRecordsForLines(values, lines.size(), 1, data.size());
    DataParser::ValueRec rec;
    QList<Channel> channels;
    QString lastTimeText;   // readings of several channels share their time
    QDateTime lastTime;
    for (qsizetype i = 3; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines.at(i)).trimmed();
        if (line.isEmpty())
            continue;
        const QList<QStringView> fields = QStringView(line).split(QLatin1Char(','));
        if (fields.size() < 3) {
            LOG_OUT(Kyr::LogWarning, "Not enough data: %1").arg(Kyr::logExcerpt(line)).endl();
            continue;
        }
        if (fields.at(1) != lastTimeText) {
            lastTimeText = fields.at(1).toString();
            lastTime = FieldReaders::readTime(FieldReaders::dateAndTime(day, lastTimeText), u"d.M.yyyy HH:mm:ss",
                                           Qt::LocalTime);
        }
        FieldReaders::resetRecord(rec, lastTime);
        if (!rec.timestamp.isValid()) {
            LOG_OUT(Kyr::LogWarning, "Could not parse timestamp: %1 - %2").arg(Kyr::logExcerpt(day)).arg(Kyr::logExcerpt(line)).endl();
            continue;
        }
        const Channel &channel = channelOf(channels, fields.at(0));
        rec.iaks = channel.identifier;
        // A line of three fields carries no status; its value counts as normal.
        rec.state = fields.size() > 3 && fields.at(3).trimmed() != QLatin1String("0") ? 6001 : 0;
        rec.importType = DataParser::IMPTYPE_IMMO_BOX_CSV;
        rec.description = channel.code;
        const QStringView valueText = fields.at(2).trimmed();
        if (valueText.isEmpty()) {
            LOG_OUT(Kyr::LogWarning, "Empty value: %1").arg(Kyr::logExcerpt(line)).endl();
            continue;
        }
        if (!FieldReaders::readNumber(valueText, rec.value)) {
            LOG_OUT(Kyr::LogWarning, "Could not parse value: %1").arg(Kyr::logExcerpt(line)).endl();
            continue;
        }
        values.append(rec);
    }
    if (values.size() == before) {
        errorText = QStringLiteral("No data found");
        return ParseResult::NoData;
    }
    return ParseResult::Parsed;
}

} // namespace FormatParsers
