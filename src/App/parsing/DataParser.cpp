#include "parsing/DataParser.h"

#include "parsing/FieldReaders.h"
#include "parsing/FormatDetection.h"
#include "parsing/FormatTable.h"

using FormatParsers::ParseResult;

namespace {

// Runs the parser of the detected format; while it declines, the rows of the format table that
// are tried after a decline (the ebIX VSE parser after LertesBox, the line formats of the
// fallback chain) get the same data.
ParseResult runParsers(DataParser::ImportType type, const QByteArray &data, QString &errorText,
                       FormatParsers::Records &values, const QString &fileName)
{
    const std::span<const FormatTable::Format> formats = FormatTable::formats();
    std::size_t row = std::size_t(FormatTable::byType(type) - formats.data());
    ParseResult rc = ParseResult::NotThisFormat;
    do {
        if (formats[row].parse)
            rc = formats[row].parse(data, errorText, values, fileName);
        ++row;
    } while (rc == ParseResult::NotThisFormat && row < formats.size()
             && formats[row].signature.kind == FormatTable::Signature::AfterDecline);
    return rc;
}

} // namespace

bool DataParser::parse(const QByteArray &data, QString &errorText, QList<ValueRec> &values,
                       const QString &fileName)
{
    RecordSink sink;
    const bool parsed = parse(data, errorText, sink, fileName);
    if (values.isEmpty())
        values = std::move(sink.pending());
    else
        values.append(sink.pending());
    return parsed;
}

bool DataParser::parse(const QByteArray &data, QString &errorText, RecordSink &sink, const QString &fileName)
{
    errorText.clear();
    const ParseResult rc = runParsers(FormatDetection::detect(FormatDetection::head(data)), data, errorText,
                                      sink, fileName);
    sink.flush();
    if (rc == ParseResult::NotThisFormat && errorText.isEmpty())
        errorText = QStringLiteral("Unknown data format: ") + QString::fromUtf8(data.left(50));
    return rc == ParseResult::Parsed;
}

void DataParser::resetRecord(ValueRec &rec)
{
    FieldReaders::resetRecord(rec, QDateTime::currentDateTime());
}

QString ValueRecTypes::configName(int type)
{
    const FormatTable::Format *format = FormatTable::byType(type);
    return format ? QString::fromLatin1(format->configName) : QStringLiteral("?");
}

const QStringList &ValueRecTypes::displayNames()
{
    static const QStringList names = [] {
        QStringList list;
        for (int type = 0; type < ImportTypeCount; ++type)
            list.append(QString::fromLatin1(FormatTable::byType(type)->displayName));
        return list;
    }();
    return names;
}

QString ValueRecTypes::displayName(int type)
{
    if (type < 0 || type >= ImportTypeCount)
        return QStringLiteral("?");
    return displayNames().at(type);
}

void ValueRecTypes::registerMetaTypes()
{
    qRegisterMetaType<ValueRec>("DataParser::ValueRec");
    qRegisterMetaType<ImportType>("DataParser::ImportType");
}
