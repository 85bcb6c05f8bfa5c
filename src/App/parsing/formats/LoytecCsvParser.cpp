#include "parsing/formats/FormatParsers.h"

namespace FormatParsers {

ParseResult parseLoytecCsv(const QByteArray &data, QString &errorText, Records &values)
{
    Q_UNUSED(data)
    Q_UNUSED(values)
    errorText = QStringLiteral("Parser for IMPTYPE_LOYTEC_CSV is not available");
    return ParseResult::Faulty;
}

} // namespace FormatParsers
