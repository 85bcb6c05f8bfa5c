#include "parsing/DataParser.h"

#include "parsing/formats/FormatParsers.h"

using namespace FormatParsers;

namespace {

const char *const configNames[DataParser::ImportTypeCount] = {
    "NA", "LERTESBOX", "METERPT_CSV", "MSCONS", "EON_CSV", "SIMPLE_CSV_1", "SIMPLE_CSV_2",
    "SIMPLE_CSV_3", "LUG_CSV", "PVSS_CSV", "FROESCHL_CSV", "MSD_CSV", "MPO_CSV_01", "MPO_CSV_02",
    "TREND_CSV", "IMMO_BOX_CSV", "PCHART_CSV", "SINGLEMETERPT_CSV", "MS_WETTERDATEN",
    "VATTENFALL_WAERME", "PIREL_PORTAL_DATA_ROWS", "EBIX_VSE", "SOLVIMUS_MUC_CSV", "SILOVEDA_CSV",
    "LOYTEC_CSV", "INNOSOLV_CSV",
};

// Type 21 is listed as "exIX VSE" (not "ebIX VSE"): the lists and the SQLite export show this text.
const char *const displayNameTexts[DataParser::ImportTypeCount] = {
    "All", "LertesBox", "Meterpoint CSV", "MSCONS", "Eon CSV", "Simple CSV 1", "Simple CSV 2",
    "Simple CSV 3", "LuG CSV", "PVSS CSV", "Froeschl CSV", "MSD CSV", "MPO CSV 01", "MPO CSV 02",
    "TREND CSV", "IMMO Box CSV", "pChart CSV", "SingleMeterpoint CSV", "MS Wetterdaten CSV",
    "Vattenfall Waerme", "Pirel-Portal Datenreihen", "exIX VSE", "Solvimus MUC CSV", "SILOVEDA CSV",
    "LOYTEC CSV", "Innosolv CSV",
};

// The first bytes of a file as the signatures are tested against: decoded as UTF-8 (invalid
// bytes become U+FFFD) and without any whitespace, so leading blank lines and indentation do
// not matter.
QString detectionHead(const QByteArray &data)
{
    QString head = QString::fromUtf8(data.left(50)).simplified();
    head.remove(u' ');
    return head;
}

bool startsWithAny(const QString &head, std::initializer_list<const char *> prefixes)
{
    for (const char *prefix : prefixes) {
        if (head.startsWith(QLatin1String(prefix)))
            return true;
    }
    return false;
}

// Runs the format parser whose signature matches the head first; the five line formats without
// a signature of their own are tried in turn until one does not decline.
int detectAndParse(const QString &head, const QByteArray &data, QString &errorText, Records &values,
                   const QString &fileName)
{
    if (head.startsWith(QLatin1String("<?xml"))) {
        const int rc = parseLertesBoxXml(data, errorText, values);
        return rc < 0 ? parseEbixVseXml(data, errorText, values) : rc;
    }
    if (head.startsWith(QLatin1String("#DatumderAuswertung")))
        return parseMeterpointCsv(data, errorText, values);
    if (head.startsWith(QLatin1String("Datum;Zeit;")))
        return parseSimpleCsv1(data, errorText, values);
    if (startsWithAny(head, {"DatumUhrzeit;", "Zeitstempel;"}))
        return parseSimpleCsv2(data, errorText, values);
    if (startsWithAny(head, {"Project:", "Tageswerte;"}))
        return parseSimpleCsv3(data, errorText, values);
    if (head.startsWith(QLatin1String("serial-number;device-identification;")))
        return parseLugCsv(data, errorText, values);
    if (head.startsWith(QLatin1String("SourceName:;")))
        return parsePvssCsv(data, errorText, values);
    if (head.startsWith(QLatin1String("Kanal-Information")))
        return parseFroeschlCsv(data, errorText, values);
    if (head.startsWith(QLatin1String(";;")))
        return parseMsdCsv(data, errorText, values);
    if (head.contains(QLatin1String("IMMO-Box")))
        return parseImmoBoxCsv(data, errorText, values);
    if (head.startsWith(QLatin1String("Date;Time;")))
        return parsePChartCsv(data, errorText, values);
    if (startsWithAny(head, {"MeteoSchweiz", "stn;time", "Station/Location;Date;"}))
        return parseMsWetterdatenCsv(data, errorText, values);
    if (head.startsWith(u"\uFEFFID,TIME,NAME,") || head.startsWith(QLatin1String("ID,TIME,NAME,")))
        return parseVattenfallWaermeCsv(data, errorText, values);
    if (head.startsWith(QLatin1String("Index;Timestamp;DeviceId;")))
        return parseSolvimusMucCsv(data, errorText, values, fileName);
    // "Datum;Zählerstand" written in Latin-1: its "ä" is no valid UTF-8 and decodes to U+FFFD.
    if (head.startsWith(u"Datum;Z\uFFFDhlerstand"))
        return parseSilovedaCsv(data, errorText, values);
    if (head.startsWith(QLatin1String("#log_csv_ver;")))
        return parseLoytecCsv(data, errorText, values);
    if (head.startsWith(QLatin1String("Version;")))
        return parseInnosolvCsv(data, errorText, values);
    if (head.startsWith(u';'))
        return parsePirelPortalDataRowsCsv(data, errorText, values);
    if (startsWithAny(head, {"UNA", "UNB"}))
        return parseMscons(data, errorText, values);

    int rc = parseEonCsv(data, errorText, values);
    if (rc < 0)
        rc = parseMpoCsv01(data, errorText, values);
    if (rc < 0)
        rc = parseMpoCsv02(data, errorText, values);
    if (rc < 0)
        rc = parseTrendCsv(data, errorText, values, fileName);
    if (rc < 0)
        rc = parseSingleMeterpointCsv(data, errorText, values, fileName);
    return rc;
}

} // namespace

bool DataParser::parse(const QByteArray &data, QString &errorText, QList<ValueRec> &values,
                       const QString &fileName)
{
    errorText.clear();
    const int rc = detectAndParse(detectionHead(data), data, errorText, values, fileName);
    if (rc < 0 && errorText.isEmpty())
        errorText = QStringLiteral("Unknown data format: ") + QString::fromUtf8(data.left(50));
    return rc == 0;
}

void DataParser::resetRecord(ValueRec &rec)
{
    rec.timestamp = QDateTime::currentDateTime();
    rec.iaks.clear();
    rec.aks.clear();
    rec.importType = IMPTYPE_NA;
    rec.value = 0.0;
    rec.increment = false;
    rec.state = 0;
    rec.unit.clear();
    rec.description.clear();
    rec.serialNumber.clear();
    rec.ipAddress.clear();
    rec.obis.clear();
    rec.flagList.clear();
}

QString DataParser::configName(int type)
{
    if (type < 0 || type >= ImportTypeCount)
        return QStringLiteral("?");
    return QString::fromLatin1(configNames[type]);
}

const QStringList &DataParser::displayNames()
{
    static const QStringList names = [] {
        QStringList list;
        for (const char *name : displayNameTexts)
            list.append(QString::fromLatin1(name));
        return list;
    }();
    return names;
}

QString DataParser::displayName(int type)
{
    if (type < 0 || type >= ImportTypeCount)
        return QStringLiteral("?");
    return displayNames().at(type);
}

QString DataParser::displayName(const QList<ValueRec> &records)
{
    return records.isEmpty() ? QStringLiteral("?") : displayName(records.first().importType);
}

void DataParser::registerMetaTypes()
{
    qRegisterMetaType<DataParser::ValueRec>("DataParser::ValueRec");
    qRegisterMetaType<DataParser::ImportType>("DataParser::ImportType");
}
