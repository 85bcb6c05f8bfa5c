#include "config/ConfigFile.h"

#include "config/CryptSecret.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace ConfigFile {

namespace {

// The settings library splits an unquoted value at commas into a list; a text key takes it whole.
QString textOf(const QVariant &value)
{
    if (value.metaType().id() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

QString readText(const QSettings &s, const QString &key, const QString &def)
{
    return s.contains(key) ? textOf(s.value(key)) : def;
}

int readInt(const QSettings &s, const QString &key, int def)
{
    return s.contains(key) ? textOf(s.value(key)).trimmed().toInt() : def;
}

bool readBool(const QSettings &s, const QString &key, bool def)
{
    if (!s.contains(key))
        return def;
    const QString text = textOf(s.value(key));
    return !(text.isEmpty() || text == QLatin1String("0")
             || text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0);
}

double readDouble(const QSettings &s, const QString &key, double def)
{
    return s.contains(key) ? textOf(s.value(key)).trimmed().toDouble() : def;
}

// Reads the rows of one table; readRow fills a row from the current array index.
template<typename Row, typename ReadRow>
QList<Row> readTable(QSettings &s, const QString &name, ReadRow readRow, bool skipDisabled)
{
    QList<Row> rows;
    const int size = s.beginReadArray(name);
    for (int i = 0; i < size; ++i) {
        s.setArrayIndex(i);
        Row row = readRow(s);
        if (!(skipDisabled && !row.enabled))
            rows.append(row);
    }
    s.endArray();
    return rows;
}

template<typename Row, typename WriteRow>
void writeTable(QSettings &s, const QString &name, const QList<Row> &rows, WriteRow writeRow)
{
    s.remove(name); // rows beyond the new count must not survive
    s.beginWriteArray(name, int(rows.size()));
    for (int i = 0; i < rows.size(); ++i) {
        s.setArrayIndex(i);
        writeRow(s, rows.at(i));
    }
    s.endArray();
}

QString decipherStored(const QString &stored)
{
    const QByteArray cipher = QByteArray::fromHex(stored.toLatin1());
    return QString::fromUtf8(cryptSecret(false, cipher));
}

} // namespace

QString configFilePath()
{
    return qEnvironmentVariable("ORVANE_CURRENT_CONFIG_LOCATION") + QCoreApplication::applicationName()
           + QStringLiteral(".ini");
}

void ensureFile(const QString &path)
{
    if (QFile::exists(path))
        return;
    // The settings library writes nothing for a file without keys, so the empty file is made here,
    // with its directory, as the settings library would make it on its first write.
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    file.open(QIODevice::WriteOnly);
}

Configuration read(const QString &path, Rows rows)
{
    const bool skipDisabled = rows == Rows::EnabledOnly;
    QSettings s(path, QSettings::IniFormat);
    Configuration c;

    const MailConfig m;
    s.beginGroup(QStringLiteral("Mail"));
    c.mail.host = readText(s, QStringLiteral("Host"), m.host);
    c.mail.port = readInt(s, QStringLiteral("Port"), m.port);
    c.mail.ssl = readBool(s, QStringLiteral("SSL"), m.ssl);
    c.mail.allowPlainLogin = readBool(s, QStringLiteral("AllowPlainLogin"), m.allowPlainLogin);
    c.mail.userName = readText(s, QStringLiteral("UserName"), m.userName);
    c.mail.password = readText(s, QStringLiteral("Password"), m.password);
    c.mail.oAuthClientId = readText(s, QStringLiteral("oAuthClientId"), m.oAuthClientId);
    c.mail.oAuthClientSecret = decipherStored(readText(s, QStringLiteral("oAuthClientSecret"), {}));
    c.mail.oAuthServerAuthURL = readText(s, QStringLiteral("oAuthServerAuthURL"), m.oAuthServerAuthURL);
    c.mail.oAuthServerTokenURL = readText(s, QStringLiteral("oAuthServerTokenURL"), m.oAuthServerTokenURL);
    c.mail.oAuthAuthorizationScope = readText(s, QStringLiteral("oAuthAuthorizationScope"), m.oAuthAuthorizationScope);
    c.mail.oAuthConfigUserId = readText(s, QStringLiteral("oAuthConfigUserId"), m.oAuthConfigUserId);
    c.mail.inboxFolder = readText(s, QStringLiteral("InboxFolder"), m.inboxFolder);
    c.mail.checkInterval = readText(s, QStringLiteral("CheckInterval"), m.checkInterval);
    c.mail.maxMailsPerSession = readInt(s, QStringLiteral("MaxMailsPerSession"), m.maxMailsPerSession);
    c.mail.successCopyToImap = readBool(s, QStringLiteral("SuccessCopyToImap"), m.successCopyToImap);
    c.mail.successCopyToImapWithoutEncrypted = readBool(s, QStringLiteral("SuccessCopyToImapWithoutEncrypted"), m.successCopyToImapWithoutEncrypted);
    c.mail.successImapFolder = readText(s, QStringLiteral("SuccessImapFolder"), m.successImapFolder);
    c.mail.successCopyToImapDecrypted = readBool(s, QStringLiteral("SuccessCopyToImapDecrypted"), m.successCopyToImapDecrypted);
    c.mail.successImapFolderDecrypted = readText(s, QStringLiteral("SuccessImapFolderDecrypted"), m.successImapFolderDecrypted);
    c.mail.successCopyToLocal = readBool(s, QStringLiteral("SuccessCopyToLocal"), m.successCopyToLocal);
    c.mail.successLocalFolder = readText(s, QStringLiteral("SuccessLocalFolder"), m.successLocalFolder);
    c.mail.failedCopyToImap = readBool(s, QStringLiteral("FailedCopyToImap"), m.failedCopyToImap);
    c.mail.failedImapFolder = readText(s, QStringLiteral("FailedImapFolder"), m.failedImapFolder);
    c.mail.failedCopyToLocal = readBool(s, QStringLiteral("FailedCopyToLocal"), m.failedCopyToLocal);
    c.mail.failedLocalFolder = readText(s, QStringLiteral("FailedLocalFolder"), m.failedLocalFolder);
    s.endGroup();

    s.beginGroup(QStringLiteral("Crypto"));
    c.mail.useMSCryptoAPI_VerifySignature = readBool(s, QStringLiteral("UseMSCryptoAPI_VerifySignature"), m.useMSCryptoAPI_VerifySignature);
    c.mail.useMSCryptoAPI_Decrypt = readBool(s, QStringLiteral("UseMSCryptoAPI_Decrypt"), m.useMSCryptoAPI_Decrypt);
    c.mail.verifySignature = readBool(s, QStringLiteral("VerifySignature"), m.verifySignature);
    s.endGroup();

    const DmsConfig d;
    s.beginGroup(QStringLiteral("DMS"));
    c.dms.dmsConnection = readText(s, QStringLiteral("DmsConnection"), d.dmsConnection);
    c.dms.pdbsConnection = readText(s, QStringLiteral("PdbsConnection"), d.pdbsConnection);
    c.dms.prefix = readText(s, QStringLiteral("Prefix"), d.prefix);
    c.dms.writeDataToPdbs = readBool(s, QStringLiteral("WriteDataToPdbs"), d.writeDataToPdbs);
    c.dms.writeLastEntryToDms = readBool(s, QStringLiteral("WriteLastEntryToDms"), d.writeLastEntryToDms);
    c.dms.useTrdConfig = readBool(s, QStringLiteral("UseTrdConfig"), d.useTrdConfig);
    c.dms.aksToUppercase = readBool(s, QStringLiteral("AksToUppercase"), d.aksToUppercase);
    c.dms.maxLastUpdate = readInt(s, QStringLiteral("MaxLastUpdate"), d.maxLastUpdate);
    c.dms.maxStateErrorPercent = readInt(s, QStringLiteral("MaxStateErrorPercent"), d.maxStateErrorPercent);
    c.dms.alwaysCheckDps = readBool(s, QStringLiteral("AlwaysCheckDps"), d.alwaysCheckDps);
    c.dms.dps = readTable<DpEntry>(s, QStringLiteral("Dps"), [](const QSettings &s) {
        const DpEntry e;
        return DpEntry{readBool(s, QStringLiteral("Enabled"), e.enabled),
                       readText(s, QStringLiteral("Aks"), e.aks),
                       readText(s, QStringLiteral("ValType"), e.valType),
                       readText(s, QStringLiteral("Value"), e.value)};
    }, false);
    s.endGroup();

    s.beginGroup(QStringLiteral("AksMapping"));
    c.dms.mappings = readTable<MappingEntry>(s, QStringLiteral("Mappings"), [](const QSettings &s) {
        const MappingEntry e;
        return MappingEntry{readBool(s, QStringLiteral("Enabled"), e.enabled),
                            readText(s, QStringLiteral("Imported"), e.imported),
                            readText(s, QStringLiteral("DmsAks"), e.dmsAks),
                            readText(s, QStringLiteral("Script"), e.script)};
    }, skipDisabled);
    s.endGroup();

    s.beginGroup(QStringLiteral("AksOptions"));
    c.dms.options = readTable<OptionEntry>(s, QStringLiteral("Options"), [](const QSettings &s) {
        const OptionEntry e;
        return OptionEntry{readBool(s, QStringLiteral("Enabled"), e.enabled),
                           readInt(s, QStringLiteral("ImportType"), e.importType),
                           readText(s, QStringLiteral("DmsAks"), e.dmsAks),
                           readInt(s, QStringLiteral("Option"), e.option)};
    }, skipDisabled);
    s.endGroup();

    s.beginGroup(QStringLiteral("RangeCheck"));
    c.dms.checks = readTable<CheckEntry>(s, QStringLiteral("Checks"), [](const QSettings &s) {
        const CheckEntry e;
        return CheckEntry{readBool(s, QStringLiteral("Enabled"), e.enabled),
                          readText(s, QStringLiteral("Aks"), e.aks),
                          readDouble(s, QStringLiteral("Min"), e.min),
                          readDouble(s, QStringLiteral("Max"), e.max)};
    }, false);
    s.endGroup();

    const ReportConfig r;
    s.beginGroup(QStringLiteral("Reporting"));
    c.report.host = readText(s, QStringLiteral("Host"), r.host);
    c.report.port = readInt(s, QStringLiteral("Port"), r.port);
    c.report.connType = readText(s, QStringLiteral("ConnType"), r.connType);
    c.report.name = readText(s, QStringLiteral("Name"), r.name);
    c.report.userName = readText(s, QStringLiteral("UserName"), r.userName);
    c.report.password = readText(s, QStringLiteral("Password"), r.password);
    c.report.authType = readText(s, QStringLiteral("AuthType"), r.authType);
    c.report.sender = readText(s, QStringLiteral("Sender"), r.sender);
    c.report.checkInterval = readInt(s, QStringLiteral("CheckInterval"), r.checkInterval);
    c.report.subjectOnError = readText(s, QStringLiteral("SubjectOnError"), r.subjectOnError);
    c.report.subjectOnOk = readText(s, QStringLiteral("SubjectOnOk"), r.subjectOnOk);
    c.report.users = readTable<ReportUser>(s, QStringLiteral("Users"), [](const QSettings &s) {
        const ReportUser e;
        return ReportUser{readBool(s, QStringLiteral("Enabled"), e.enabled),
                          readText(s, QStringLiteral("Name"), e.name),
                          readText(s, QStringLiteral("Address"), e.address)};
    }, false);
    s.endGroup();
    return c;
}

void write(const QString &path, const Configuration &c, const QString &secretField)
{
    QSettings s(path, QSettings::IniFormat);

    s.beginGroup(QStringLiteral("Mail"));
    s.setValue(QStringLiteral("Host"), c.mail.host);
    s.setValue(QStringLiteral("Port"), c.mail.port);
    s.setValue(QStringLiteral("SSL"), c.mail.ssl);
    s.setValue(QStringLiteral("AllowPlainLogin"), c.mail.allowPlainLogin);
    s.setValue(QStringLiteral("UserName"), c.mail.userName);
    s.setValue(QStringLiteral("Password"), c.mail.password);
    s.setValue(QStringLiteral("oAuthClientId"), c.mail.oAuthClientId);
    if (secretField != kSecretMask) {
        const QByteArray cipher = cryptSecret(true, secretField.toLatin1());
        s.setValue(QStringLiteral("oAuthClientSecret"), QString::fromLatin1(cipher.toHex()));
    }
    s.setValue(QStringLiteral("oAuthServerAuthURL"), c.mail.oAuthServerAuthURL);
    s.setValue(QStringLiteral("oAuthServerTokenURL"), c.mail.oAuthServerTokenURL);
    s.setValue(QStringLiteral("oAuthAuthorizationScope"), c.mail.oAuthAuthorizationScope);
    s.setValue(QStringLiteral("oAuthConfigUserId"), c.mail.oAuthConfigUserId);
    s.setValue(QStringLiteral("InboxFolder"), c.mail.inboxFolder);
    s.setValue(QStringLiteral("CheckInterval"), c.mail.checkInterval);
    s.setValue(QStringLiteral("MaxMailsPerSession"), c.mail.maxMailsPerSession);
    s.setValue(QStringLiteral("SuccessCopyToImap"), c.mail.successCopyToImap);
    s.setValue(QStringLiteral("SuccessCopyToImapWithoutEncrypted"), c.mail.successCopyToImapWithoutEncrypted);
    s.setValue(QStringLiteral("SuccessImapFolder"), c.mail.successImapFolder);
    s.setValue(QStringLiteral("SuccessCopyToImapDecrypted"), c.mail.successCopyToImapDecrypted);
    s.setValue(QStringLiteral("SuccessImapFolderDecrypted"), c.mail.successImapFolderDecrypted);
    s.setValue(QStringLiteral("SuccessCopyToLocal"), c.mail.successCopyToLocal);
    s.setValue(QStringLiteral("SuccessLocalFolder"), c.mail.successLocalFolder);
    s.setValue(QStringLiteral("FailedCopyToImap"), c.mail.failedCopyToImap);
    s.setValue(QStringLiteral("FailedImapFolder"), c.mail.failedImapFolder);
    s.setValue(QStringLiteral("FailedCopyToLocal"), c.mail.failedCopyToLocal);
    s.setValue(QStringLiteral("FailedLocalFolder"), c.mail.failedLocalFolder);
    s.endGroup();

    s.beginGroup(QStringLiteral("Crypto"));
    s.setValue(QStringLiteral("UseMSCryptoAPI_VerifySignature"), c.mail.useMSCryptoAPI_VerifySignature);
    s.setValue(QStringLiteral("UseMSCryptoAPI_Decrypt"), c.mail.useMSCryptoAPI_Decrypt);
    s.setValue(QStringLiteral("VerifySignature"), c.mail.verifySignature);
    s.endGroup();

    s.beginGroup(QStringLiteral("DMS"));
    s.setValue(QStringLiteral("DmsConnection"), c.dms.dmsConnection);
    s.setValue(QStringLiteral("PdbsConnection"), c.dms.pdbsConnection);
    s.setValue(QStringLiteral("Prefix"), c.dms.prefix);
    s.setValue(QStringLiteral("WriteDataToPdbs"), c.dms.writeDataToPdbs);
    s.setValue(QStringLiteral("WriteLastEntryToDms"), c.dms.writeLastEntryToDms);
    s.setValue(QStringLiteral("UseTrdConfig"), c.dms.useTrdConfig);
    s.setValue(QStringLiteral("AksToUppercase"), c.dms.aksToUppercase);
    s.setValue(QStringLiteral("MaxLastUpdate"), c.dms.maxLastUpdate);
    s.setValue(QStringLiteral("MaxStateErrorPercent"), c.dms.maxStateErrorPercent);
    s.setValue(QStringLiteral("AlwaysCheckDps"), c.dms.alwaysCheckDps);
    writeTable(s, QStringLiteral("Dps"), c.dms.dps, [](QSettings &s, const DpEntry &e) {
        s.setValue(QStringLiteral("Enabled"), e.enabled);
        s.setValue(QStringLiteral("Aks"), e.aks);
        s.setValue(QStringLiteral("ValType"), e.valType);
        s.setValue(QStringLiteral("Value"), e.value);
    });
    s.endGroup();

    s.beginGroup(QStringLiteral("AksMapping"));
    writeTable(s, QStringLiteral("Mappings"), c.dms.mappings, [](QSettings &s, const MappingEntry &e) {
        s.setValue(QStringLiteral("Enabled"), e.enabled);
        s.setValue(QStringLiteral("Imported"), e.imported);
        s.setValue(QStringLiteral("DmsAks"), e.dmsAks);
        s.setValue(QStringLiteral("Script"), e.script);
    });
    s.endGroup();

    s.beginGroup(QStringLiteral("AksOptions"));
    writeTable(s, QStringLiteral("Options"), c.dms.options, [](QSettings &s, const OptionEntry &e) {
        s.setValue(QStringLiteral("Enabled"), e.enabled);
        s.setValue(QStringLiteral("ImportType"), e.importType);
        s.setValue(QStringLiteral("DmsAks"), e.dmsAks);
        s.setValue(QStringLiteral("Option"), e.option);
    });
    s.endGroup();

    s.beginGroup(QStringLiteral("RangeCheck"));
    writeTable(s, QStringLiteral("Checks"), c.dms.checks, [](QSettings &s, const CheckEntry &e) {
        s.setValue(QStringLiteral("Enabled"), e.enabled);
        s.setValue(QStringLiteral("Aks"), e.aks);
        s.setValue(QStringLiteral("Min"), e.min);
        s.setValue(QStringLiteral("Max"), e.max);
    });
    s.endGroup();

    s.beginGroup(QStringLiteral("Reporting"));
    s.setValue(QStringLiteral("Host"), c.report.host);
    s.setValue(QStringLiteral("Port"), c.report.port);
    s.setValue(QStringLiteral("ConnType"), c.report.connType);
    s.setValue(QStringLiteral("Name"), c.report.name);
    s.setValue(QStringLiteral("UserName"), c.report.userName);
    s.setValue(QStringLiteral("Password"), c.report.password);
    s.setValue(QStringLiteral("AuthType"), c.report.authType);
    s.setValue(QStringLiteral("Sender"), c.report.sender);
    s.setValue(QStringLiteral("CheckInterval"), c.report.checkInterval);
    s.setValue(QStringLiteral("SubjectOnError"), c.report.subjectOnError);
    s.setValue(QStringLiteral("SubjectOnOk"), c.report.subjectOnOk);
    writeTable(s, QStringLiteral("Users"), c.report.users, [](QSettings &s, const ReportUser &e) {
        s.setValue(QStringLiteral("Enabled"), e.enabled);
        s.setValue(QStringLiteral("Name"), e.name);
        s.setValue(QStringLiteral("Address"), e.address);
    });
    s.endGroup();
    s.sync();
}

QStringList describe(const Configuration &c)
{
    const auto flag = [](bool b) { return b ? QStringLiteral("true") : QStringLiteral("false"); };
    const auto set = [](const QString &secret) { return secret.isEmpty() ? QStringLiteral("not set") : QStringLiteral("set"); };
    return {
        QStringLiteral("Mail: host '%1', port %2, SSL %3, user '%4', password %5, client secret %6, inbox '%7', "
                       "check interval '%8', at most %9 mails per check")
            .arg(c.mail.host).arg(c.mail.port).arg(flag(c.mail.ssl), c.mail.userName, set(c.mail.password),
                 set(c.mail.oAuthClientSecret), c.mail.inboxFolder, c.mail.checkInterval)
            .arg(c.mail.maxMailsPerSession),
        QStringLiteral("Mail filing: success to server %1 ('%2'), decrypted copy %3 ('%4'), success local %5 ('%6'), "
                       "failed to server %7 ('%8'), failed local %9")
            .arg(flag(c.mail.successCopyToImap), c.mail.successImapFolder, flag(c.mail.successCopyToImapDecrypted),
                 c.mail.successImapFolderDecrypted, flag(c.mail.successCopyToLocal), c.mail.successLocalFolder,
                 flag(c.mail.failedCopyToImap), c.mail.failedImapFolder, flag(c.mail.failedCopyToLocal)),
        QStringLiteral("Crypto: verify signature %1, decrypt through crypto provider %2")
            .arg(flag(c.mail.verifySignature), flag(c.mail.useMSCryptoAPI_Decrypt)),
        QStringLiteral("DMS: DMS '%1', PDBS '%2', prefix '%3', write to PDBS %4, last entry to DMS %5, trend "
                       "configuration %6, upper case %7, max last update %8 min, max state errors %9 %")
            .arg(c.dms.dmsConnection, c.dms.pdbsConnection, c.dms.prefix, flag(c.dms.writeDataToPdbs),
                 flag(c.dms.writeLastEntryToDms), flag(c.dms.useTrdConfig), flag(c.dms.aksToUppercase))
            .arg(c.dms.maxLastUpdate).arg(c.dms.maxStateErrorPercent),
        QStringLiteral("Tables: %1 data points, %2 mappings, %3 options, %4 range checks, %5 report recipients")
            .arg(c.dms.dps.size()).arg(c.dms.mappings.size()).arg(c.dms.options.size()).arg(c.dms.checks.size())
            .arg(c.report.users.size()),
        QStringLiteral("Reporting: host '%1', port %2, connection %3, authentication %4, sender '%5', every %6 min")
            .arg(c.report.host).arg(c.report.port).arg(c.report.connType, c.report.authType, c.report.sender)
            .arg(c.report.checkInterval),
    };
}

} // namespace ConfigFile
