#include "parsing/formats/ColumnTableReader.h"

// Date;Time;name;...  optionally  ;;unit;...  then  dd.MM.yy;HH:mm:ss;value;...  (local time,
// two-digit years of the 2000s). The unit line, when present, gives the descriptions.

namespace FormatParsers {

ParseResult parsePChartCsv(const QByteArray &data, QString &errorText, Records &values)
{
    static const ColumnTableReader::Layout layout{DataParser::IMPTYPE_PCHART_CSV, 2, 2, false, true,
                                                  ColumnTableReader::BadTime::Fail, false};
    return ColumnTableReader::read(data, errorText, values, layout,
                                   [](const ColumnTableReader::Fields &fields, QByteArray &timeText) {
                                       const QByteArray day = fields.at(0).trimmed().toByteArray();
                                       timeText = day.left(6) + "20" + day.right(2) + ' ' + fields.at(1).trimmed().toByteArray();
                                       return FieldReaders::parseDateTime(timeText, "dd.MM.yyyy HH:mm:ss", Qt::LocalTime);
                                   });
}

} // namespace FormatParsers
