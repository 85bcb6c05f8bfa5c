#include "parsing/formats/ColumnTableReader.h"

// DatumUhrzeit;name;...  (or Zeitstempel;name;...)  with  yyyy-MM-dd HH:mm:ss[.zzz];value;...
// (UTC). Names are trimmed; an unreadable time or value fails the file, a line without any
// time text is left out.

namespace FormatParsers {

ParseResult parseSimpleCsv2(const QByteArray &data, QString &errorText, Records &values)
{
    // Splitting keeps empty fields, so every line has a field 0 (an empty line has an empty one).
    static const ColumnTableReader::Layout layout{DataParser::IMPTYPE_SIMPLE_CSV_2, 1, 1, true, false,
                                                  ColumnTableReader::BadTime::SkipEmptyElseFail, false};
    return ColumnTableReader::read(data, errorText, values, layout,
                                   [](const ColumnTableReader::Fields &fields, QByteArray &timeText) {
                                       const QByteArrayView text = fields.at(0).trimmed();
                                       timeText = text.toByteArray();
                                       const QDateTime time = text.contains('.')
                                           ? FieldReaders::parseDateTime(text, "yyyy-MM-dd HH:mm:ss.zzz", Qt::UTC)
                                           : FieldReaders::parseDateTime(text, "yyyy-MM-dd HH:mm:ss", Qt::UTC);
                                       return time.toLocalTime();
                                   });
}

} // namespace FormatParsers
