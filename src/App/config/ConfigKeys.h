#pragma once
// Every key of the configuration file in one place: its group, its name as it stands in the
// file, the record member it fills (whose type is the key's type and whose initialiser is its
// default), and the tables with their row keys. Reading, writing and the debug account of the
// settings all walk these lists through walkConfiguration, in the file's group order.

#include "config/Settings.h"

#include <QList>
#include <QString>
#include <span>
#include <variant>

struct Configuration
{
    MailConfig mail;
    DmsConfig dms;
    ReportConfig report;
    ServiceConfig service;
};

namespace ConfigKeys {

// How a key's value is treated beyond its type.
enum class Role {
    Plain,
    Password, // stored as it is, never shown in the log
    Secret,   // stored enciphered as hexadecimal text, never shown in the log
};

template<typename Record>
struct Key
{
    const char *name;
    std::variant<QString Record::*, int Record::*, bool Record::*, double Record::*> member;
    Role role = Role::Plain;
};

template<typename Record, typename Row>
struct Table
{
    const char *name;
    QList<Row> Record::*rows;
    std::span<const Key<Row>> keys;
    bool disabledRowsLoaded; // false: the controller leaves disabled rows out
};

inline constexpr Key<MailConfig> mailKeys[] = {
    {"Host", &MailConfig::host},
    {"Port", &MailConfig::port},
    {"SSL", &MailConfig::ssl},
    {"AllowPlainLogin", &MailConfig::allowPlainLogin},
    {"UserName", &MailConfig::userName},
    {"Password", &MailConfig::password, Role::Password},
    {"oAuthClientId", &MailConfig::oAuthClientId},
    {"oAuthClientSecret", &MailConfig::oAuthClientSecret, Role::Secret},
    {"oAuthServerAuthURL", &MailConfig::oAuthServerAuthURL},
    {"oAuthServerTokenURL", &MailConfig::oAuthServerTokenURL},
    {"oAuthAuthorizationScope", &MailConfig::oAuthAuthorizationScope},
    {"oAuthConfigUserId", &MailConfig::oAuthConfigUserId},
    {"InboxFolder", &MailConfig::inboxFolder},
    {"CheckInterval", &MailConfig::checkInterval},
    {"MaxMailsPerSession", &MailConfig::maxMailsPerSession},
    {"SuccessCopyToImap", &MailConfig::successCopyToImap},
    {"SuccessCopyToImapWithoutEncrypted", &MailConfig::successCopyToImapWithoutEncrypted},
    {"SuccessImapFolder", &MailConfig::successImapFolder},
    {"SuccessCopyToImapDecrypted", &MailConfig::successCopyToImapDecrypted},
    {"SuccessImapFolderDecrypted", &MailConfig::successImapFolderDecrypted},
    {"SuccessCopyToLocal", &MailConfig::successCopyToLocal},
    {"SuccessLocalFolder", &MailConfig::successLocalFolder},
    {"FailedCopyToImap", &MailConfig::failedCopyToImap},
    {"FailedImapFolder", &MailConfig::failedImapFolder},
    {"FailedCopyToLocal", &MailConfig::failedCopyToLocal},
    {"FailedLocalFolder", &MailConfig::failedLocalFolder},
};

inline constexpr Key<MailConfig> cryptoKeys[] = {
    {"UseMSCryptoAPI_VerifySignature", &MailConfig::useMSCryptoAPI_VerifySignature},
    {"UseMSCryptoAPI_Decrypt", &MailConfig::useMSCryptoAPI_Decrypt},
    {"VerifySignature", &MailConfig::verifySignature},
};

inline constexpr Key<DmsConfig> dmsKeys[] = {
    {"DmsConnection", &DmsConfig::dmsConnection},
    {"PdbsConnection", &DmsConfig::pdbsConnection},
    {"Prefix", &DmsConfig::prefix},
    {"WriteDataToPdbs", &DmsConfig::writeDataToPdbs},
    {"WriteLastEntryToDms", &DmsConfig::writeLastEntryToDms},
    {"UseTrdConfig", &DmsConfig::useTrdConfig},
    {"AksToUppercase", &DmsConfig::aksToUppercase},
    {"MaxLastUpdate", &DmsConfig::maxLastUpdate},
    {"MaxStateErrorPercent", &DmsConfig::maxStateErrorPercent},
    {"AlwaysCheckDps", &DmsConfig::alwaysCheckDps},
};

inline constexpr Key<ReportConfig> reportingKeys[] = {
    {"Host", &ReportConfig::host},
    {"Port", &ReportConfig::port},
    {"ConnType", &ReportConfig::connType},
    {"Name", &ReportConfig::name},
    {"UserName", &ReportConfig::userName},
    {"Password", &ReportConfig::password, Role::Password},
    {"AuthType", &ReportConfig::authType},
    {"Sender", &ReportConfig::sender},
    {"CheckInterval", &ReportConfig::checkInterval},
    {"SubjectOnError", &ReportConfig::subjectOnError},
    {"SubjectOnOk", &ReportConfig::subjectOnOk},
};

inline constexpr Key<ServiceConfig> serviceKeys[] = {
    {"MetricsPort", &ServiceConfig::metricsPort},
    {"MetricsAddress", &ServiceConfig::metricsAddress},
};

inline constexpr Key<DpEntry> dpKeys[] = {
    {"Enabled", &DpEntry::enabled},
    {"Aks", &DpEntry::aks},
    {"ValType", &DpEntry::valType},
    {"Value", &DpEntry::value},
};

inline constexpr Key<MappingEntry> mappingKeys[] = {
    {"Enabled", &MappingEntry::enabled},
    {"Imported", &MappingEntry::imported},
    {"DmsAks", &MappingEntry::dmsAks},
    {"Script", &MappingEntry::script},
};

inline constexpr Key<OptionEntry> optionKeys[] = {
    {"Enabled", &OptionEntry::enabled},
    {"ImportType", &OptionEntry::importType},
    {"DmsAks", &OptionEntry::dmsAks},
    {"Option", &OptionEntry::option},
};

inline constexpr Key<CheckEntry> checkKeys[] = {
    {"Enabled", &CheckEntry::enabled},
    {"Aks", &CheckEntry::aks},
    {"Min", &CheckEntry::min},
    {"Max", &CheckEntry::max},
};

inline constexpr Key<ReportUser> userKeys[] = {
    {"Enabled", &ReportUser::enabled},
    {"Name", &ReportUser::name},
    {"Address", &ReportUser::address},
};

inline constexpr Table<DmsConfig, DpEntry> dpsTable{"Dps", &DmsConfig::dps, dpKeys, true};
inline constexpr Table<DmsConfig, MappingEntry> mappingsTable{"Mappings", &DmsConfig::mappings, mappingKeys, false};
inline constexpr Table<DmsConfig, OptionEntry> optionsTable{"Options", &DmsConfig::options, optionKeys, false};
inline constexpr Table<DmsConfig, CheckEntry> checksTable{"Checks", &DmsConfig::checks, checkKeys, true};
inline constexpr Table<ReportConfig, ReportUser> usersTable{"Users", &ReportConfig::users, userKeys, true};

// Calls walker.keys(group, record, keys) and walker.table(group, record, table) for every group
// and table in file order: Mail, Crypto, DMS with Dps, AksMapping, AksOptions, RangeCheck,
// Reporting with Users, Service. Config is Configuration or const Configuration.
template<typename Config, typename Walker>
void walkConfiguration(Config &c, Walker &&walker)
{
    walker.keys("Mail", c.mail, std::span<const Key<MailConfig>>(mailKeys));
    walker.keys("Crypto", c.mail, std::span<const Key<MailConfig>>(cryptoKeys));
    walker.keys("DMS", c.dms, std::span<const Key<DmsConfig>>(dmsKeys));
    walker.table("DMS", c.dms, dpsTable);
    walker.table("AksMapping", c.dms, mappingsTable);
    walker.table("AksOptions", c.dms, optionsTable);
    walker.table("RangeCheck", c.dms, checksTable);
    walker.keys("Reporting", c.report, std::span<const Key<ReportConfig>>(reportingKeys));
    walker.table("Reporting", c.report, usersTable);
    walker.keys("Service", c.service, std::span<const Key<ServiceConfig>>(serviceKeys));
}

} // namespace ConfigKeys
