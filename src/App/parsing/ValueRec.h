#pragma once
// The value record and the import types, on their own for everyone who handles records without
// parsing files (naming, the DMS handler, the mail intake, the tools). DataParser derives from
// ValueRecTypes, so the spellings DataParser::ValueRec, DataParser::ImportType and
// DataParser::IMPTYPE_... are the ones the code uses.

#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

struct ValueRecTypes
{
    // The format that produced a record; 0 means automatic detection. The value is part of the
    // configuration file, so the numbers never change.
    enum ImportType : qint32 {
        IMPTYPE_NA = 0,
        IMPTYPE_LERTESBOX = 1,
        IMPTYPE_METERPT_CSV = 2,
        IMPTYPE_MSCONS = 3,
        IMPTYPE_EON_CSV = 4,
        IMPTYPE_SIMPLE_CSV_1 = 5,
        IMPTYPE_SIMPLE_CSV_2 = 6,
        IMPTYPE_SIMPLE_CSV_3 = 7,
        IMPTYPE_LUG_CSV = 8,
        IMPTYPE_PVSS_CSV = 9,
        IMPTYPE_FROESCHL_CSV = 10,
        IMPTYPE_MSD_CSV = 11,
        IMPTYPE_MPO_CSV_01 = 12,
        IMPTYPE_MPO_CSV_02 = 13,
        IMPTYPE_TREND_CSV = 14,
        IMPTYPE_IMMO_BOX_CSV = 15,
        IMPTYPE_PCHART_CSV = 16,
        IMPTYPE_SINGLEMETERPT_CSV = 17,
        IMPTYPE_MS_WETTERDATEN = 18,
        IMPTYPE_VATTENFALL_WAERME = 19,
        IMPTYPE_PIRELPORTAL_DATAROW_CSV = 20,
        IMPTYPE_EBIX_VSE = 21,
        IMPTYPE_SOLVIMUS_MUC_CSV = 22,
        IMPTYPE_SILOVEDA_CSV = 23,
        IMPTYPE_LOYTEC_CSV = 24,
        IMPTYPE_INNOSOLV_CSV = 25,
    };
    static constexpr int ImportTypeCount = 26;

    // One parsed value. Travels by copy, also through queued signals.
    struct ValueRec {
        QDateTime timestamp;      // time of the value
        QString iaks;             // import identifier built from the file
        QString aks;              // DMS point name; empty from the parser, filled by the mapping
        ImportType importType = IMPTYPE_NA;
        double value = 0.0;
        bool increment = false;   // an amount for its interval rather than a reading
        qint32 state = 0;         // 0 = normal, otherwise a format's own state code
        QString unit;
        QString description;
        QString serialNumber;
        QString ipAddress;
        QString obis;
        QList<qint32> flagList;   // AKS option codes; never filled by a parser
    };

    // Configuration name of a type ("MSCONS"), "?" outside the known range.
    static QString configName(int type);
    // Display names of all types, index = type value ("All", "LertesBox", ...).
    static const QStringList &displayNames();
    // Display name of a type, "?" outside the known range.
    static QString displayName(int type);

    // Registers ValueRec and ImportType for queued connections, also under the names
    // "DataParser::ValueRec" and "DataParser::ImportType"; call once before threads start.
    static void registerMetaTypes();
};

// Every member moves by plain memory copy, so lists of records grow without copying them.
Q_DECLARE_TYPEINFO(ValueRecTypes::ValueRec, Q_RELOCATABLE_TYPE);
Q_DECLARE_METATYPE(ValueRecTypes::ValueRec)
Q_DECLARE_METATYPE(ValueRecTypes::ImportType)
