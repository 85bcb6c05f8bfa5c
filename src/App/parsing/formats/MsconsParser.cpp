#include "parsing/formats/FormatParsers.h"

namespace FormatParsers {

int parseMscons(const QByteArray &data, QString &errorText, Records &values)
{
    Q_UNUSED(data)
    Q_UNUSED(values)
    errorText = QStringLiteral("Parser for IMPTYPE_MSCONS is not available");
    return 1;
}

} // namespace FormatParsers
