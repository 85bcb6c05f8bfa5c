#include "parsing/formats/FormatParsers.h"

namespace FormatParsers {

int parseSimpleCsv3(const QByteArray &data, QString &errorText, Records &values)
{
    Q_UNUSED(data)
    Q_UNUSED(values)
    errorText = QStringLiteral("Parser for IMPTYPE_SIMPLE_CSV_3 is not available");
    return 1;
}

} // namespace FormatParsers
