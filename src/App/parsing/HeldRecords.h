#pragma once
// Value records kept compactly where they must be held whole: the mail intake hands an attachment's
// values on only once it has parsed whole, and then sorted by time. The texts that a file's
// records share (identifiers, unit, description, serial number, address, OBIS code, flags) are kept
// once in a table; a held record is its time (as the parser made it, and as an instant to sort
// by), value, state, type and an index into the table: 40 bytes instead of the some 230 of a
// ValueRec with its own texts.

#include "parsing/ValueRec.h"

#include <QHash>
#include <QList>

#include <limits>

class HeldRecords
{
public:
    using Record = ValueRecTypes::ValueRec;

    void append(const Record &record);
    void append(const QList<Record> &records);
    qsizetype size() const { return m_records.size(); }
    bool isEmpty() const { return m_records.isEmpty(); }
    void clear();
    // Oldest first; records of the same time keep their order (invalid times come first).
    void sortByTime();
    // The record as it was appended.
    Record at(qsizetype index) const;

private:
    struct Texts
    {
        QString iaks;
        QString aks;
        QString unit;
        QString description;
        QString serialNumber;
        QString ipAddress;
        QString obis;
        QList<qint32> flagList;
        bool operator==(const Texts &other) const;
    };
    friend size_t qHash(const Texts &texts, size_t seed);

    struct Held
    {
        QDateTime timestamp;
        qint64 msecs;  // since the epoch; InvalidTime for a record without a valid time
        double value;
        qint32 state;
        quint32 texts; // index into m_texts
        quint8 importType;
        bool increment;
    };
    static_assert(sizeof(Held) <= 40);
    static constexpr qint64 InvalidTime = std::numeric_limits<qint64>::min();

    quint32 textsIndex(const Record &record);

    QList<Held> m_records;
    QList<Texts> m_texts;
    QHash<Texts, quint32> m_textIndex;
};
