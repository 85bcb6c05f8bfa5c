#include "parsing/FormatTable.h"

#include <array>

using namespace FormatParsers;
using DP = DataParser;

namespace {

// Signature texts; each array is one row's alternatives.
constexpr const char16_t *xml[] = {u"<?xml"};
constexpr const char16_t *meterpoint[] = {u"#DatumderAuswertung"};
constexpr const char16_t *simple1[] = {u"Datum;Zeit;"};
constexpr const char16_t *simple2[] = {u"DatumUhrzeit;", u"Zeitstempel;"};
constexpr const char16_t *simple3[] = {u"Project:", u"Tageswerte;"};
constexpr const char16_t *lug[] = {u"serial-number;device-identification;"};
constexpr const char16_t *pvss[] = {u"SourceName:;"};
constexpr const char16_t *froeschl[] = {u"Kanal-Information"};
constexpr const char16_t *msd[] = {u";;"};
constexpr const char16_t *immoBox[] = {u"IMMO-Box"};
constexpr const char16_t *pChart[] = {u"Date;Time;"};
constexpr const char16_t *meteo[] = {u"MeteoSchweiz", u"stn;time", u"Station/Location;Date;"};
// The export may start with a byte-order mark; the head decoding drops it, so this text meets
// the file with and without one.
constexpr const char16_t *vattenfall[] = {u"ID,TIME,NAME,"};
constexpr const char16_t *solvimus[] = {u"Index;Timestamp;DeviceId;"};
// "Datum;Zählerstand" written in Latin-1: its "ä" is no valid UTF-8 and decodes to U+FFFD. The
// same text in UTF-8 does not match and is left to the fallback chain.
constexpr const char16_t *siloveda[] = {u"Datum;Z\uFFFDhlerstand"};
constexpr const char16_t *loytec[] = {u"#log_csv_ver;"};
constexpr const char16_t *innosolv[] = {u"Version;"};
constexpr const char16_t *pirel[] = {u";"};
constexpr const char16_t *mscons[] = {u"UNA", u"UNB"};

constexpr FormatTable::Signature startsWith(std::span<const char16_t *const> texts)
{
    return {FormatTable::Signature::StartsWith, texts};
}
constexpr FormatTable::Signature afterDecline{FormatTable::Signature::AfterDecline, {}};

// Most parsers do not look at the file name.
template <ParseResult (*parser)(const QByteArray &, QString &, Records &)>
ParseResult withoutName(const QByteArray &data, QString &errorText, Records &values, const QString &)
{
    return parser(data, errorText, values);
}

// Detection order. Type 21 is listed as "exIX VSE" (not "ebIX VSE"): the lists and the SQLite
// export show this text.
const FormatTable::Format table[] = {
    {DP::IMPTYPE_LERTESBOX, "LERTESBOX", "LertesBox", startsWith(xml), withoutName<parseLertesBoxXml>},
    {DP::IMPTYPE_EBIX_VSE, "EBIX_VSE", "exIX VSE", afterDecline, withoutName<parseEbixVseXml>},
    {DP::IMPTYPE_METERPT_CSV, "METERPT_CSV", "Meterpoint CSV", startsWith(meterpoint), withoutName<parseMeterpointCsv>},
    {DP::IMPTYPE_SIMPLE_CSV_1, "SIMPLE_CSV_1", "Simple CSV 1", startsWith(simple1), withoutName<parseSimpleCsv1>},
    {DP::IMPTYPE_SIMPLE_CSV_2, "SIMPLE_CSV_2", "Simple CSV 2", startsWith(simple2), withoutName<parseSimpleCsv2>},
    {DP::IMPTYPE_SIMPLE_CSV_3, "SIMPLE_CSV_3", "Simple CSV 3", startsWith(simple3), withoutName<parseSimpleCsv3>},
    {DP::IMPTYPE_LUG_CSV, "LUG_CSV", "LuG CSV", startsWith(lug), withoutName<parseLugCsv>},
    {DP::IMPTYPE_PVSS_CSV, "PVSS_CSV", "PVSS CSV", startsWith(pvss), withoutName<parsePvssCsv>},
    {DP::IMPTYPE_FROESCHL_CSV, "FROESCHL_CSV", "Froeschl CSV", startsWith(froeschl), withoutName<parseFroeschlCsv>},
    {DP::IMPTYPE_MSD_CSV, "MSD_CSV", "MSD CSV", startsWith(msd), withoutName<parseMsdCsv>},
    {DP::IMPTYPE_IMMO_BOX_CSV, "IMMO_BOX_CSV", "IMMO Box CSV", {FormatTable::Signature::Contains, immoBox},
     withoutName<parseImmoBoxCsv>},
    {DP::IMPTYPE_PCHART_CSV, "PCHART_CSV", "pChart CSV", startsWith(pChart), withoutName<parsePChartCsv>},
    {DP::IMPTYPE_MS_WETTERDATEN, "MS_WETTERDATEN", "MS Wetterdaten CSV", startsWith(meteo),
     withoutName<parseMsWetterdatenCsv>},
    {DP::IMPTYPE_VATTENFALL_WAERME, "VATTENFALL_WAERME", "Vattenfall Waerme", startsWith(vattenfall),
     withoutName<parseVattenfallWaermeCsv>},
    {DP::IMPTYPE_SOLVIMUS_MUC_CSV, "SOLVIMUS_MUC_CSV", "Solvimus MUC CSV", startsWith(solvimus), parseSolvimusMucCsv},
    {DP::IMPTYPE_SILOVEDA_CSV, "SILOVEDA_CSV", "SILOVEDA CSV", startsWith(siloveda), withoutName<parseSilovedaCsv>},
    {DP::IMPTYPE_LOYTEC_CSV, "LOYTEC_CSV", "LOYTEC CSV", startsWith(loytec), withoutName<parseLoytecCsv>},
    {DP::IMPTYPE_INNOSOLV_CSV, "INNOSOLV_CSV", "Innosolv CSV", startsWith(innosolv), withoutName<parseInnosolvCsv>},
    {DP::IMPTYPE_PIRELPORTAL_DATAROW_CSV, "PIREL_PORTAL_DATA_ROWS", "Pirel-Portal Datenreihen", startsWith(pirel),
     withoutName<parsePirelPortalDataRowsCsv>},
    {DP::IMPTYPE_MSCONS, "MSCONS", "MSCONS", startsWith(mscons), withoutName<parseMscons>},
    // A file without a signature: the line formats, each recognising itself from its content.
    {DP::IMPTYPE_NA, "NA", "All", {FormatTable::Signature::NoSignature, {}}, nullptr},
    {DP::IMPTYPE_EON_CSV, "EON_CSV", "Eon CSV", afterDecline, withoutName<parseEonCsv>},
    {DP::IMPTYPE_MPO_CSV_01, "MPO_CSV_01", "MPO CSV 01", afterDecline, withoutName<parseMpoCsv01>},
    {DP::IMPTYPE_MPO_CSV_02, "MPO_CSV_02", "MPO CSV 02", afterDecline, withoutName<parseMpoCsv02>},
    {DP::IMPTYPE_TREND_CSV, "TREND_CSV", "TREND CSV", afterDecline, parseTrendCsv},
    {DP::IMPTYPE_SINGLEMETERPT_CSV, "SINGLEMETERPT_CSV", "SingleMeterpoint CSV", afterDecline,
     parseSingleMeterpointCsv},
};
static_assert(std::size(table) == DataParser::ImportTypeCount, "one row per import type");

} // namespace

namespace FormatTable {

bool Signature::matches(QStringView head) const
{
    for (const char16_t *text : texts) {
        const QStringView t(text);
        if (kind == StartsWith ? head.startsWith(t) : kind == Contains && head.contains(t))
            return true;
    }
    return false;
}

std::span<const Format> formats()
{
    return table;
}

const Format *byType(int type)
{
    static const auto index = [] {
        std::array<const Format *, DataParser::ImportTypeCount> rows{};
        for (const Format &f : table)
            rows[std::size_t(f.type)] = &f;
        return rows;
    }();
    return type >= 0 && type < DataParser::ImportTypeCount ? index[std::size_t(type)] : nullptr;
}

} // namespace FormatTable
