#pragma once

#include "parsing/formats/FormatParsers.h"
#include "parsing/FieldReaders.h"

#include "KyrLogger/LogExcerpt.h"
#include "KyrLogger/Logger.h"

#include <QVarLengthArray>

// Reader of the column-table exports (Simple CSV 1, Simple CSV 2, pChart CSV): a header line
// names the value columns, every following line holds a time and one value per column, and
// every non-empty cell becomes one record named after its column. The three formats differ in
// their time columns and in how forgiving they are; Layout holds those differences.
namespace ColumnTableReader {

using Fields = QVarLengthArray<QByteArrayView, 256>;
using FormatParsers::ParseResult;

enum class BadTime {
    WarnAndSkip,         // log a warning, leave the line out
    SkipEmptyElseFail,   // leave out a line without time text, fail on any other
    Fail,                // fail the file
};

struct Layout {
    DataParser::ImportType type;
    qsizetype timeFields;        // fields a line needs before its time can be read
    qsizetype firstValueColumn;
    bool trimmedNames;           // identifiers and descriptions from trimmed header texts
    bool unitHeader;             // a second line starting with ";;" describes the columns
    BadTime badTime;
    bool warnOnBadValue;         // log and skip an unreadable value instead of failing
};

// The header: column names (the identifiers), their descriptions and the first data line.
struct Columns {
    QStringList names;
    QStringList descriptions;
    qsizetype firstDataLine = 1;
};

inline Columns readColumns(const QList<QByteArrayView> &lines, const Layout &layout)
{
    using FieldReaders::decodeText;
    Columns columns;
    columns.names = decodeText(lines.at(0)).split(u';');
    columns.descriptions = columns.names;
    if (layout.unitHeader && lines.size() > 1 && lines.at(1).startsWith(";;")) {
        const QStringList units = decodeText(lines.at(1)).split(u';');
        for (qsizetype c = 0; c < units.size() && c < columns.descriptions.size(); ++c)
            columns.descriptions[c] = units.at(c);
        columns.firstDataLine = 2;
    }
    if (layout.trimmedNames) {
        for (QString &name : columns.names)
            name = name.trimmed();
        columns.descriptions = columns.names;
    }
    return columns;
}

// A line whose time cannot be read: true when the layout leaves the line out, else false with
// the error text.
inline bool skipsBadTime(const Layout &layout, const Fields &fields, const QByteArray &timeText, QString &errorText)
{
    const QString message = QStringLiteral("Could not parse timestamp: ") + FieldReaders::decodeText(timeText);
    if (layout.badTime == BadTime::WarnAndSkip) {
        LOG_OUT(Kyr::LogWarning, "%1").arg(Kyr::logExcerpt(message)).endl();
        return true;
    }
    if (layout.badTime == BadTime::SkipEmptyElseFail && fields.at(0).trimmed().isEmpty())
        return true;
    errorText = message;
    return false;
}

// One record per non-empty value cell of a line; rec carries the line's time and type.
inline ParseResult readCells(const Fields &fields, QByteArrayView line, const Columns &columns, const Layout &layout,
                             DataParser::ValueRec &rec, QString &errorText, FormatParsers::Records &values)
{
    using FieldReaders::decodeText;
    for (qsizetype c = layout.firstValueColumn; c < fields.size(); ++c) {
        const QByteArrayView cell = fields.at(c).trimmed();
        if (cell.isEmpty())
            continue;
        if (c >= columns.names.size()) {
            errorText = QStringLiteral("Field # out of range: ") + decodeText(line);
            return ParseResult::Faulty;
        }
        if (!FieldReaders::parseCDouble(cell, rec.value)) {
            if (layout.warnOnBadValue) {
                LOG_OUT(Kyr::LogWarning, QStringLiteral("Could not parse value '%1' for '%2': %3"))
                    .arg(Kyr::logExcerpt(decodeText(cell))).arg(Kyr::logExcerpt(columns.names.at(c)))
                    .arg(Kyr::logExcerpt(decodeText(line))).endl();
                continue;
            }
            errorText = QStringLiteral("Could not parse value: ") + decodeText(cell);
            return ParseResult::Faulty;
        }
        rec.iaks = columns.names.at(c);
        rec.description = columns.descriptions.at(c);
        values.append(rec);
    }
    return ParseResult::Parsed;
}

// timeOf(const Fields &, QByteArray &timeText) -> QDateTime builds a line's time and the text
// it was read from (quoted in messages).
template <typename TimeOf>
ParseResult read(const QByteArray &data, QString &errorText, FormatParsers::Records &values, const Layout &layout,
                 TimeOf timeOf)
{
    using namespace FieldReaders;
    const QByteArray clean = withoutCarriageReturns(data);
    const QList<QByteArrayView> lines = splitLines(clean);
    const qsizetype firstCount = values.size();
    reserveRecords(values, clean.count(';')); // at most one value per separator
    const Columns columns = readColumns(lines, layout);

    // The record is reset once per line and its time set right after, so one reset template
    // serves every line (a reset reads the clock in local time, which costs a zone lookup).
    DataParser::ValueRec blank;
    DataParser::resetRecord(blank);

    Fields fields;
    for (qsizetype index = columns.firstDataLine; index < lines.size(); ++index) {
        const QByteArrayView line = lines.at(index);
        splitView(line, ';', fields);
        if (fields.size() < layout.timeFields) {
            if (line.trimmed().isEmpty())
                continue;
            errorText = QStringLiteral("No timestamp: ") + decodeText(line);
            return ParseResult::Faulty;
        }
        DataParser::ValueRec rec = blank;
        QByteArray timeText;
        rec.timestamp = timeOf(fields, timeText);
        if (!rec.timestamp.isValid()) {
            if (skipsBadTime(layout, fields, timeText, errorText))
                continue;
            return ParseResult::Faulty;
        }
        rec.importType = layout.type;
        if (const ParseResult rc = readCells(fields, line, columns, layout, rec, errorText, values); rc != ParseResult::Parsed)
            return rc;
    }
    if (values.size() == firstCount) {
        errorText = QStringLiteral("No data found");
        return ParseResult::NoData;
    }
    return ParseResult::Parsed;
}

} // namespace ColumnTableReader
