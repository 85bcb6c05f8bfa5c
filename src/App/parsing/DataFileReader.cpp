#include "parsing/DataFileReader.h"

#include "parsing/Gunzip.h"

#include <QTextCodec>

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
    result.data = input.bytes;
    if (input.bytes.size() > input.maxUnpackedBytes) {
        result.errorText = tooLargeText(input.maxUnpackedBytes);
        return result;
    }
    if (input.name.endsWith(QLatin1String(".gz"))) {
        QByteArray unpacked;
        switch (Gunzip::gunzip(input.bytes, unpacked, input.maxUnpackedBytes)) {
        case Gunzip::Result::TrailingData:
            result.gunzipTrailingData = true;
            [[fallthrough]];
        case Gunzip::Result::Ok:
            result.data = std::move(unpacked);
            break;
        case Gunzip::Result::Damaged:
            result.gunzipFailed = true; // the parser gets the packed bytes
            break;
        case Gunzip::Result::TooLarge:
            result.errorText = tooLargeText(input.maxUnpackedBytes);
            result.data.clear();
            return result;
        }
    }
    if (input.convertCharset)
        convertToUtf8(result.data, input.charsetName, result);

    result.parsed = DataParser::parse(result.data, result.errorText, sink, input.parserFileName);
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
