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

void HeldRecords::append(const Record &r)
{
    const qint64 msecs = r.timestamp.isValid() ? r.timestamp.toMSecsSinceEpoch() : InvalidTime;
    m_records.append(Held{r.timestamp, msecs, r.value, r.state, textsIndex(r), quint8(r.importType), r.increment});
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
    Record r;
    r.timestamp = h.timestamp;
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
