#pragma once

#include "parsing/RecordSink.h"
#include "parsing/ValueRec.h"

// The one entry that turns the bytes of a data file into value records. It recognises the
// format from the file's first bytes and hands the data to the matching format parser.
// The class keeps no state and is never constructed: parse is static and may run in several
// threads at once. Records, import types and their names come from ValueRecTypes.
class DataParser : public ValueRecTypes
{
public:
    // Recognises the format of data and appends its records to values. errorText is cleared on
    // entry and holds the reason on failure; records appended before a failure stay in values.
    // fileName is the attachment or file name, "-" when there is none.
    static bool parse(const QByteArray &data, QString &errorText, QList<ValueRec> &values,
                      const QString &fileName);
    // The same into a sink: with a consumer, records leave in batches while the parser runs and
    // the last batch when it is done, also after a failure.
    static bool parse(const QByteArray &data, QString &errorText, RecordSink &sink, const QString &fileName);

    // Brings a record to the state a format parser starts from: the current local time,
    // empty texts, type 0, value 0, no increment, state 0, no flags.
    static void resetRecord(ValueRec &rec);
};
