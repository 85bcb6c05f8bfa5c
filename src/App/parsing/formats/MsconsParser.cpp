#include "parsing/formats/FormatParsers.h"
#include "parsing/formats/SegmentPieces.h"
#include "parsing/formats/SegmentScanner.h"

#include "parsing/FieldReaders.h"
#include "parsing/ParseHelpers.h"

#include <QHash>

#include <charconv>
#include <cmath>
#include <cstring>
#include <climits>
#include <limits>

// EDIFACT MSCONS interchanges: the envelope (UNB ... UNZ) and every message (UNH ... UNT) are
// checked with their control counts; every quantity of every line item becomes one record.
// The reader works on byte views into the file and copies only what ends up in a record.

namespace {

using Records = FormatParsers::Records;
using FormatParsers::ParseResult;
using SegmentPieces::PieceSpan;

// Exact comparison with a short literal, without a library call.
template <std::size_t N>
bool is(QByteArrayView text, const char (&literal)[N])
{
    return text.size() == qsizetype(N - 1) && std::memcmp(text.data(), literal, N - 1) == 0;
}

// Texts that share their data are equal without looking at them.
bool sameText(const QString &a, const QString &b)
{
    return (a.constData() == b.constData() && a.size() == b.size()) || a == b;
}

void assignShared(QString &to, const QString &from)
{
    if (to.constData() != from.constData() || to.size() != from.size())
        to = from;
}

// How a DTM format code is read: its pattern and the kind of zone part at the end of the text.
struct TimeFormat {
    const char *pattern = nullptr;
    qsizetype length = 0; // of the pattern
    enum Zone { NoZone, OffsetHhMm, OffsetHours } zone = NoZone;
};

// The three characters of a code as one number, for a switch over codes.
constexpr quint32 code3(const char (&code)[4])
{
    return quint32(uchar(code[0])) << 16 | quint32(uchar(code[1])) << 8 | uchar(code[2]);
}

TimeFormat timeFormat(QByteArrayView code)
{
    if (code.size() != 3)
        return TimeFormat();
    switch (quint32(uchar(code[0])) << 16 | quint32(uchar(code[1])) << 8 | uchar(code[2])) {
    case code3("102"): return {"yyyyMMdd", 8, TimeFormat::NoZone};
    case code3("201"): return {"yyMMddHHmm", 10, TimeFormat::NoZone};
    case code3("202"): return {"yyMMddHHmmss", 12, TimeFormat::NoZone};
    case code3("203"): return {"yyyyMMddHHmm", 12, TimeFormat::NoZone};
    case code3("204"): return {"yyyyMMddHHmmss", 14, TimeFormat::NoZone};
    case code3("205"): return {"yyyyMMddHHmm", 12, TimeFormat::OffsetHhMm};
    case code3("301"): return {"yyMMddHHmm", 10, TimeFormat::OffsetHours};
    case code3("302"): return {"yyMMddHHmmss", 12, TimeFormat::OffsetHours};
    case code3("303"): return {"yyyyMMddHHmm", 12, TimeFormat::OffsetHours};
    case code3("304"): return {"yyyyMMddHHmmss", 14, TimeFormat::OffsetHours};
    default: return TimeFormat();
    }
}

// A short number of a zone part as QByteArrayView::toInt reads it (0 when it is none); the plain
// form, an optional sign and digits, is read directly.
int zoneNumber(QByteArrayView text)
{
    qsizetype i = !text.isEmpty() && (text.front() == '+' || text.front() == '-') ? 1 : 0;
    if (i == text.size() || text.size() > 4)
        return text.toInt();
    int number = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return text.toInt();
        number = number * 10 + (text[i] - '0');
    }
    return text.front() == '-' ? -number : number;
}

// STS category 8 codes that mark a value as replaced or estimated.
bool isStatusCode(QByteArrayView code)
{
    static const char *const codes[] = {"ZA2", "Z74", "Z75", "Z76", "Z77", "Z78", "Z79", "Z80",
                                        "Z81", "Z82", "Z99", "ZA0", "ZA1", "ZC2", "ZC4", "ZA3",
                                        "ZA4", "ZA5", "ZA6", "ZA7", "ZA8", "ZA9", "ZB0", "ZB9"};
    for (const char *c : codes) {
        if (code == QByteArrayView(c))
            return true;
    }
    return false;
}

// A plain decimal ("-" sign, digits, "." and digits) of at most 15 digits: the integer of its
// digits and the power of ten are exact doubles, so their quotient is the correctly rounded
// value, the one std::from_chars gives. False for any other text.
bool readShortDecimal(QByteArrayView text, double &value)
{
    static constexpr double powersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7,
                                             1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const char *p = text.data();
    const char *const end = p + text.size();
    const bool negative = p != end && *p == '-';
    p += negative;
    quint64 digits = 0;
    int count = 0;
    int fraction = -1; // digits after the point; -1 before it
    for (; p != end; ++p) {
        if (*p >= '0' && *p <= '9') {
            digits = digits * 10 + quint64(*p - '0');
            ++count;
            fraction += fraction >= 0;
        } else if (*p == '.' && fraction < 0 && count > 0) {
            fraction = 0;
        } else {
            return false;
        }
    }
    if (count == 0 || count > 15 || fraction == 0)
        return false;
    const double magnitude = double(digits) / powersOfTen[fraction < 0 ? 0 : fraction];
    value = negative ? -magnitude : magnitude;
    return true;
}

// A finite number as the C locale reads it; the common plain form is read without any copy.
bool toDouble(QByteArrayView text, double &value)
{
    if (readShortDecimal(text, value))
        return true;
    bool plain = !text.isEmpty();
    for (const char c : text)
        plain = plain && ((c >= '0' && c <= '9') || c == '.' || c == '-');
    if (plain) {
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (ec == std::errc() && end == text.data() + text.size())
            return true;
    }
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false; // "nan" and "inf" are no meter values
    value = v;
    return true;
}

// The service characters of an interchange.
struct ServiceChars {
    char component = ':';
    char element = '+';
    char decimal = '.';
    char release = '?';
    char terminator = '\'';
};

class MsconsReader
{
public:
    MsconsReader(const QByteArray &data, QString &errorText, Records &values)
        : data(data), errorText(errorText), values(values)
    {
    }

    ParseResult read();

private:
    ParseResult fail(const QString &text)
    {
        errorText = text;
        return ParseResult::Faulty;
    }
    static QString text(QByteArrayView bytes) { return QString::fromLatin1(bytes); }

    // The components of element e of the current segment, nothing when the element does not
    // exist. They stay valid until the next segment is split.
    PieceSpan components(qsizetype element) { return splitter.components(element); }
    qsizetype elementCount() const { return splitter.elementCount(); }
    QByteArrayView elementAt(qsizetype element) { return splitter.elementAt(element); }

    // What the first look at the bytes finds: where the segments before the last one end (and how
    // many segments there are when they are counted), an upper bound of the quantities, and
    // copies of the first and the last segment (UNB and UNZ when the interchange is well formed).
    struct Envelope {
        qsizetype walkEnd = 0;
        qsizetype segments = std::numeric_limits<qsizetype>::max();
        qsizetype quantities = 0;
        QByteArray unb;
        QByteArray unz;
    };

    void readServiceAdvice();
    ParseResult scanInterchange(qsizetype start, Envelope &envelope);
    ParseResult countSegments(qsizetype start, Envelope &envelope);
    ParseResult readUnb(const QByteArray &unb);
    ParseResult readUnz(const QByteArray &unz, int &controlCount);
    ParseResult walkInterchange(qsizetype start, const Envelope &envelope);
    ParseResult checkTotals(int controlCount, qsizetype firstCount);

    ParseResult walkSegment(QByteArrayView segment);
    ParseResult readQuantity();
    ParseResult readDateSegment();
    void readStatus();
    void readLocation();
    void readReference();
    void readProductId();
    ParseResult openMessage(QByteArrayView segment);
    ParseResult closeMessage(QByteArrayView segment);
    ParseResult readValue(QByteArrayView valueText);
    ParseResult readTimestamp(PieceSpan dtm);
    bool parseTime(QByteArrayView dateText, const TimeFormat &format, QDateTime &time);
    void setLocation(QString &location, QByteArrayView value);
    ParseResult completeRecord();

    const QByteArray &data;
    QString &errorText;
    Records &values;

    ServiceChars chars;
    std::string scratch;          // unescaped copy of the current segment
    SegmentPieces::Splitter splitter;

    QString sender;
    QString recipient;
    QString senderRecipient;      // sender + "-" + recipient, the records' description
    int messageSegments = 0;      // segments of the current message, UNH and UNT included
    int messagesCounted = 0;
    bool accept = false;          // the last BGM had message function "9" (original)

    QString meteringPoint;        // LOC+172
    QString meterNumber;          // RFF+MG
    QString location237;
    QString location107;
    QString locationPair;         // location237 + "_" + location107 when both are set
    QString dottedObis;
    QString baseOfIdentifier;     // inputs and result of the last identifier built
    QString obisOfIdentifier;
    QString identifier;

    DataParser::ValueRec rec;
    bool valuePending = false;
    bool timestampValid = false;
    int sequence = 0;

    // Time stamps already read in this interchange (a load profile repeats the same intervals
    // for every meter): key = digits, format and zone offset.
    struct TimeKey {
        quint64 digits;
        const char *pattern;
        int offsetMinutes;
        bool operator==(const TimeKey &o) const
        {
            return digits == o.digits && pattern == o.pattern && offsetMinutes == o.offsetMinutes;
        }
    };
    friend size_t qHash(const TimeKey &k, size_t seed) { return qHashMulti(seed, k.digits, k.pattern, k.offsetMinutes); }
    QHash<TimeKey, QDateTime> timeCache;
};

ParseResult MsconsReader::read()
{
    qsizetype start = 0;
    if (data.startsWith("UNA")) {
        if (data.size() <= 8)
            return fail(QStringLiteral("Size for UNA does not fit"));
        readServiceAdvice();
        start = 9;
    }
    splitter.setServiceCharacters(chars.element, chars.component, chars.release);
    Envelope envelope;
    ParseResult rc = scanInterchange(start, envelope);
    if (rc == ParseResult::Parsed)
        rc = readUnb(envelope.unb);
    int controlCount = 0;
    if (rc == ParseResult::Parsed)
        rc = readUnz(envelope.unz, controlCount);
    if (rc != ParseResult::Parsed)
        return rc;

    const qsizetype firstCount = values.size();
    values.reserve(firstCount + envelope.quantities);
    rc = walkInterchange(start, envelope);
    return rc == ParseResult::Parsed ? checkTotals(controlCount, firstCount) : rc;
}

// UNA: the interchange's own service characters; the one before the terminator is reserved.
void MsconsReader::readServiceAdvice()
{
    chars.component = data.at(3);
    chars.element = data.at(4);
    chars.decimal = data.at(5);
    chars.release = data.at(6);
    chars.terminator = data.at(8);
}

// The envelope from both ends of the bytes: the first segment, and the last one found from the end.
ParseResult MsconsReader::scanInterchange(qsizetype start, Envelope &envelope)
{
    if (SegmentScanner::needsGeneralSplitter(chars.terminator, chars.release))
        return countSegments(start, envelope);
    const SegmentScanner::LastSegment last = SegmentScanner::lastSegment(data, start, chars.terminator, chars.release);
    if (!last.endsCleanly)
        return fail(QStringLiteral("Invalid end of file"));
    if (last.begin < 0 || last.first)
        return fail(QStringLiteral("Not enough segments"));
    const auto keep = [](QByteArray &copy) {
        return [&copy](QByteArrayView segment) {
            copy = segment.toByteArray();
            return false;
        };
    };
    SegmentScanner::forEach(data, start, chars.terminator, chars.release, scratch, keep(envelope.unb));
    SegmentScanner::forEach(QByteArrayView(data).first(last.end + 1), last.begin, chars.terminator, chars.release,
                            scratch, keep(envelope.unz));
    scratch.clear();
    envelope.walkEnd = last.begin;
    if (!values.batched()) // a held list is sized once; a batch is sized by the sink
        envelope.quantities = SegmentScanner::countText(data, start, "QTY");
    return ParseResult::Parsed;
}

// A first pass over all segments for service characters only the general splitter reads: the
// end of the interchange, the number of segments, the first and the last.
ParseResult MsconsReader::countSegments(qsizetype start, Envelope &envelope)
{
    QByteArrayView lastSegment;
    qsizetype segments = 0;
    const bool endsCleanly = SegmentScanner::forEach(
        data, start, chars.terminator, chars.release, scratch, [&](QByteArrayView segment) {
            if (segments++ == 0)
                envelope.unb = segment.toByteArray();
            envelope.quantities += segment.size() >= 3 && segment[0] == 'Q' && segment[1] == 'T' && segment[2] == 'Y';
            lastSegment = segment;
            if (scratch.size() > 0) { // an unescaped copy: keep it beyond this call
                envelope.unz = segment.toByteArray();
                lastSegment = envelope.unz;
                scratch.clear();
            }
        });
    if (!endsCleanly)
        return fail(QStringLiteral("Invalid end of file"));
    if (segments < 2)
        return fail(QStringLiteral("Not enough segments"));
    if (lastSegment.data() != envelope.unz.constData())
        envelope.unz = lastSegment.toByteArray();
    envelope.segments = segments;
    envelope.walkEnd = data.size();
    return ParseResult::Parsed;
}

// UNB: the character set and the interchange partners, the records' description.
ParseResult MsconsReader::readUnb(const QByteArray &unb)
{
    splitter.split(unb);
    if (elementCount() < 4)
        return fail(QStringLiteral("Not enough elements for UNB: ") + text(unb));
    if (!is(elementAt(0), "UNB"))
        return fail(QStringLiteral("No UNB: ") + text(unb));
    if (!elementAt(1).startsWith("UNOC"))
        return fail(QStringLiteral("No UNOC charset: ") + text(unb));
    if (const PieceSpan c = components(2); !c.empty())
        sender = text(c[0]);
    if (const PieceSpan c = components(3); !c.empty())
        recipient = text(c[0]);
    senderRecipient = sender + u'-' + recipient;
    return ParseResult::Parsed;
}

// UNZ: the number of messages the interchange says it holds.
ParseResult MsconsReader::readUnz(const QByteArray &unz, int &controlCount)
{
    splitter.split(unz);
    if (elementCount() < 2)
        return fail(QStringLiteral("Not enough elements for UNZ: ") + text(unz));
    if (!is(elementAt(0), "UNZ"))
        return fail(QStringLiteral("No UNZ: ") + text(unz));
    controlCount = elementAt(1).toInt();
    return ParseResult::Parsed;
}

// The segments between UNB and UNZ, until the first fault.
ParseResult MsconsReader::walkInterchange(qsizetype start, const Envelope &envelope)
{
    DataParser::resetRecord(rec);
    qsizetype index = 0;
    ParseResult rc = ParseResult::Parsed;
    SegmentScanner::forEach(QByteArrayView(data).first(envelope.walkEnd), start, chars.terminator, chars.release,
                            scratch, [&](QByteArrayView segment) {
                                if (index++ > 0)
                                    rc = walkSegment(segment);
                                scratch.clear();
                                return rc == ParseResult::Parsed && index + 1 < envelope.segments;
                            });
    return rc;
}

// After the walk: every message closed, their number as UNZ says, at least one record.
ParseResult MsconsReader::checkTotals(int controlCount, qsizetype firstCount)
{
    if (messageSegments != 0)
        return fail(QStringLiteral("Additional records after UNT"));
    if (controlCount != messagesCounted) {
        return fail(QStringLiteral("Wrong message count: ") + QString::number(messagesCounted) + u'/'
                    + QString::number(controlCount));
    }
    if (values.size() == firstCount) {
        errorText = QStringLiteral("No data found");
        return ParseResult::NoData;
    }
    return ParseResult::Parsed;
}

ParseResult MsconsReader::walkSegment(QByteArrayView segment)
{
    ++messageSegments;
    splitter.split(segment);
    if (elementCount() == 0)
        return fail(QStringLiteral("Not enough elements: ") + text(segment));

    const QByteArrayView tag = elementAt(0);
    if (valuePending && (is(tag, "QTY") || is(tag, "UNT") || is(tag, "LIN"))) {
        if (const ParseResult rc = completeRecord(); rc != ParseResult::Parsed)
            return rc;
    }

    if (is(tag, "QTY"))
        return readQuantity();
    if (is(tag, "DTM"))
        return readDateSegment();
    if (is(tag, "STS"))
        readStatus();
    else if (is(tag, "LOC"))
        readLocation();
    else if (is(tag, "RFF"))
        readReference();
    else if (is(tag, "PIA"))
        readProductId();
    else if (is(tag, "BGM") && elementCount() > 3)
        accept = is(elementAt(3), "9");
    else if (is(tag, "UNH"))
        return openMessage(segment);
    else if (is(tag, "UNT"))
        return closeMessage(segment);
    return ParseResult::Parsed; // NAD, UNS, CCI, LIN and all others carry nothing for the records
}

// QTY: a value; qualifier 20 marks it as replaced.
ParseResult MsconsReader::readQuantity()
{
    const PieceSpan c = components(1);
    if (c.size() <= 1)
        return ParseResult::Parsed;
    if (is(c[0], "20"))
        rec.state = 1001;
    return readValue(c[1]);
}

// DTM after a value: its interval end (164) or its point in time (9); other dates are not read.
ParseResult MsconsReader::readDateSegment()
{
    if (!valuePending)
        return ParseResult::Parsed;
    // The qualifier alone first: an interval start (163) is passed by without reading the rest.
    const QByteArrayView qualifier = splitter.firstComponent(1);
    if (!is(qualifier, "164") && !is(qualifier, "9"))
        return ParseResult::Parsed;
    const PieceSpan c = components(1);
    return c.size() > 2 ? readTimestamp(c) : ParseResult::Parsed;
}

// STS: a sequence number (category 6, "T" + number) or a replaced or estimated value (category 8).
void MsconsReader::readStatus()
{
    const PieceSpan c = components(1);
    if (c.size() <= 3)
        return;
    if (is(c[0], "6") && c[1].startsWith('T'))
        sequence = c[1].sliced(1).toInt();
    else if (is(c[0], "8") && isStatusCode(c[3]))
        rec.state = 1002;
}

// LOC: the metering point (172) or one of the two locations (237, 107).
void MsconsReader::readLocation()
{
    const qsizetype count = elementCount();
    const QByteArrayView qualifier = count > 1 ? elementAt(1) : QByteArrayView();
    if (count > 2 && is(qualifier, "172")) {
        if (const PieceSpan c = components(2); !c.empty())
            meteringPoint = text(c[0]);
    } else if (count > 3 && is(qualifier, "237")) {
        if (const PieceSpan c = components(3); !c.empty())
            setLocation(location237, c[0]);
    } else if (count > 2 && is(qualifier, "107")) {
        if (const PieceSpan c = components(2); !c.empty())
            setLocation(location107, c[0]);
    }
}

// RFF+MG: the meter number.
void MsconsReader::readReference()
{
    const PieceSpan c = components(1);
    if (c.size() > 1 && is(c[0], "MG"))
        meterNumber = text(c[1]);
}

// PIA+5 with an SRW code: the OBIS code, its unit and whether its values are amounts.
void MsconsReader::readProductId()
{
    if (elementCount() <= 2 || !is(elementAt(1), "5"))
        return;
    const PieceSpan c = components(2);
    if (c.size() > 1 && is(c[1], "SRW")) {
        rec.obis = text(c[0]);
        dottedObis = rec.obis;
        dottedObis.replace(u'-', u'.').replace(u':', u'.').replace(u'*', u'.');
        rec.unit = ParseHelpers::obisUnit(rec.obis, rec.increment);
    }
}

// UNH: the first segment of a message, which must be an MSCONS message.
ParseResult MsconsReader::openMessage(QByteArrayView segment)
{
    if (messageSegments != 1)
        return fail(QStringLiteral("UNH is not first segment"));
    if (elementCount() < 3)
        return fail(QStringLiteral("Not enough UNH elements: ") + text(segment));
    if (!elementAt(2).startsWith("MSCONS"))
        return fail(QStringLiteral("Invalid INH message type: ") + text(segment));
    return ParseResult::Parsed;
}

// UNT: the end of a message, whose segment count must match.
ParseResult MsconsReader::closeMessage(QByteArrayView segment)
{
    if (elementCount() < 2)
        return fail(QStringLiteral("Not enough UNT elements: ") + text(segment));
    const int counter = elementAt(1).toInt();
    if (counter != messageSegments) {
        return fail(QStringLiteral("UNT control counter does not match: ") + QString::number(counter) + u'/'
                    + QString::number(messageSegments));
    }
    ++messagesCounted;
    messageSegments = 0;
    return ParseResult::Parsed;
}

ParseResult MsconsReader::readValue(QByteArrayView valueText)
{
    QByteArray replaced;
    if (chars.decimal != '.' && valueText.contains(chars.decimal)) {
        replaced = valueText.toByteArray();
        replaced.replace(chars.decimal, '.');
        valueText = replaced;
    }
    if (!toDouble(valueText, rec.value))
        return fail(QStringLiteral("Could not parse value: ") + text(valueText));
    valuePending = true;
    return ParseResult::Parsed;
}

ParseResult MsconsReader::readTimestamp(PieceSpan dtm)
{
    const TimeFormat format = timeFormat(dtm[2]);
    if (!format.pattern)
        return fail(QStringLiteral("Unknown timestamp: ") + text(elementAt(1)));
    QDateTime time;
    if (!parseTime(dtm[1], format, time))
        return fail(QStringLiteral("Could not parse timestamp: ") + text(elementAt(1)));
    rec.timestamp = time;
    timestampValid = true;
    return ParseResult::Parsed;
}

// Reads the first pattern-length characters of dateText with the pattern (Qt's date-time
// patterns: "yy" is a year of the 1900s, as QDateTime::fromString reads it). Without a zone
// part the time is local time; with one it is read at that offset from UTC and converted to
// local time. Returns false when the pattern does not match.
bool MsconsReader::parseTime(QByteArrayView dateText, const TimeFormat &format, QDateTime &time)
{
    const qsizetype length = format.length;
    const QByteArrayView head = dateText.first(std::min(length, dateText.size()));

    int offsetMinutes = 0;
    if (format.zone == TimeFormat::OffsetHhMm && dateText.size() >= 5) {
        const QByteArrayView zone = dateText.last(5);
        offsetMinutes = zoneNumber(zone.sliced(1, 2)) * 60 + zoneNumber(zone.sliced(3, 2));
        if (zone.front() == '-')
            offsetMinutes = -offsetMinutes;
    } else if (format.zone == TimeFormat::OffsetHours) {
        offsetMinutes = zoneNumber(dateText.last(std::min(qsizetype(3), dateText.size()))) * 60;
    }

    quint64 digits = 0;
    bool allDigits = head.size() == length;
    for (const char c : head) {
        allDigits = allDigits && c >= '0' && c <= '9';
        digits = digits * 10 + quint64(c - '0');
    }
    const TimeKey key{digits, format.pattern, format.zone == TimeFormat::NoZone ? INT_MIN : offsetMinutes};
    if (allDigits) {
        const auto hit = timeCache.constFind(key);
        if (hit != timeCache.constEnd()) {
            time = *hit;
            return true;
        }
    }

    // The digits are read as a wall clock in UTC first, so that a zoned time is never lost in a
    // local clock-change gap: it names an instant at its offset. A time without zone is local
    // time (moved past the gap when the clock skips it).
    const QDateTime wallClock = FieldReaders::parseDateTime(head, format.pattern, Qt::UTC);
    if (!wallClock.isValid())
        return false;
    time = format.zone == TimeFormat::NoZone
        ? FieldReaders::wallClockTime(wallClock.date(), wallClock.time(), Qt::LocalTime)
        : QDateTime(wallClock.date(), wallClock.time(), Qt::OffsetFromUTC, offsetMinutes * 60).toLocalTime();
    if (allDigits) {
        if (timeCache.size() > 100000)
            timeCache.clear();
        timeCache.insert(key, time);
    }
    return true;
}

void MsconsReader::setLocation(QString &location, QByteArrayView value)
{
    location = text(value);
    if (!location237.isEmpty() && !location107.isEmpty())
        locationPair = location237 + u'_' + location107;
    else
        locationPair.clear();
}

// Turns the pending value into a record: identifier from the metering point (or the meter
// number, the two locations, the interchange partners), the OBIS code and the sequence.
ParseResult MsconsReader::completeRecord()
{
    if (!timestampValid)
        return fail(QStringLiteral("No valid timestamp"));
    rec.importType = DataParser::IMPTYPE_MSCONS;

    const QString &base = !meteringPoint.isEmpty() ? meteringPoint
        : !meterNumber.isEmpty()                   ? meterNumber
        : !locationPair.isEmpty()                  ? locationPair
                                                   : senderRecipient;
    // Without an OBIS code the identifier keeps what the previous value left in it.
    if (!dottedObis.isEmpty()) {
        if (identifier.isNull() || !sameText(base, baseOfIdentifier) || !sameText(dottedObis, obisOfIdentifier)) {
            baseOfIdentifier = base;
            obisOfIdentifier = dottedObis;
            identifier = base + u'_' + dottedObis;
        }
        assignShared(rec.iaks, identifier);
    }
    if (sequence > 1)
        rec.iaks += u'_' + QString::number(sequence);
    assignShared(rec.description, senderRecipient);
    assignShared(rec.serialNumber, base);

    // Only messages whose BGM says "original" (9) deliver values; others are read and dropped.
    if (accept)
        values.append(rec);

    rec.state = 0;
    sequence = 0;
    valuePending = false;
    timestampValid = false;
    return ParseResult::Parsed;
}

} // namespace

namespace FormatParsers {

ParseResult parseMscons(const QByteArray &data, QString &errorText, Records &values)
{
    MsconsReader reader(data, errorText, values);
    return reader.read();
}

} // namespace FormatParsers
