#include "parsing/formats/FormatParsers.h"
#include "parsing/FieldReaders.h"

#include <QVarLengthArray>

using namespace FieldReaders;

namespace FormatParsers {

namespace {

using Fields = QVarLengthArray<QByteArrayView, 256>;

// A load-profile line: meter point;code text;unit;interval minutes;yyyyMMdd;value;status;...
bool isEonLine(const Fields &fields, QDate &day, int &intervalMinutes)
{
    if (fields.size() < 5 || !fields.at(1).contains('.'))
        return false;
    bool ok = false;
    intervalMinutes = fields.at(3).toInt(&ok);
    if (!ok)
        return false;
    day = parseDateTime(fields.at(4), "yyyyMMdd", Qt::LocalTime).date();
    return day.isValid();
}

// The end of an error text: " on line " + the line number (counted from 1) + " :" + the line.
QString onLine(qsizetype index, QByteArrayView line)
{
    return QStringLiteral(" on line %1 :").arg(index + 1) + decodeText(line);
}

// What a line's meter point and code text (its OBIS code, then a space and a name) say about
// every value of the line.
struct Channel {
    QString iaks;
    QString obis;
    bool increment = false;
};

Channel channelOf(QByteArrayView meterPoint, QByteArrayView codeField)
{
    const qsizetype space = codeField.indexOf(' ');
    const QByteArrayView code = space > 0 ? codeField.first(space) : codeField;
    const QList<QByteArray> codeParts = code.toByteArray().split('.');
    return {decodeText(meterPoint) + u':' + decodeText(codeField), QStringLiteral("1-0:") + decodeText(code),
            codeParts.size() >= 2 && (codeParts.at(1) == "9" || codeParts.at(1) == "29")};
}

// Turns accepted lines into records: from field 5 on, a value and its status per interval.
class EonLineReader
{
public:
    EonLineReader(QString &errorText, Records &values) : errorText(errorText), values(values)
    {
        // The record is reset before each value; its time is set right after, so one reset
        // template serves all values of the file.
        DataParser::resetRecord(blank);
    }

    ParseResult readLine(const Fields &fields, QDate day, int intervalMinutes, qsizetype index, QByteArrayView line);

private:
    bool appendIntervalEnd(qsizetype index, QByteArrayView line);

    QString &errorText;
    Records &values;
    DataParser::ValueRec blank;
    // Interval ends of the current day and interval, in value order. Lines of further meter
    // points for the same day share the ends of the line before; a local time costs a time-zone
    // conversion, a copy does not.
    QList<QDateTime> stamps;
    QDate stampDay;
    qint64 stampStep = 0;
};

ParseResult EonLineReader::readLine(const Fields &fields, QDate day, int intervalMinutes, qsizetype index,
                                    QByteArrayView line)
{
    const Channel channel = channelOf(fields.at(0), fields.at(1));
    const qint64 stepSeconds = qint64(intervalMinutes) * 60;
    if (day != stampDay || stepSeconds != stampStep) {
        stamps.clear();
        stampDay = day;
        stampStep = stepSeconds;
    }
    for (qsizetype k = 5, n = 0; k < fields.size(); k += 2, ++n) {
        const QByteArrayView valueText = fields.at(k);
        if (valueText.isEmpty() && k == fields.size() - 1)
            continue; // a line that ends with the separator
        double value = 0.0;
        if (!parseCDouble(valueText, value)) {
            errorText = QStringLiteral("Could not parse value '") + decodeText(valueText)
                + QStringLiteral("' , index %1").arg(k) + onLine(index, line);
            return ParseResult::Faulty;
        }
        if (n == stamps.size() && !appendIntervalEnd(index, line))
            return ParseResult::Faulty;

        DataParser::ValueRec &rec = values.emplaceBack(blank);
        rec.timestamp = stamps.at(n);
        rec.iaks = channel.iaks;
        rec.importType = DataParser::IMPTYPE_EON_CSV;
        rec.obis = channel.obis;
        rec.increment = channel.increment;
        rec.value = value;
        if (k + 1 < fields.size()) {
            const QByteArrayView status = fields.at(k + 1);
            if (!status.isEmpty() && !(status.size() == 1 && (status.at(0) == 'W' || status.at(0) == 'w')))
                rec.state = 3001;
        }
    }
    return ParseResult::Parsed;
}

// The next interval end: one step after midnight of the day or after the end before it.
bool EonLineReader::appendIntervalEnd(qsizetype index, QByteArrayView line)
{
    const qsizetype n = stamps.size();
    const QDateTime end = (n == 0 ? QDateTime(stampDay, QTime(0, 0)) : stamps.at(n - 1)).addSecs(stampStep);
    if (!isPlausibleTime(end)) {
        errorText = implausibleTimeText(end.toString(Qt::ISODate)) + onLine(index, line);
        return false;
    }
    stamps.append(end);
    return true;
}

} // namespace

ParseResult parseEonCsv(const QByteArray &data, QString &errorText, Records &values)
{
    const qsizetype firstCount = values.size();
    if (!values.batched()) // a held list is sized once; a batch is sized by the sink
        reserveRecords(values, data.count(';') / 2); // about one value per two separators

    EonLineReader reader(errorText, values);
    bool accepted = false;
    Fields fields;
    LineCursor lines(data);
    for (QByteArrayView line; lines.next(line);) {
        const qsizetype index = lines.index();
        if (line.isEmpty())
            continue;
        splitView(line, ';', fields);
        QDate day;
        int intervalMinutes = 0;
        if (!isEonLine(fields, day, intervalMinutes)) {
            if (!accepted)
                return ParseResult::NotThisFormat;
            errorText = QStringLiteral("Invalid format") + onLine(index, line);
            return ParseResult::Faulty;
        }
        accepted = true;
        if (intervalMinutes <= 0) {
            errorText = QStringLiteral("Invalid interval") + onLine(index, line);
            return ParseResult::Faulty;
        }
        if (const ParseResult rc = reader.readLine(fields, day, intervalMinutes, index, line); rc != ParseResult::Parsed)
            return rc;
    }
    if (!accepted)
        return ParseResult::NotThisFormat;
    if (values.size() == firstCount) {
        errorText = QStringLiteral("No data found");
        return ParseResult::Faulty;
    }
    return ParseResult::Parsed;
}

} // namespace FormatParsers
