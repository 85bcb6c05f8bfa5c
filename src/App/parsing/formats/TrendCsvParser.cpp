#include "parsing/formats/FormatParsers.h"
#include "parsing/FieldReaders.h"

#include <QLocale>

using namespace FieldReaders;

namespace FormatParsers {

namespace {

// "Aussentemperatur in °C.txt" names the series "Aussentemperatur" with the unit "°C".
void nameAndUnit(const QString &fileName, QString &name, QString &unit)
{
    name = fileName;
    if (name.toUpper().endsWith(QLatin1String(".TXT")))
        name.chop(4);
    unit.clear();
    const QStringList parts = name.split(u' ');
    if (parts.size() >= 2 && parts.at(parts.size() - 2) == QLatin1String("in")) {
        unit = parts.last();
        const QString suffix = QStringLiteral(" in ") + unit;
        if (name.endsWith(suffix))
            name.chop(suffix.size());
    }
}

} // namespace

ParseResult parseTrendCsv(const QByteArray &data, QString &errorText, Records &values, const QString &fileName)
{
    const QByteArray clean = withoutCarriageReturns(data);
    const QList<QByteArrayView> lines = splitLines(clean);

    QString name;
    QString unit;
    nameAndUnit(fileName, name, unit);
    const QLocale german(QLocale::German, QLocale::Germany);

    bool accepted = false;
    for (qsizetype index = 0; index < lines.size(); ++index) {
        if (lines.at(index).isEmpty())
            continue;
        const QString line = decodeText(lines.at(index));
        const QStringList fields = line.split(u'\t');
        QDateTime timestamp;
        double value = 0.0;
        const bool valid = fields.size() == 2
            && (timestamp = german.toDateTime(fields.at(0), QStringLiteral("dddd, d. MMMM yyyy HH:mm:ss"))).isValid()
            && parseCDouble(fields.at(1).trimmed(), value);
        if (!valid) {
            if (!accepted)
                return ParseResult::NotThisFormat;
            if (errorText.isEmpty())
                errorText = QStringLiteral("Invalid format on line %1 :").arg(index + 1) + line;
            return ParseResult::Faulty;
        }
        accepted = true;

        DataParser::ValueRec rec;
        DataParser::resetRecord(rec);
        rec.timestamp = timestamp;
        rec.iaks = name;
        rec.importType = DataParser::IMPTYPE_TREND_CSV;
        rec.unit = unit;
        rec.value = value;
        values.append(rec);
    }
    // Every accepted line gives a record or fails the file, so an accepted file is never empty.
    return accepted ? ParseResult::Parsed : ParseResult::NotThisFormat;
}

} // namespace FormatParsers
