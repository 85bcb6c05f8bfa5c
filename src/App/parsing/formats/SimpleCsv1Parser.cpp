#include "parsing/formats/ColumnTableReader.h"

// Datum;Zeit;name;name;...  with  yyyy/MM/dd;HH:mm:ss;value;value;...  (UTC)
// The most forgiving table: a line with an unreadable time or a cell with an unreadable value
// is logged and left out.

namespace FormatParsers {

ParseResult parseSimpleCsv1(const QByteArray &data, QString &errorText, Records &values)
{
    static const ColumnTableReader::Layout layout{DataParser::IMPTYPE_SIMPLE_CSV_1, 2, 2, false, false,
                                                  ColumnTableReader::BadTime::WarnAndSkip, true};
    return ColumnTableReader::read(data, errorText, values, layout,
                                   [](const ColumnTableReader::Fields &fields, QByteArray &timeText) {
                                       timeText = fields.at(0).trimmed().toByteArray() + ' ' + fields.at(1).trimmed().toByteArray();
                                       return FieldReaders::parseDateTime(timeText, "yyyy/MM/dd HH:mm:ss", Qt::UTC).toLocalTime();
                                   });
}

} // namespace FormatParsers
