#include "parsing/formats/FormatParsers.h"
#include "parsing/FieldReaders.h"

#include <QVarLengthArray>

using namespace FieldReaders;

namespace FormatParsers {

namespace {

using Fields = QVarLengthArray<QByteArrayView, 256>;

constexpr const char *TimePattern = "yyyyMMddhhmmss";

// device,OBIS code,unit,then groups of time,value,status
bool isMpoLine(const Fields &fields)
{
    return fields.size() >= 5 && fields.at(1).contains('.')
        && parseDateTime(fields.at(3), TimePattern, Qt::LocalTime).isValid();
}

qint32 stateOfStatus(QByteArrayView status)
{
    if (status.size() != 1)
        return 0;
    switch (status.at(0)) {
    case 'E': case 'e': return 4001;
    case 'V': case 'v': return 4002;
    case 'G': case 'g': return 4003;
    case 'F': case 'f': return 4004;
    default: return 0; // "W" and everything else
    }
}

} // namespace

ParseResult parseMpoCsv01(const QByteArray &data, QString &errorText, Records &values)
{
    const QByteArray clean = withoutCarriageReturns(data);
    const QList<QByteArrayView> lines = splitLines(clean);
    const qsizetype firstCount = values.size();

    bool accepted = false;
    Fields fields;
    for (qsizetype index = 0; index < lines.size(); ++index) {
        const QByteArrayView line = lines.at(index);
        if (line.isEmpty())
            continue;
        splitView(line, ',', fields);
        if (!isMpoLine(fields)) {
            if (!accepted)
                return ParseResult::NotThisFormat;
            continue; // a later line that does not fit is left out
        }
        accepted = true;

        const QByteArrayView code = fields.at(1);
        const QList<QByteArray> codeParts = code.toByteArray().split('.');
        const bool increment = codeParts.size() >= 2 && (codeParts.at(1) == "9" || codeParts.at(1) == "29");
        const QString device = decodeText(fields.at(0));
        const QString obis = decodeText(code);
        const QString unit = decodeText(fields.at(2));
        const QString description = device + u',' + obis;
        QString iakCode = obis;
        iakCode.replace(u'-', u'.').replace(u':', u'.');
        const QString iaks = device + u':' + iakCode;

        for (qsizetype k = 3; k + 2 < fields.size(); k += 3) {
            DataParser::ValueRec rec;
            DataParser::resetRecord(rec);
            rec.obis = obis;
            rec.unit = unit;
            rec.description = description;
            rec.serialNumber = device;
            rec.iaks = iaks;
            rec.importType = DataParser::IMPTYPE_MPO_CSV_01;
            rec.increment = increment;
            rec.timestamp = parseDateTime(fields.at(k), TimePattern, Qt::LocalTime);
            const QByteArrayView valueText = fields.at(k + 1);
            if (!parseCDouble(valueText, rec.value)) {
                errorText = QStringLiteral("Could not parse value '") + decodeText(valueText)
                    + QStringLiteral("' , index %1 on line %2 :").arg(k + 1).arg(index + 1) + decodeText(line);
                return ParseResult::Faulty;
            }
            rec.state = stateOfStatus(fields.at(k + 2));
            values.append(rec);
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
