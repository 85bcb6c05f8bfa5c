#include "parsing/DataFileReader.h"

#include "parsing/Gunzip.h"

#include <QIODevice>
#include <QTextCodec>

#include <cstring>

namespace {

// Converts data to UTF-8 by the declared set and a byte-order mark in the data.
void convertToUtf8(QByteArray &data, const QString &declared, DataFileResult &result)
{
    QString name = declared;
    if (name.isEmpty())
        name = QStringLiteral("UTF-8");
    else if (name == QLatin1String("US-ASCII"))
        name = QStringLiteral("ISO-8859-1");
    result.codecName = name;

    QTextCodec *named = QTextCodec::codecForName(name.toLatin1());
    if (!named) {
        result.codecMissing = true;
        return;
    }
    QTextCodec *codec = QTextCodec::codecForUtfText(data, named);
    if (!codec) {
        result.utfCodecMissing = true;
        return;
    }
    if (codec->mibEnum() == 106) // UTF-8: the bytes stay as they are
        return;
    data = codec->toUnicode(data).toUtf8();
}

bool finished(InputSpool &spool, DataFileResult &result)
{
    if (spool.finish())
        return true;
    result.errorText = spool.errorText();
    return false;
}

// A device is read from its start, also a second time after damaged gzip data.
bool rewound(const DataFileInput &input)
{
    return input.device->pos() == 0 || input.device->seek(0);
}

// Fills the spool with the input's bytes as they are; false past the limit or on a failure.
bool spoolPlain(const DataFileInput &input, InputSpool &spool, DataFileResult &result)
{
    if (!input.device) {
        spool.adopt(input.bytes);
    } else if (!rewound(input)) {
        result.errorText = QStringLiteral("Could not read the data again: ") + input.device->errorString();
        return false;
    } else if (!spool.appendFrom(*input.device, input.maxUnpackedBytes)) {
        result.errorText = spool.tooLarge() ? DataFileReader::tooLargeText(input.maxUnpackedBytes) : spool.errorText();
        return false;
    }
    return finished(spool, result);
}

// Unpacks a ".gz" input into the spool. Damaged data goes to the parser packed, as it came.
bool spoolUnpacked(const DataFileInput &input, InputSpool &spool, DataFileResult &result)
{
    qint64 offset = 0;
    bool packedTooLarge = false; // a pipe's packed bytes are bounded as its plain bytes would be
    const Gunzip::Source source = [&](char *buffer, qint64 size) -> qint64 {
        if (input.device) {
            const qint64 n = input.device->read(buffer, size);
            offset += std::max<qint64>(n, 0);
            packedTooLarge = offset > input.maxUnpackedBytes;
            return packedTooLarge ? -1 : n;
        }
        const qint64 n = std::min(size, qint64(input.bytes.size()) - offset);
        std::memcpy(buffer, input.bytes.constData() + offset, size_t(n));
        offset += n;
        return n;
    };
    const auto target = [&spool](const char *data, qint64 size) { return spool.append(data, size); };
    if (input.device && !rewound(input)) {
        result.errorText = input.device->errorString();
        return false;
    }
    switch (Gunzip::gunzip(source, target, input.maxUnpackedBytes)) {
    case Gunzip::Result::TrailingData:
        result.gunzipTrailingData = true;
        [[fallthrough]];
    case Gunzip::Result::Ok:
        return finished(spool, result);
    case Gunzip::Result::Damaged:
        if (packedTooLarge)
            break;
        result.gunzipFailed = true;
        spool.clear();
        return spoolPlain(input, spool, result);
    case Gunzip::Result::TooLarge:
        break;
    case Gunzip::Result::TargetFailed:
        result.errorText = spool.errorText();
        return false;
    }
    result.errorText = DataFileReader::tooLargeText(input.maxUnpackedBytes);
    return false;
}

} // namespace

DataFileResult DataFileReader::read(const DataFileInput &input)
{
    RecordSink sink;
    DataFileResult result = read(input, sink);
    result.records = std::move(sink.pending());
    return result;
}

DataFileResult DataFileReader::read(const DataFileInput &input, RecordSink &sink)
{
    DataFileResult result;
    const qint64 inputSize = input.device ? input.device->size() : input.bytes.size();
    if (inputSize > input.maxUnpackedBytes) {
        result.errorText = tooLargeText(input.maxUnpackedBytes);
        return result;
    }
    auto spool = std::make_shared<InputSpool>(input.memoryBytes);
    const bool filled = input.name.endsWith(QLatin1String(".gz")) ? spoolUnpacked(input, *spool, result)
                                                                  : spoolPlain(input, *spool, result);
    if (!filled)
        return result;
    if (input.convertCharset) {
        QByteArray data = spool->bytes();
        convertToUtf8(data, input.charsetName, result);
        if (data.constData() != spool->bytes().constData()) // converted: the spool takes the new bytes
            spool->adopt(data);
    }
    result.spool = spool;
    result.data = spool->bytes();
    {
        const ParsedSpoolScope parsing(*spool);
        result.parsed = DataParser::parse(result.data, result.errorText, sink, input.parserFileName);
    }
    spool->releaseParsedPages();
    return result;
}

QString DataFileReader::charsetFromAttributes(const QString &contentTypeAttributes)
{
    const QStringList entries = contentTypeAttributes.split(u';');
    for (const QString &entry : entries) {
        const qsizetype eq = entry.indexOf(u'=');
        if (eq < 0 || entry.left(eq).trimmed().compare(QLatin1String("charset"), Qt::CaseInsensitive) != 0)
            continue;
        QString name = entry.mid(eq + 1).trimmed().toUpper();
        name.remove(u'"');
        if (!name.isEmpty())
            return name;
    }
    return QString();
}

QString DataFileReader::tooLargeText(qint64 maxBytes)
{
    return QStringLiteral("Unpacked data larger than %1 bytes (limit of one attachment or file)").arg(maxBytes);
}
