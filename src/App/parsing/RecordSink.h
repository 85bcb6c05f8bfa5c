#pragma once
// Where a format parser puts its records. Without a consumer the sink holds every record of the
// file (the list the caller takes afterwards); with one, records leave in batches of at most
// batchRecords as the parser goes, so what a file's records cost in memory is one batch.
// A parser sees the same operations either way: append, the count appended so far, the record
// appended last (still in the pending batch: a full batch leaves before the next append).

#include "parsing/InputSpool.h"
#include "parsing/ValueRec.h"

#include <functional>

class RecordSink
{
public:
    using Record = ValueRecTypes::ValueRec;
    using Batch = QList<Record>;
    using Consumer = std::function<void(Batch &)>; // may change the records it is handed
    static constexpr qsizetype DefaultBatchRecords = 8192;

    RecordSink() = default; // holds every record
    explicit RecordSink(Consumer consumer, qsizetype batchRecords = DefaultBatchRecords)
        : m_consumer(std::move(consumer)), m_batchRecords(batchRecords)
    {
    }

    // A sink used for file after file keeps the memory of its batch; the next file's records go to
    // this consumer. Call only with no records pending.
    void setConsumer(Consumer consumer)
    {
        m_consumer = std::move(consumer);
        m_handedOn = 0;
    }

    void append(const Record &record)
    {
        makeRoom();
        m_pending.append(record);
    }
    template <typename... Args>
    Record &emplaceBack(Args &&...args)
    {
        makeRoom();
        return m_pending.emplaceBack(std::forward<Args>(args)...);
    }
    // Records appended so far, handed on or not.
    qsizetype size() const { return m_handedOn + m_pending.size(); }
    Record &last() { return m_pending.last(); }
    // Room for count more records; with a consumer at most one batch.
    void reserve(qsizetype count)
    {
        m_pending.reserve(m_pending.size() + (m_consumer ? std::min(count, m_batchRecords) : count));
    }
    Batch &pending() { return m_pending; }
    // Whether records leave in batches (a parser then need not size its list for the whole file).
    bool batched() const { return bool(m_consumer); }

    // Hands the pending records to the consumer (the caller does so once the parser is done).
    void flush()
    {
        if (!m_consumer || m_pending.isEmpty())
            return;
        m_consumer(m_pending);
        m_handedOn += m_pending.size();
        m_pending.resize(0);
        ParsedPages::release(); // the bytes behind these records are done with
    }

private:
    void makeRoom()
    {
        if (m_consumer && m_pending.size() >= m_batchRecords)
            flush();
    }

    Consumer m_consumer;
    qsizetype m_batchRecords = DefaultBatchRecords;
    qsizetype m_handedOn = 0;
    Batch m_pending;
};
