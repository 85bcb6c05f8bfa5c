#pragma once
// Turns a value record's import identifier into the name of its DMS data point: prefix, AKS
// options, upper-casing, mapping table with wildcard patterns and placeholders, RDS and value
// scripts. One object serves one thread (the DMS handler, or one offline tool run); it holds the
// compiled patterns of its settings and keeps no global state.

#include "config/Settings.h"
#include "naming/WildcardPattern.h"
#include "parsing/DataParser.h"

#include <QHash>
#include <QList>
#include <QString>

class AksNaming
{
public:
    // Import identifier -> index of the first matching mapping entry, -1 for none.
    using MappingCache = QHash<QString, int>;

    // The AKS option codes of the option table.
    enum Option {
        OptIgnoreUtc = 0,
        OptModbusIp = 1,
        OptIgnoreZero = 2,
        OptSkipBadState = 3,
        OptSnSuffix = 4,
        OptSnSecondLast = 5,
    };

    explicit AksNaming(const DmsConfig &config);

    // The record that closes a mail: its point name ends with this text.
    static QString endMailMarker() { return QStringLiteral("ENDMAILCHECK"); }
    static bool isEndMailMarker(const DataParser::ValueRec &rec);

    // Prefix text: iaks becomes prefix:iaks; a prefix beginning with "=" is a script whose result
    // becomes iaks.
    static void applyPrefix(DataParser::ValueRec &rec, const QString &prefix);
    // Appends the codes of every matching option entry to flagList, in table order.
    void collectOptions(DataParser::ValueRec &rec) const;
    // Applies the codes in flagList; false: the record is dropped.
    static bool applyOptions(DataParser::ValueRec &rec);
    // Sets aks (and, with a value script, value); false: the record is dropped.
    bool mapRecord(DataParser::ValueRec &rec, MappingCache &cache);

    // The whole naming of a record after its prefix: options (not for the end-of-mail marker),
    // upper-casing, mapping. False: the record is dropped.
    bool nameRecord(DataParser::ValueRec &rec, MappingCache &cache);

    const DmsConfig &config() const { return m_config; }

private:
    struct CompiledOption
    {
        int importType;
        int option;
        WildcardPattern pattern;
    };
    struct CompiledMapping
    {
        bool enabled;
        bool hasPlaceholders;
        WildcardPattern pattern; // when without placeholders
        MappingEntry entry;
    };

    int findMapping(const DataParser::ValueRec &rec);
    const WildcardPattern &placeholderPattern(const QString &text);

    DmsConfig m_config;
    QList<CompiledOption> m_options;
    QList<CompiledMapping> m_mappings;
    // Patterns that held placeholders, compiled after replacement.
    QHash<QString, WildcardPattern> m_replacedPatterns;
};
