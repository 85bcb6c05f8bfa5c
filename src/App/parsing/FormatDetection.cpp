#include "parsing/FormatDetection.h"

namespace {

bool startsWithAny(const QString &head, std::initializer_list<const char *> prefixes)
{
    for (const char *prefix : prefixes) {
        if (head.startsWith(QLatin1String(prefix)))
            return true;
    }
    return false;
}

} // namespace

QString FormatDetection::head(const QByteArray &data)
{
    QString head = QString::fromUtf8(data.left(50)).simplified();
    head.remove(u' ');
    return head;
}

DataParser::ImportType FormatDetection::detect(const QString &head)
{
    if (head.startsWith(QLatin1String("<?xml")))
        return DataParser::IMPTYPE_LERTESBOX;
    if (head.startsWith(QLatin1String("#DatumderAuswertung")))
        return DataParser::IMPTYPE_METERPT_CSV;
    if (head.startsWith(QLatin1String("Datum;Zeit;")))
        return DataParser::IMPTYPE_SIMPLE_CSV_1;
    if (startsWithAny(head, {"DatumUhrzeit;", "Zeitstempel;"}))
        return DataParser::IMPTYPE_SIMPLE_CSV_2;
    if (startsWithAny(head, {"Project:", "Tageswerte;"}))
        return DataParser::IMPTYPE_SIMPLE_CSV_3;
    if (head.startsWith(QLatin1String("serial-number;device-identification;")))
        return DataParser::IMPTYPE_LUG_CSV;
    if (head.startsWith(QLatin1String("SourceName:;")))
        return DataParser::IMPTYPE_PVSS_CSV;
    if (head.startsWith(QLatin1String("Kanal-Information")))
        return DataParser::IMPTYPE_FROESCHL_CSV;
    if (head.startsWith(QLatin1String(";;")))
        return DataParser::IMPTYPE_MSD_CSV;
    if (head.contains(QLatin1String("IMMO-Box")))
        return DataParser::IMPTYPE_IMMO_BOX_CSV;
    if (head.startsWith(QLatin1String("Date;Time;")))
        return DataParser::IMPTYPE_PCHART_CSV;
    if (startsWithAny(head, {"MeteoSchweiz", "stn;time", "Station/Location;Date;"}))
        return DataParser::IMPTYPE_MS_WETTERDATEN;
    if (head.startsWith(u"\uFEFFID,TIME,NAME,") || head.startsWith(QLatin1String("ID,TIME,NAME,")))
        return DataParser::IMPTYPE_VATTENFALL_WAERME;
    if (head.startsWith(QLatin1String("Index;Timestamp;DeviceId;")))
        return DataParser::IMPTYPE_SOLVIMUS_MUC_CSV;
    // "Datum;Zählerstand" written in Latin-1: its "ä" is no valid UTF-8 and decodes to U+FFFD.
    // The same text in UTF-8 does not match and is left to the fallback chain.
    if (head.startsWith(u"Datum;Z\uFFFDhlerstand"))
        return DataParser::IMPTYPE_SILOVEDA_CSV;
    if (head.startsWith(QLatin1String("#log_csv_ver;")))
        return DataParser::IMPTYPE_LOYTEC_CSV;
    if (head.startsWith(QLatin1String("Version;")))
        return DataParser::IMPTYPE_INNOSOLV_CSV;
    if (head.startsWith(u';'))
        return DataParser::IMPTYPE_PIRELPORTAL_DATAROW_CSV;
    if (startsWithAny(head, {"UNA", "UNB"}))
        return DataParser::IMPTYPE_MSCONS;
    return DataParser::IMPTYPE_NA;
}
