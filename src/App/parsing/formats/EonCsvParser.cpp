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

} // namespace

ParseResult parseEonCsv(const QByteArray &data, QString &errorText, Records &values)
{
    const QByteArray clean = withoutCarriageReturns(data);
    const QList<QByteArrayView> lines = splitLines(clean);
    const qsizetype firstCount = values.size();
    reserveRecords(values, clean.count(';') / 2); // about one value per two separators

    // The record is reset before each value; its time is set right after, so one reset
    // template serves all values of the file.
    DataParser::ValueRec blank;
    DataParser::resetRecord(blank);

    bool accepted = false;
    Fields fields;
    QList<QDateTime> stamps; // interval ends of the current day and interval, in value order
    QDate stampDay;
    qint64 stampStep = 0;
    for (qsizetype index = 0; index < lines.size(); ++index) {
        const QByteArrayView line = lines.at(index);
        if (line.isEmpty())
            continue;
        splitView(line, ';', fields);
        QDate day;
        int intervalMinutes = 0;
        if (!isEonLine(fields, day, intervalMinutes)) {
            if (!accepted)
                return ParseResult::NotThisFormat;
            errorText = QStringLiteral("Invalid format on line %1 :").arg(index + 1) + decodeText(line);
            return ParseResult::Faulty;
        }
        accepted = true;
        if (intervalMinutes <= 0) {
            errorText = QStringLiteral("Invalid interval on line %1 :").arg(index + 1) + decodeText(line);
            return ParseResult::Faulty;
        }

        const QByteArrayView codeField = fields.at(1);
        const qsizetype space = codeField.indexOf(' ');
        const QByteArrayView code = space > 0 ? codeField.first(space) : codeField;
        const QString obis = QStringLiteral("1-0:") + decodeText(code);
        const QList<QByteArray> codeParts = code.toByteArray().split('.');
        const bool increment = codeParts.size() >= 2 && (codeParts.at(1) == "9" || codeParts.at(1) == "29");
        const QString iaks = decodeText(fields.at(0)) + u':' + decodeText(codeField);
        const qint64 stepSeconds = qint64(intervalMinutes) * 60;

        // Lines of further meter points for the same day share the interval ends of the line
        // before; a local time costs a time-zone conversion, a copy does not.
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
                    + QStringLiteral("' , index %1 on line %2 :").arg(k).arg(index + 1) + decodeText(line);
                return ParseResult::Faulty;
            }
            if (n == stamps.size()) {
                const QDateTime end = (n == 0 ? QDateTime(day, QTime(0, 0)) : stamps.at(n - 1)).addSecs(stepSeconds);
                if (!isPlausibleTime(end)) {
                    errorText = implausibleTimeText(end.toString(Qt::ISODate))
                        + QStringLiteral(" on line %1 :").arg(index + 1) + decodeText(line);
                    return ParseResult::Faulty;
                }
                stamps.append(end);
            }

            DataParser::ValueRec &rec = values.emplaceBack(blank);
            rec.timestamp = stamps.at(n);
            rec.iaks = iaks;
            rec.importType = DataParser::IMPTYPE_EON_CSV;
            rec.obis = obis;
            rec.increment = increment;
            rec.value = value;
            if (k + 1 < fields.size()) {
                const QByteArrayView status = fields.at(k + 1);
                if (!status.isEmpty() && !(status.size() == 1 && (status.at(0) == 'W' || status.at(0) == 'w')))
                    rec.state = 3001;
            }
        }
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
