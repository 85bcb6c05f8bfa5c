#include "parsing/formats/FormatParsers.h"
#include "parsing/FieldReaders.h"

#include <QVarLengthArray>

// MeteoSchweiz weather data: an optional legend block, then the header
//   stn;time;tre200h0;gre000h0;...   (or Station/Location;Date;...)
// and one line per station and time (yyyyMMddHH or yyyyMMddHHmm, UTC), "-" for a missing value.

using namespace FieldReaders;

namespace FormatParsers {

namespace {

QString parameterUnit(const QString &code)
{
    if (code == QLatin1String("tre200h0") || code == QLatin1String("xno000d0") || code == QLatin1String("xno012d0"))
        return QStringLiteral("°C");
    if (code == QLatin1String("gre000h0"))
        return QStringLiteral("W/m2");
    return QString();
}

bool isHeader(const QVarLengthArray<QByteArrayView, 64> &fields)
{
    if (fields.size() < 3)
        return false;
    const QByteArrayView first = fields.at(0);
    return first == "stn" || first == "Station/Location" || first.startsWith("MeteoSchweiz");
}

} // namespace

ParseResult parseMsWetterdatenCsv(const QByteArray &data, QString &errorText, Records &values)
{
    const QByteArray clean = withoutCarriageReturns(data);
    const QList<QByteArrayView> lines = splitLines(clean);
    const qsizetype firstCount = values.size();

    QStringList codes;
    QStringList units;
    bool headerSeen = false;
    QVarLengthArray<QByteArrayView, 64> fields;
    for (qsizetype index = 0; index < lines.size(); ++index) {
        splitView(lines.at(index), ';', fields);
        if (!headerSeen) {
            if (isHeader(fields)) {
                headerSeen = true;
                for (const QByteArrayView field : std::as_const(fields)) {
                    codes.append(decodeText(field));
                    units.append(parameterUnit(codes.last()));
                }
            }
            continue;
        }
        if (fields.size() < 3)
            continue;

        DataParser::ValueRec rec;
        DataParser::resetRecord(rec);
        const QByteArrayView timeText = fields.at(1);
        rec.timestamp = timeText.size() == 12 ? parseDateTime(timeText, "yyyyMMddHHmm", Qt::UTC)
                                              : parseDateTime(timeText, "yyyyMMddHH", Qt::UTC);
        if (!rec.timestamp.isValid()) {
            errorText = QStringLiteral("Could not parse timestamp: ") + decodeText(timeText) + QStringLiteral(" (")
                + decodeText(lines.at(index)) + u')';
            return ParseResult::Faulty;
        }
        const QString station = decodeText(fields.at(0));
        rec.importType = DataParser::IMPTYPE_MS_WETTERDATEN;
        for (qsizetype c = 2; c < fields.size(); ++c) {
            if (c >= codes.size()) {
                errorText = QStringLiteral("Field # out of range: ") + decodeText(lines.at(index));
                return ParseResult::Faulty;
            }
            const QByteArrayView cell = fields.at(c);
            if (cell == "-")
                continue; // no measurement
            if (!parseCDouble(cell, rec.value)) {
                errorText = QStringLiteral("Could not parse value: ") + decodeText(cell) + QStringLiteral(" (")
                    + decodeText(lines.at(index)) + u')';
                return ParseResult::Faulty;
            }
            rec.iaks = station + u':' + codes.at(c);
            rec.description = codes.at(c);
            rec.unit = units.at(c);
            values.append(rec);
        }
    }
    if (values.size() == firstCount) {
        errorText = QStringLiteral("No data found");
        return ParseResult::NoData;
    }
    return ParseResult::Parsed;
}

} // namespace FormatParsers
