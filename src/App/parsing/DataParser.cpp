#include "parsing/DataParser.h"

#include "parsing/FieldReaders.h"
#include "parsing/FormatDetection.h"
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

// Runs the format parser that the detection chose. XML goes to the LertesBox parser and, when
// that one declines, to the ebIX VSE parser; a file without a signature goes through the five
// line formats in turn until one does not decline.
int runParser(DataParser::ImportType type, const QByteArray &data, QString &errorText, Records &values,
              const QString &fileName)
{
    switch (type) {
    case DataParser::IMPTYPE_LERTESBOX: {
        const int rc = parseLertesBoxXml(data, errorText, values);
        return rc < 0 ? parseEbixVseXml(data, errorText, values) : rc;
    }
    case DataParser::IMPTYPE_METERPT_CSV:
        return parseMeterpointCsv(data, errorText, values);
    case DataParser::IMPTYPE_SIMPLE_CSV_1:
        return parseSimpleCsv1(data, errorText, values);
    case DataParser::IMPTYPE_SIMPLE_CSV_2:
        return parseSimpleCsv2(data, errorText, values);
    case DataParser::IMPTYPE_SIMPLE_CSV_3:
        return parseSimpleCsv3(data, errorText, values);
    case DataParser::IMPTYPE_LUG_CSV:
        return parseLugCsv(data, errorText, values);
    case DataParser::IMPTYPE_PVSS_CSV:
        return parsePvssCsv(data, errorText, values);
    case DataParser::IMPTYPE_FROESCHL_CSV:
        return parseFroeschlCsv(data, errorText, values);
    case DataParser::IMPTYPE_MSD_CSV:
        return parseMsdCsv(data, errorText, values);
    case DataParser::IMPTYPE_IMMO_BOX_CSV:
        return parseImmoBoxCsv(data, errorText, values);
    case DataParser::IMPTYPE_PCHART_CSV:
        return parsePChartCsv(data, errorText, values);
    case DataParser::IMPTYPE_MS_WETTERDATEN:
        return parseMsWetterdatenCsv(data, errorText, values);
    case DataParser::IMPTYPE_VATTENFALL_WAERME:
        return parseVattenfallWaermeCsv(data, errorText, values);
    case DataParser::IMPTYPE_SOLVIMUS_MUC_CSV:
        return parseSolvimusMucCsv(data, errorText, values, fileName);
    case DataParser::IMPTYPE_SILOVEDA_CSV:
        return parseSilovedaCsv(data, errorText, values);
    case DataParser::IMPTYPE_LOYTEC_CSV:
        return parseLoytecCsv(data, errorText, values);
    case DataParser::IMPTYPE_INNOSOLV_CSV:
        return parseInnosolvCsv(data, errorText, values);
    case DataParser::IMPTYPE_PIRELPORTAL_DATAROW_CSV:
        return parsePirelPortalDataRowsCsv(data, errorText, values);
    case DataParser::IMPTYPE_MSCONS:
        return parseMscons(data, errorText, values);
    default:
        break;
    }
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
    const int rc = runParser(FormatDetection::detect(FormatDetection::head(data)), data, errorText, values, fileName);
    if (rc < 0 && errorText.isEmpty())
        errorText = QStringLiteral("Unknown data format: ") + QString::fromUtf8(data.left(50));
    return rc == 0;
}

void DataParser::resetRecord(ValueRec &rec)
{
    FieldReaders::resetRecord(rec, QDateTime::currentDateTime());
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
