#include "parsing/ParseHelpers.h"
#include "parsing/formats/FormatParsers.h"
#include "parsing/FieldReaders.h"

// Vattenfall heat-meter export: a header naming the columns (any order), then one quantity
// per line, for example
//   ID,TIME,NAME,VALUE,UNIT,IDENT,ANLAGENUMMER
//   1,1704067200,"WMZ Arbeit",12345,Wh,71234567,A100
// TIME counts seconds since 1970 (UTC). Small units are scaled to the units of the system.

using namespace FieldReaders;

namespace FormatParsers {

namespace {

// Short code of a quantity; the umlauts of the return temperature ("ü") and of the flow ("ß")
// may arrive in any encoding, so only their ASCII parts are compared.
QString quantityCode(const QString &name)
{
    if (name == QLatin1String("WMZ Volumen"))
        return QStringLiteral("VO");
    if (name == QLatin1String("WMZ Arbeit"))
        return QStringLiteral("EE");
    if (name == QLatin1String("WMZ Leistung"))
        return QStringLiteral("PO");
    if (name == QLatin1String("WMZ Vorlauftemperatur"))
        return QStringLiteral("TF");
    if (name.startsWith(QLatin1String("WMZ R")) && name.contains(QLatin1String("cklauftemperatur")))
        return QStringLiteral("TR");
    if (name.startsWith(QLatin1String("WMZ Durchflu")))
        return QStringLiteral("FW");
    return name;
}

// The unit the value is stored in and the divisor that brings it there.
QString convertedUnit(const QString &unit, double &divisor)
{
    static const struct {
        const char *from;
        const char *to;
    } scaled[] = {{"Wh", "kWh"}, {"W", "kW"}, {"ml", "l"}, {"ml/h", "l/h"}};
    for (const auto &s : scaled) {
        if (unit == QLatin1String(s.from)) {
            divisor = 1000.0;
            return QString::fromLatin1(s.to);
        }
    }
    divisor = 1.0;
    return unit;
}

} // namespace

ParseResult parseVattenfallWaermeCsv(const QByteArray &data, QString &errorText, Records &values)
{
    const QByteArray clean = withoutCarriageReturns(data);
    const QList<QByteArrayView> lines = splitLines(clean);
    const qsizetype firstCount = values.size();

    const QString header = decodeText(lines.at(0));
    const QStringList columns = ParseHelpers::splitQuoted(header, u',', u'"');
    enum { Time, Name, Value, Unit, Ident, Plant, ColumnCount };
    static const char *const columnNames[ColumnCount] = {"TIME", "NAME", "VALUE", "UNIT", "IDENT", "ANLAGENUMMER"};
    qsizetype position[ColumnCount];
    qsizetype lastPosition = 0;
    for (int c = 0; c < ColumnCount; ++c) {
        position[c] = columns.indexOf(QLatin1String(columnNames[c]));
        if (position[c] < 0) {
            errorText = QStringLiteral("Missing header field (") + header + u')';
            return ParseResult::Faulty;
        }
        lastPosition = qMax(lastPosition, position[c]);
    }

    for (qsizetype index = 1; index < lines.size(); ++index) {
        if (lines.at(index).isEmpty())
            continue;
        const QString line = decodeText(lines.at(index));
        const QStringList fields = ParseHelpers::splitQuoted(line, u',', u'"');
        if (fields.size() <= lastPosition) {
            errorText = QStringLiteral("Not enough data fields: ") + line;
            return ParseResult::Faulty;
        }

        DataParser::ValueRec rec;
        DataParser::resetRecord(rec);
        bool ok = false;
        const qint64 seconds = fields.at(position[Time]).toLongLong(&ok);
        // Beyond the years QDateTime can hold, the time is as unreadable as a non-number.
        if (!ok || seconds < -(Q_INT64_C(1) << 40) || seconds > (Q_INT64_C(1) << 40)) {
            errorText = QStringLiteral("Could not parse timestamp: ") + fields.at(position[Time]) + QStringLiteral(" (") + line + u')';
            return ParseResult::Faulty;
        }
        rec.timestamp = QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
        if (!FieldReaders::isPlausibleTime(rec.timestamp)) {
            errorText = FieldReaders::implausibleTimeText(fields.at(position[Time])) + QStringLiteral(" (") + line + u')';
            return ParseResult::Faulty;
        }
        rec.iaks = fields.at(position[Plant]) + u':' + quantityCode(fields.at(position[Name]));
        double divisor = 1.0;
        rec.unit = convertedUnit(fields.at(position[Unit]), divisor);
        rec.serialNumber = fields.at(position[Ident]);
        rec.importType = DataParser::IMPTYPE_VATTENFALL_WAERME;
        if (!parseCDouble(fields.at(position[Value]), rec.value, DecimalComma::NotANumber)) {
            errorText = QStringLiteral("Could not parse value: ") + fields.at(position[Value]) + QStringLiteral(" (") + line + u')';
            return ParseResult::Faulty;
        }
        rec.value /= divisor;
        values.append(rec);
    }
    if (values.size() == firstCount) {
        errorText = QStringLiteral("No data found");
        return ParseResult::NoData;
    }
    return ParseResult::Parsed;
}

} // namespace FormatParsers
