#pragma once
// The settings records that the controller reads from the configuration file and hands to
// its handlers as copies. The member initialisers are the defaults of a missing key.

#include <QList>
#include <QString>

// A configured data point, written with its value at the end of every mail.
struct DpEntry
{
    bool enabled = false;
    QString aks;
    QString valType = QStringLiteral("STR"); // "BIT", "DWS", "FLT" or "STR"
    QString value;
};

// Maps import identifiers (pattern) to a DMS address or an "=" script, with an optional value script.
struct MappingEntry
{
    bool enabled = true;
    QString imported;
    QString dmsAks;
    QString script;
};

// An AKS option code (0 to 5) for identifiers matching a pattern, for one import type or any (0).
struct OptionEntry
{
    bool enabled = true;
    int importType = 0;
    QString dmsAks;
    int option = 2;
};

// A range check on the points matching a pattern.
struct CheckEntry
{
    bool enabled = false;
    QString aks;
    double min = 0;
    double max = 0;
};

// A recipient of the status report.
struct ReportUser
{
    bool enabled = false;
    QString name;
    QString address;
};

struct DmsConfig
{
    QString dmsConnection = QStringLiteral("127.0.0.1:9010");
    QString pdbsConnection = QStringLiteral("127.0.0.1:9011");
    QString prefix;
    bool writeDataToPdbs = true;
    bool writeLastEntryToDms = true;
    bool useTrdConfig = false;
    bool aksToUppercase = false;
    int maxLastUpdate = 90;        // minutes
    int maxStateErrorPercent = 10; // percent of the values of one mail
    bool alwaysCheckDps = false;
    QList<DpEntry> dps;
    QList<MappingEntry> mappings; // enabled rows only, in file order
    QList<OptionEntry> options;   // enabled rows only, in file order
    QList<CheckEntry> checks;
};

struct MailConfig
{
    // group Mail
    QString host;
    int port = 0;
    bool ssl = true;
    bool allowPlainLogin = false; // LOGIN over an unencrypted connection
    QString userName;
    QString password;
    QString oAuthClientId;
    QString oAuthClientSecret; // deciphered
    QString oAuthServerAuthURL;
    QString oAuthServerTokenURL;
    QString oAuthAuthorizationScope;
    QString oAuthConfigUserId;
    QString inboxFolder = QStringLiteral("INBOX");
    QString checkInterval = QStringLiteral("15"); // minutes, or "hh:mm;hh:mm;..."
    int maxMailsPerSession = 1000;
    bool successCopyToImap = true;
    bool successCopyToImapWithoutEncrypted = false;
    QString successImapFolder = QStringLiteral("Success");
    bool successCopyToImapDecrypted = false;
    QString successImapFolderDecrypted = QStringLiteral("SuccessDecrypted");
    bool successCopyToLocal = false;
    QString successLocalFolder = QStringLiteral("'C:\\temp\\Mails\\Success\\'yyyyMMdd");
    bool failedCopyToImap = true;
    QString failedImapFolder = QStringLiteral("Failed");
    bool failedCopyToLocal = false;
    QString failedLocalFolder = QStringLiteral("'C:\\temp\\Mails\\Failed\\'yyyyMMdd");
    // group Crypto
    bool useMSCryptoAPI_VerifySignature = false;
    bool useMSCryptoAPI_Decrypt = true;
    bool verifySignature = true;
};

struct ReportConfig
{
    QString host;
    int port = 0;
    QString connType = QStringLiteral("TCP"); // "TCP", "SSL" or "TLS" (STARTTLS)
    QString name;
    QString userName;
    QString password;
    QString authType = QStringLiteral("PLAIN"); // "PLAIN" or "LOGIN"
    QString sender;
    int checkInterval = 10; // minutes
    QString subjectOnError = QStringLiteral("Quillon status report, new states");
    QString subjectOnOk = QStringLiteral("Quillon status Report, all ok");
    QList<ReportUser> users;
};

// What a running instance offers its operator beyond the log: the metrics endpoint, off while
// the port is 0.
struct ServiceConfig
{
    int metricsPort = 0;
    QString metricsAddress = QStringLiteral("127.0.0.1");
};
