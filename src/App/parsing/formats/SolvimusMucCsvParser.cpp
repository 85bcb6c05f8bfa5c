#include "parsing/formats/FormatParsers.h"

namespace FormatParsers {

ParseResult parseSolvimusMucCsv(const QByteArray &data, QString &errorText, Records &values, const QString &fileName)
{
    Q_UNUSED(data)
    Q_UNUSED(values)
    Q_UNUSED(fileName)
    errorText = QStringLiteral("Parser for IMPTYPE_SOLVIMUS_MUC_CSV is not available");
    return ParseResult::Faulty;
}

} // namespace FormatParsers
