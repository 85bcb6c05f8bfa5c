#pragma once
// The one road from the bytes of a data file or mail attachment to value records. The mail
// intake, quillon-parse and the offline tools all read through it:
//   name rule ".gz" -> gunzip (bounded, as a stream) -> character set to UTF-8 (mail parts) ->
//   detection and parsing -> records or the error text.
// A large input is spooled to a temporary file and mapped (InputSpool); while it is parsed, the
// pages read are given back every few milliseconds, and a sink that hands its records on in batches
// keeps the records out of memory too.
// Stateless; callable from any thread.

#include "parsing/DataParser.h"
#include "parsing/InputSpool.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

class QIODevice;

namespace DataLimits {
// Largest unpacked size of one attachment or data file. Larger ones fail with a clear text
// instead of exhausting memory.
inline constexpr qint64 MaxUnpackedBytes = 512LL * 1024 * 1024;
} // namespace DataLimits

struct DataFileInput
{
    QString name;            // attachment or file name; a name ending in ".gz" (exact case) is unpacked
    QByteArray bytes;        // as read or as decoded from the mail part
    QIODevice *device = nullptr; // instead of bytes: an opened file, read piece by piece
    bool convertCharset = false; // mail parts: convert to UTF-8 by charsetName and byte-order mark
    QString charsetName;     // as DataFileReader::charsetFromAttributes gives it; empty means UTF-8
    QString parserFileName = QStringLiteral("-"); // the name the parser sees ("-" for plain files)
    qint64 maxUnpackedBytes = DataLimits::MaxUnpackedBytes;
    qint64 memoryBytes = InputSpool::MemoryBytes; // past this the bytes go to a temporary file
};

struct DataFileResult
{
    bool parsed = false;
    QString errorText;       // why it failed: the parser's text or the size limit's
    QList<DataParser::ValueRec> records; // records parsed before a failure stay here (read without a sink)
    QByteArray data;         // the bytes the parser saw (UTF-8 after a conversion), valid while the result lives
    std::shared_ptr<const InputSpool> spool; // holds data

    // Problems that did not stop the road; the caller logs them in its own words.
    bool gunzipFailed = false;       // damaged gzip data: the packed bytes went on to the parser
    bool gunzipTrailingData = false; // data after the last gzip member left out; the members parsed
    bool codecMissing = false;       // no codec for charsetName: bytes left unchanged
    bool utfCodecMissing = false;    // no codec after the byte-order mark test: bytes unchanged
    QString codecName;               // the set name looked up (upper-cased, "UTF-8" for empty)
};

class DataFileReader
{
public:
    static DataFileResult read(const DataFileInput &input);
    // The same road with the records going to the sink (in batches when it has a consumer);
    // result.records stays empty.
    static DataFileResult read(const DataFileInput &input, RecordSink &sink);

    // The character set a mail part declares in its content-type attributes ("charset=..." in
    // any case, wherever it stands in the list, the last one included): upper-cased, double
    // quotes removed. Empty when no charset entry carries a value.
    static QString charsetFromAttributes(const QString &contentTypeAttributes);

    // The text of the size-limit failure, for example
    // "Unpacked data larger than 536870912 bytes (limit of one attachment or file)".
    static QString tooLargeText(qint64 maxBytes);
};
