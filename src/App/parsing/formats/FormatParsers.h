#pragma once

#include "parsing/DataParser.h"
#include "parsing/RecordSink.h"

// The format parsers, one per file in this folder, listed with their signatures and names in
// the format table (FormatTable.cpp). Each receives the complete file content and appends its
// records to the sink.
namespace FormatParsers {

using Records = RecordSink;

// What a format parser says about a file.
enum class ParseResult {
    NotThisFormat = -1, // declined, normally without error text: the next candidate is tried
    Parsed = 0,         // success with at least one record
    Faulty = 1,         // recognised, but the content is faulty; errorText says why
    NoData = 2,         // recognised, but without any value: "No data found"
};

ParseResult parseLertesBoxXml(const QByteArray &data, QString &errorText, Records &values);
ParseResult parseMeterpointCsv(const QByteArray &data, QString &errorText, Records &values);
ParseResult parseMscons(const QByteArray &data, QString &errorText, Records &values);
ParseResult parseEonCsv(const QByteArray &data, QString &errorText, Records &values);
ParseResult parseSimpleCsv1(const QByteArray &data, QString &errorText, Records &values);
ParseResult parseSimpleCsv2(const QByteArray &data, QString &errorText, Records &values);
ParseResult parseSimpleCsv3(const QByteArray &data, QString &errorText, Records &values);
ParseResult parseLugCsv(const QByteArray &data, QString &errorText, Records &values);
ParseResult parsePvssCsv(const QByteArray &data, QString &errorText, Records &values);
ParseResult parseFroeschlCsv(const QByteArray &data, QString &errorText, Records &values);
ParseResult parseMsdCsv(const QByteArray &data, QString &errorText, Records &values);
ParseResult parseMpoCsv01(const QByteArray &data, QString &errorText, Records &values);
ParseResult parseMpoCsv02(const QByteArray &data, QString &errorText, Records &values);
ParseResult parseTrendCsv(const QByteArray &data, QString &errorText, Records &values, const QString &fileName);
ParseResult parseImmoBoxCsv(const QByteArray &data, QString &errorText, Records &values);
ParseResult parsePChartCsv(const QByteArray &data, QString &errorText, Records &values);
ParseResult parseSingleMeterpointCsv(const QByteArray &data, QString &errorText, Records &values, const QString &fileName);
ParseResult parseMsWetterdatenCsv(const QByteArray &data, QString &errorText, Records &values);
ParseResult parseVattenfallWaermeCsv(const QByteArray &data, QString &errorText, Records &values);
ParseResult parsePirelPortalDataRowsCsv(const QByteArray &data, QString &errorText, Records &values);
ParseResult parseEbixVseXml(const QByteArray &data, QString &errorText, Records &values);
ParseResult parseSolvimusMucCsv(const QByteArray &data, QString &errorText, Records &values, const QString &fileName);
ParseResult parseSilovedaCsv(const QByteArray &data, QString &errorText, Records &values);
ParseResult parseLoytecCsv(const QByteArray &data, QString &errorText, Records &values);
ParseResult parseInnosolvCsv(const QByteArray &data, QString &errorText, Records &values);

} // namespace FormatParsers
