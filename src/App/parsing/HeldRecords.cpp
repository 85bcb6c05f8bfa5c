#include "parsing/HeldRecords.h"

#include <algorithm>

namespace {

// Texts from one parser are mostly the same shared strings: equal data pointers answer at once.
bool same(const QString &a, const QString &b)
{
    return a.constData() == b.constData() || a == b;
}

} // namespace

bool HeldRecords::Texts::operator==(const Texts &o) const
{
    return same(iaks, o.iaks) && same(aks, o.aks) && same(unit, o.unit) && same(description, o.description)
           && same(serialNumber, o.serialNumber) && same(ipAddress, o.ipAddress) && same(obis, o.obis)
           && flagList == o.flagList;
}

size_t qHash(const HeldRecords::Texts &t, size_t seed)
{
    return qHashMulti(seed, t.iaks, t.aks, t.unit, t.description, t.serialNumber, t.ipAddress, t.obis);
}

void HeldRecords::clear()
{
    m_records.clear();
    m_texts.clear();
    m_textIndex.clear();
    m_times.clear();
    m_lastTime = 0;
}

quint32 HeldRecords::textsIndex(const Record &r)
{
    Texts texts{r.iaks, r.aks, r.unit, r.description, r.serialNumber, r.ipAddress, r.obis, r.flagList};
    if (!m_texts.isEmpty() && m_texts.constLast() == texts) // the usual case: the same meter again
        return quint32(m_texts.size() - 1);
    const auto known = m_textIndex.constFind(texts);
    if (known != m_textIndex.cend())
        return *known;
    const quint32 index = quint32(m_texts.size());
    m_textIndex.insert(texts, index);
    m_texts.append(std::move(texts));
    return index;
}

// A file's times are of one or a few kinds: the last one used is tried first.
quint32 HeldRecords::timeIndex(const QDateTime &t)
{
    const TimeKind kind{t.timeSpec(), t.timeSpec() == Qt::OffsetFromUTC ? t.offsetFromUtc() : 0,
                        t.timeSpec() == Qt::TimeZone ? t.timeZone() : QTimeZone()};
    const auto matches = [&kind](const TimeKind &k) {
        return k.spec == kind.spec && k.offsetSeconds == kind.offsetSeconds && k.zone == kind.zone;
    };
    if (m_lastTime < quint32(m_times.size()) && matches(m_times.at(m_lastTime)))
        return m_lastTime;
    m_lastTime = quint32(std::find_if(m_times.cbegin(), m_times.cend(), matches) - m_times.cbegin());
    if (m_lastTime == quint32(m_times.size()))
        m_times.append(kind);
    return m_lastTime;
}

void HeldRecords::append(const Record &r)
{
    const qint64 msecs = r.timestamp.isValid() ? r.timestamp.toMSecsSinceEpoch() : InvalidTime;
    m_records.append(Held{msecs, r.value, r.state, textsIndex(r), timeIndex(r.timestamp), quint8(r.importType), r.increment});
}

void HeldRecords::append(const QList<Record> &records)
{
    m_records.reserve(m_records.size() + records.size());
    for (const Record &r : records)
        append(r);
}

void HeldRecords::sortByTime()
{
    std::stable_sort(m_records.begin(), m_records.end(), [](const Held &a, const Held &b) { return a.msecs < b.msecs; });
}

HeldRecords::Record HeldRecords::at(qsizetype index) const
{
    const Held &h = m_records.at(index);
    const Texts &texts = m_texts.at(h.texts);
    const TimeKind &time = m_times.at(h.time);
    Record r;
    if (h.msecs != InvalidTime) {
        r.timestamp = time.spec == Qt::TimeZone ? QDateTime::fromMSecsSinceEpoch(h.msecs, time.zone)
                                                : QDateTime::fromMSecsSinceEpoch(h.msecs, time.spec, time.offsetSeconds);
    }
    r.iaks = texts.iaks;
    r.aks = texts.aks;
    r.importType = ValueRecTypes::ImportType(h.importType);
    r.value = h.value;
    r.increment = h.increment;
    r.state = h.state;
    r.unit = texts.unit;
    r.description = texts.description;
    r.serialNumber = texts.serialNumber;
    r.ipAddress = texts.ipAddress;
    r.obis = texts.obis;
    r.flagList = texts.flagList;
    return r;
}
