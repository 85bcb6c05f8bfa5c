#include "parsing/formats/FormatParsers.h"

namespace FormatParsers {

ParseResult parseMeterpointCsv(const QByteArray &data, QString &errorText, Records &values)
{
    Q_UNUSED(data)
    Q_UNUSED(values)
    errorText = QStringLiteral("Parser for IMPTYPE_METERPT_CSV is not available");
    return ParseResult::Faulty;
}

} // namespace FormatParsers
