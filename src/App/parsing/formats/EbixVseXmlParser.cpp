#include "parsing/FieldReaders.h"
#include "parsing/ParseHelpers.h"
#include "parsing/formats/FormatParsers.h"

#include "KyrLogger/Logger.h"

#include <QDomDocument>
#include <QDomElement>
#include <QLocale>
#include <QtNumeric>

#include <cmath>

// ebIX metering data of the Swiss VSE profile (namespace published under www.strom.ch):
//   <MeteringData>
//     <ConsumptionMeteringPoint><VSENationalID>CH...</VSENationalID></ConsumptionMeteringPoint>
//     <Product><ID>8716867000030</ID><MeasureUnit>KWH</MeasureUnit></Product>
//     <Interval><StartDateTime>2024-01-01T00:00:00Z</StartDateTime>...</Interval>
//     <Resolution><Resolution>15</Resolution>...</Resolution>
//     <Observation><Position><Sequence>1</Sequence></Position><Volume>1.5</Volume></Observation>
//   </MeteringData>
// Elements are matched by their local name, whatever prefix the document uses.

namespace FormatParsers {

namespace {

const QString VseNamespaceHost = QStringLiteral("www.strom.ch");

QString localName(const QDomNode &node)
{
    const QString local = node.localName();
    return local.isEmpty() ? node.nodeName() : local;
}

QDomElement childNamed(const QDomNode &parent, const QString &name)
{
    for (QDomElement child = parent.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        if (localName(child) == name)
            return child;
    }
    return QDomElement();
}

QDomElement nextSiblingNamed(const QDomElement &element, const QString &name)
{
    for (QDomElement next = element.nextSiblingElement(); !next.isNull(); next = next.nextSiblingElement()) {
        if (localName(next) == name)
            return next;
    }
    return QDomElement();
}

// Every element of that local name below parent, in document order.
void collectDescendants(const QDomNode &parent, const QString &name, QList<QDomElement> &found)
{
    for (QDomElement child = parent.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        if (localName(child) == name)
            found.append(child);
        collectDescendants(child, name, found);
    }
}

// Start of the interval at position (counted from 1); invalid when it is beyond any date.
QDateTime intervalStart(const QDateTime &start, int position, qint64 resolutionMinutes)
{
    qint64 minutes = 0;
    if (qMulOverflow(qint64(position) - 1, resolutionMinutes, &minutes) || qAbs(minutes) > Q_INT64_C(1) << 40)
        return QDateTime();
    return start.addSecs(minutes * 60);
}

// When a block's values lie: its start as written and read, and the interval length.
struct Timing {
    QString startText;
    QDateTime start;
    qint64 resolutionMinutes = 0;
};

bool readTiming(const QDomElement &block, Timing &timing, QString &errorText)
{
    timing.startText = childNamed(childNamed(block, QStringLiteral("Interval")), QStringLiteral("StartDateTime")).text();
    const QString resolutionText = childNamed(childNamed(block, QStringLiteral("Resolution")), QStringLiteral("Resolution")).text();
    // UTC: never lost in a local clock-change gap.
    timing.start = FieldReaders::fromPattern(timing.startText, QStringLiteral("yyyy-MM-ddTHH:mm:ssZ"), Qt::UTC);
    timing.resolutionMinutes = resolutionText.toInt();
    if (!timing.start.isValid() || timing.resolutionMinutes <= 0) {
        errorText = QStringLiteral("Invalid StartDateTime / Resolution '%1' '%2'").arg(timing.startText, resolutionText);
        return false;
    }
    return true;
}

// Turns MeteringData blocks into records: one per quantity of each observation.
class BlockReader
{
public:
    BlockReader(QString &errorText, Records &values) : errorText(errorText), values(values)
    {
        DataParser::resetRecord(rec);
    }

    ParseResult readBlock(const QDomElement &block);

private:
    ParseResult readObservation(const QDomElement &observation, int position, const QString &meteringPoint,
                                const Timing &timing);
    ParseResult fail(const QString &text)
    {
        errorText = text;
        return ParseResult::Faulty;
    }

    QString &errorText;
    Records &values;
    DataParser::ValueRec rec;
};

// A block: its product (unit and description), metering point and timing, then its observations
// in document order; a position out of sequence is logged and read as it stands.
ParseResult BlockReader::readBlock(const QDomElement &block)
{
    const QDomElement product = childNamed(block, QStringLiteral("Product"));
    rec.importType = DataParser::IMPTYPE_EBIX_VSE;
    rec.unit = ParseHelpers::ediUnit(childNamed(product, QStringLiteral("MeasureUnit")).text());
    rec.description = ParseHelpers::productName(childNamed(product, QStringLiteral("ID")).text());
    rec.serialNumber.clear();
    rec.ipAddress.clear();
    rec.obis.clear();
    rec.increment = false;
    rec.state = 0;

    const QDomElement pointId = childNamed(childNamed(block, QStringLiteral("ConsumptionMeteringPoint")),
                                           QStringLiteral("VSENationalID"));
    if (pointId.isNull())
        return fail(QStringLiteral("VSENationalID not found"));
    const QString meteringPoint = pointId.text();
    Timing timing;
    if (!readTiming(block, timing, errorText))
        return ParseResult::Faulty;

    QList<QDomElement> observations;
    collectDescendants(block, QStringLiteral("Observation"), observations);
    int expected = 1;
    for (const QDomElement &observation : std::as_const(observations)) {
        const int position = childNamed(childNamed(observation, QStringLiteral("Position")), QStringLiteral("Sequence")).text().toInt();
        if (position != expected)
            LOG_OUT(Kyr::LogWarning, QStringLiteral("Sequence mismatch, expected %1, is %2")).arg(expected).arg(position).endl();
        expected = position + 1;
        if (const ParseResult rc = readObservation(observation, position, meteringPoint, timing); rc != ParseResult::Parsed)
            return rc;
    }
    return ParseResult::Parsed;
}

// An observation: every child but Position is a quantity named after its element; a text that is
// no number gives 0.
ParseResult BlockReader::readObservation(const QDomElement &observation, int position, const QString &meteringPoint,
                                         const Timing &timing)
{
    rec.timestamp = intervalStart(timing.start, position, timing.resolutionMinutes);
    if (!FieldReaders::isPlausibleTime(rec.timestamp)) {
        return fail(FieldReaders::implausibleTimeText(
            QStringLiteral("%1 + %2 x %3 min").arg(timing.startText).arg(qint64(position) - 1).arg(timing.resolutionMinutes)));
    }
    for (QDomElement quantity = observation.firstChildElement(); !quantity.isNull(); quantity = quantity.nextSiblingElement()) {
        const QString quantityName = localName(quantity);
        if (quantityName == QLatin1String("Position"))
            continue;
        rec.iaks = meteringPoint + u':' + quantityName;
        bool number = false;
        const double value = QLocale::c().toDouble(quantity.text(), &number);
        if (number && !std::isfinite(value)) // "nan" and "inf" are no meter values
            return fail(QStringLiteral("Could not parse value: ") + quantity.text());
        rec.value = number ? value : 0.0;
        values.append(rec);
    }
    return ParseResult::Parsed;
}

} // namespace

ParseResult parseEbixVseXml(const QByteArray &data, QString &errorText, Records &values)
{
    errorText.clear();
    QDomDocument document;
    if (!ParseHelpers::loadXml(data, true, document, errorText))
        return ParseResult::Faulty;

    const QDomElement root = document.documentElement();
    if (!root.namespaceURI().contains(VseNamespaceHost)) {
        errorText = QStringLiteral("Wrong namespaceURI ") + root.namespaceURI();
        return ParseResult::NotThisFormat;
    }
    QDomElement block = childNamed(root, QStringLiteral("MeteringData"));
    if (block.isNull()) {
        errorText = QStringLiteral("MeteringData not found");
        return ParseResult::NotThisFormat;
    }

    const qsizetype firstCount = values.size();
    BlockReader reader(errorText, values);
    for (; !block.isNull(); block = nextSiblingNamed(block, QStringLiteral("MeteringData"))) {
        if (const ParseResult rc = reader.readBlock(block); rc != ParseResult::Parsed)
            return rc;
    }
    if (values.size() == firstCount) {
        errorText = QStringLiteral("No data found");
        return ParseResult::NoData;
    }
    return ParseResult::Parsed;
}

} // namespace FormatParsers
