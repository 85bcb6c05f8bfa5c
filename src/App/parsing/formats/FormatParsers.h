#pragma once

#include "parsing/DataParser.h"

// The format parsers, one per file in this folder. Each receives the complete file content and
// appends its records to values. Result: 0 = success with at least one record; negative = not
// this format (no error text, the detection tries the next candidate); positive = the format
// was recognised but the content is faulty, errorText says why ("No data found" when the file
// held no value at all).
namespace FormatParsers {

using Records = QList<DataParser::ValueRec>;

int parseLertesBoxXml(const QByteArray &data, QString &errorText, Records &values);
int parseMeterpointCsv(const QByteArray &data, QString &errorText, Records &values);
int parseMscons(const QByteArray &data, QString &errorText, Records &values);
int parseEonCsv(const QByteArray &data, QString &errorText, Records &values);
int parseSimpleCsv1(const QByteArray &data, QString &errorText, Records &values);
int parseSimpleCsv2(const QByteArray &data, QString &errorText, Records &values);
int parseSimpleCsv3(const QByteArray &data, QString &errorText, Records &values);
int parseLugCsv(const QByteArray &data, QString &errorText, Records &values);
int parsePvssCsv(const QByteArray &data, QString &errorText, Records &values);
int parseFroeschlCsv(const QByteArray &data, QString &errorText, Records &values);
int parseMsdCsv(const QByteArray &data, QString &errorText, Records &values);
int parseMpoCsv01(const QByteArray &data, QString &errorText, Records &values);
int parseMpoCsv02(const QByteArray &data, QString &errorText, Records &values);
int parseTrendCsv(const QByteArray &data, QString &errorText, Records &values, const QString &fileName);
int parseImmoBoxCsv(const QByteArray &data, QString &errorText, Records &values);
int parsePChartCsv(const QByteArray &data, QString &errorText, Records &values);
int parseSingleMeterpointCsv(const QByteArray &data, QString &errorText, Records &values, const QString &fileName);
int parseMsWetterdatenCsv(const QByteArray &data, QString &errorText, Records &values);
int parseVattenfallWaermeCsv(const QByteArray &data, QString &errorText, Records &values);
int parsePirelPortalDataRowsCsv(const QByteArray &data, QString &errorText, Records &values);
int parseEbixVseXml(const QByteArray &data, QString &errorText, Records &values);
int parseSolvimusMucCsv(const QByteArray &data, QString &errorText, Records &values, const QString &fileName);
int parseSilovedaCsv(const QByteArray &data, QString &errorText, Records &values);
int parseLoytecCsv(const QByteArray &data, QString &errorText, Records &values);
int parseInnosolvCsv(const QByteArray &data, QString &errorText, Records &values);

} // namespace FormatParsers
