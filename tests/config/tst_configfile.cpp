// The configuration file: every key's name, default and conversion, the tables, the stored
// secret, and the writer.

#include "config/ConfigFile.h"
#include "config/CryptSecret.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {
using Field = std::function<QString(const Configuration &)>;

QString text(bool b) { return b ? QStringLiteral("true") : QStringLiteral("false"); }
QString text(int i) { return QString::number(i); }
QString text(const QString &s) { return s; }

// Every scalar key of the file, by group and key as they stand in the file.
const QHash<QString, Field> &fields()
{
#define FIELD(key, member) {QStringLiteral(key), [](const Configuration &c) { return text(c.member); }}
    static const QHash<QString, Field> table = {
        FIELD("Mail/Host", mail.host), FIELD("Mail/Port", mail.port), FIELD("Mail/SSL", mail.ssl),
        FIELD("Mail/UserName", mail.userName), FIELD("Mail/Password", mail.password),
        FIELD("Mail/oAuthClientId", mail.oAuthClientId), FIELD("Mail/oAuthServerAuthURL", mail.oAuthServerAuthURL),
        FIELD("Mail/oAuthServerTokenURL", mail.oAuthServerTokenURL),
        FIELD("Mail/oAuthAuthorizationScope", mail.oAuthAuthorizationScope),
        FIELD("Mail/oAuthConfigUserId", mail.oAuthConfigUserId), FIELD("Mail/InboxFolder", mail.inboxFolder),
        FIELD("Mail/CheckInterval", mail.checkInterval), FIELD("Mail/MaxMailsPerSession", mail.maxMailsPerSession),
        FIELD("Mail/SuccessCopyToImap", mail.successCopyToImap),
        FIELD("Mail/SuccessCopyToImapWithoutEncrypted", mail.successCopyToImapWithoutEncrypted),
        FIELD("Mail/SuccessImapFolder", mail.successImapFolder),
        FIELD("Mail/SuccessCopyToImapDecrypted", mail.successCopyToImapDecrypted),
        FIELD("Mail/SuccessImapFolderDecrypted", mail.successImapFolderDecrypted),
        FIELD("Mail/SuccessCopyToLocal", mail.successCopyToLocal), FIELD("Mail/SuccessLocalFolder", mail.successLocalFolder),
        FIELD("Mail/FailedCopyToImap", mail.failedCopyToImap), FIELD("Mail/FailedImapFolder", mail.failedImapFolder),
        FIELD("Mail/FailedCopyToLocal", mail.failedCopyToLocal), FIELD("Mail/FailedLocalFolder", mail.failedLocalFolder),
        FIELD("Crypto/UseMSCryptoAPI_VerifySignature", mail.useMSCryptoAPI_VerifySignature),
        FIELD("Crypto/UseMSCryptoAPI_Decrypt", mail.useMSCryptoAPI_Decrypt),
        FIELD("Crypto/VerifySignature", mail.verifySignature),
        FIELD("DMS/DmsConnection", dms.dmsConnection), FIELD("DMS/PdbsConnection", dms.pdbsConnection),
        FIELD("DMS/Prefix", dms.prefix), FIELD("DMS/WriteDataToPdbs", dms.writeDataToPdbs),
        FIELD("DMS/WriteLastEntryToDms", dms.writeLastEntryToDms), FIELD("DMS/UseTrdConfig", dms.useTrdConfig),
        FIELD("DMS/AksToUppercase", dms.aksToUppercase), FIELD("DMS/MaxLastUpdate", dms.maxLastUpdate),
        FIELD("DMS/MaxStateErrorPercent", dms.maxStateErrorPercent), FIELD("DMS/AlwaysCheckDps", dms.alwaysCheckDps),
        FIELD("Reporting/Host", report.host), FIELD("Reporting/Port", report.port),
        FIELD("Reporting/ConnType", report.connType), FIELD("Reporting/Name", report.name),
        FIELD("Reporting/UserName", report.userName), FIELD("Reporting/Password", report.password),
        FIELD("Reporting/AuthType", report.authType), FIELD("Reporting/Sender", report.sender),
        FIELD("Reporting/CheckInterval", report.checkInterval), FIELD("Reporting/SubjectOnError", report.subjectOnError),
        FIELD("Reporting/SubjectOnOk", report.subjectOnOk),
    };
#undef FIELD
    return table;
}

// INI text of one key: [Group] then key=value.
QByteArray iniOf(const QString &groupKey, const QString &value)
{
    const QStringList parts = groupKey.split(u'/');
    return QStringLiteral("[%1]\n%2=%3\n").arg(parts[0], parts[1], value).toUtf8();
}

QString writeFile(const QTemporaryDir &dir, const QByteArray &content)
{
    const QString path = dir.filePath(QStringLiteral("Quillon.ini"));
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(content);
    return path;
}
// A configuration in which every key differs from its default and every table has rows, with
// texts the settings library must quote or escape.
Configuration fullConfiguration()
{
    Configuration c;
    MailConfig &m = c.mail;
    m.host = QStringLiteral("imap.example.org");
    m.port = 993;
    m.ssl = false;
    m.userName = QStringLiteral("meter data");
    m.password = QStringLiteral("p,w;\"x\"=1");
    m.oAuthClientId = QStringLiteral("client-1");
    m.oAuthServerAuthURL = QStringLiteral("https://login.example.org/auth?a=1&b=2");
    m.oAuthServerTokenURL = QStringLiteral("https://login.example.org/token");
    m.oAuthAuthorizationScope = QStringLiteral("imap offline_access");
    m.oAuthConfigUserId = QStringLiteral("user@example.org");
    m.inboxFolder = QStringLiteral("INBOX/Zähler");
    m.checkInterval = QStringLiteral("06:00;18:00");
    m.maxMailsPerSession = 250;
    m.successCopyToImap = false;
    m.successCopyToImapWithoutEncrypted = true;
    m.successImapFolder = QStringLiteral("Done");
    m.successCopyToImapDecrypted = true;
    m.successImapFolderDecrypted = QStringLiteral("Done/Plain");
    m.successCopyToLocal = true;
    m.successLocalFolder = QStringLiteral("'D:\\mails\\ok\\'yyyyMM");
    m.failedCopyToImap = false;
    m.failedImapFolder = QStringLiteral("Bad");
    m.failedCopyToLocal = true;
    m.failedLocalFolder = QStringLiteral("/var/mail/failed");
    m.useMSCryptoAPI_VerifySignature = true;
    m.useMSCryptoAPI_Decrypt = false;
    m.verifySignature = false;
    DmsConfig &d = c.dms;
    d.dmsConnection = QStringLiteral("10.0.0.5:9010");
    d.pdbsConnection = QStringLiteral("local");
    d.prefix = QStringLiteral("='X_' + IAKS");
    d.writeDataToPdbs = false;
    d.writeLastEntryToDms = false;
    d.useTrdConfig = true;
    d.aksToUppercase = true;
    d.maxLastUpdate = 0;
    d.maxStateErrorPercent = 55;
    d.alwaysCheckDps = true;
    d.dps = {{true, QStringLiteral("%AKS%:Unit"), QStringLiteral("STR"), QStringLiteral("%IUNIT%")},
             {false, QStringLiteral("P:B"), QStringLiteral("BIT"), QStringLiteral("1")}};
    d.mappings = {{true, QStringLiteral("M1:*"), QStringLiteral("BLD:%IAKS2%:VAL"), QStringLiteral("Value * 1000")},
                  {false, QStringLiteral("b,c"), QStringLiteral("=IAKS1 + ':' + ISN"), {}}};
    d.options = {{true, 3, QStringLiteral("x*"), 5}, {false, 0, QStringLiteral("[ab]?"), 0}};
    d.checks = {{true, QStringLiteral("T*"), -10.5, 1e6}, {false, QStringLiteral("U"), 0.1, 1e-7}};
    ReportConfig &r = c.report;
    r.host = QStringLiteral("smtp.example.org");
    r.port = 587;
    r.connType = QStringLiteral("TLS");
    r.name = QStringLiteral("quillon.example.org");
    r.userName = QStringLiteral("reporter");
    r.password = QStringLiteral("s p@ce");
    r.authType = QStringLiteral("LOGIN");
    r.sender = QStringLiteral("Quillon <quillon@example.org>");
    r.checkInterval = 30;
    r.subjectOnError = QStringLiteral("States changed, see below");
    r.subjectOnOk = QStringLiteral("All ok");
    r.users = {{true, QStringLiteral("Ops"), QStringLiteral("ops@example.org")},
               {false, QStringLiteral("Müller, Hans"), QStringLiteral("hm@example.org")}};
    return c;
}

// A stored client secret as another machine enciphered it; the editor's mask keeps it as it is.
const QByteArray storedSecret = "[Mail]\noAuthClientSecret=00112233445566778899aabbccddeeff\n";
} // namespace

class TestConfigFile : public QObject
{
    Q_OBJECT
private slots:
    void defaults_data();
    void defaults();
    void conversion_data();
    void conversion();
    void tables_data();
    void tables();
    void pathAndEnsure();
    void writeReadRoundTrip();
    void secretRule_data();
    void secretRule();
    void writtenTableShrinks();
    void writtenFileIsUnchanged();
    void fileIsPrivate();
};

void TestConfigFile::defaults_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    const QList<std::pair<const char *, QString>> expected = {
        {"Mail/Host", ""}, {"Mail/Port", "0"}, {"Mail/SSL", "true"}, {"Mail/InboxFolder", "INBOX"},
        {"Mail/CheckInterval", "15"}, {"Mail/MaxMailsPerSession", "1000"}, {"Mail/SuccessCopyToImap", "true"},
        {"Mail/SuccessCopyToImapWithoutEncrypted", "false"}, {"Mail/SuccessImapFolder", "Success"},
        {"Mail/SuccessCopyToImapDecrypted", "false"}, {"Mail/SuccessImapFolderDecrypted", "SuccessDecrypted"},
        {"Mail/SuccessCopyToLocal", "false"}, {"Mail/SuccessLocalFolder", "'C:\\temp\\Mails\\Success\\'yyyyMMdd"},
        {"Mail/FailedCopyToImap", "true"}, {"Mail/FailedImapFolder", "Failed"}, {"Mail/FailedCopyToLocal", "false"},
        {"Mail/FailedLocalFolder", "'C:\\temp\\Mails\\Failed\\'yyyyMMdd"},
        {"Crypto/UseMSCryptoAPI_VerifySignature", "false"}, {"Crypto/UseMSCryptoAPI_Decrypt", "true"},
        {"Crypto/VerifySignature", "true"}, {"DMS/DmsConnection", "127.0.0.1:9010"},
        {"DMS/PdbsConnection", "127.0.0.1:9011"}, {"DMS/Prefix", ""}, {"DMS/WriteDataToPdbs", "true"},
        {"DMS/WriteLastEntryToDms", "true"}, {"DMS/UseTrdConfig", "false"}, {"DMS/AksToUppercase", "false"},
        {"DMS/MaxLastUpdate", "90"}, {"DMS/MaxStateErrorPercent", "10"}, {"DMS/AlwaysCheckDps", "false"},
        {"Reporting/Port", "0"}, {"Reporting/ConnType", "TCP"}, {"Reporting/AuthType", "PLAIN"},
        {"Reporting/CheckInterval", "10"}, {"Reporting/SubjectOnError", "Quillon status report, new states"},
        {"Reporting/SubjectOnOk", "Quillon status Report, all ok"},
    };
    for (const auto &[key, value] : expected)
        QTest::newRow(key) << QString::fromLatin1(key) << value;
}

void TestConfigFile::defaults()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QTemporaryDir dir;
    // A file holding only the mail host leaves every other key at its default.
    const Configuration c = ConfigFile::read(writeFile(dir, "[Mail]\nHost=imap\n"));
    QCOMPARE(c.mail.host, QStringLiteral("imap"));
    if (key != QLatin1String("Mail/Host"))
        QCOMPARE(fields().value(key)(c), value);
    // A missing file gives the same defaults.
    const Configuration none = ConfigFile::read(dir.filePath(QStringLiteral("missing.ini")));
    QCOMPARE(fields().value(key)(none), value);
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("missing.ini"))));
}

void TestConfigFile::conversion_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("value");
    QTest::newRow("integer from text") << "Mail/Port" << "993" << "993";
    QTest::newRow("integer garbage") << "Mail/Port" << "abc" << "0";
    QTest::newRow("integer with unit") << "DMS/MaxLastUpdate" << "90min" << "0";
    QTest::newRow("negative integer") << "DMS/MaxStateErrorPercent" << "-5" << "-5";
    QTest::newRow("bool 0") << "Mail/SSL" << "0" << "false";
    QTest::newRow("bool false") << "Mail/SSL" << "false" << "false";
    QTest::newRow("bool FALSE") << "Mail/SSL" << "FALSE" << "false";
    QTest::newRow("bool empty") << "Mail/SSL" << "" << "false";
    QTest::newRow("bool no is true") << "Mail/SSL" << "no" << "true";
    QTest::newRow("bool 1") << "DMS/UseTrdConfig" << "1" << "true";
    QTest::newRow("text with comma stays whole") << "Reporting/SubjectOnOk" << "all ok, nothing new" << "all ok, nothing new";
    QTest::newRow("quoted text with comma") << "Reporting/SubjectOnError" << "\"new, states\"" << "new, states";
    QTest::newRow("clock times, quoted as the writer does") << "Mail/CheckInterval" << "\"06:00;18:30\"" << "06:00;18:30";
    QTest::newRow("unquoted semicolon starts a comment") << "Mail/CheckInterval" << "06:00;18:30" << "06:00";
    QTest::newRow("windows path keeps backslashes") << "Mail/SuccessLocalFolder"
                                                     << "\"'D:\\\\mails\\\\ok\\\\'yyyyMM\"" << "'D:\\mails\\ok\\'yyyyMM";
    QTest::newRow("prefix script") << "DMS/Prefix" << "\"=iaks + ':'\"" << "=iaks + ':'";
    QTest::newRow("connection override text") << "DMS/DmsConnection" << "ORVANE-DMS" << "ORVANE-DMS";
}

void TestConfigFile::conversion()
{
    QFETCH(QString, key);
    QFETCH(QString, stored);
    QFETCH(QString, value);
    QTemporaryDir dir;
    const Configuration c = ConfigFile::read(writeFile(dir, iniOf(key, stored)));
    QCOMPARE(fields().value(key)(c), value);
}

void TestConfigFile::tables_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("summary");
    QTest::newRow("disabled mapping row is not loaded")
        << QByteArray("[AksMapping]\nMappings\\size=3\nMappings\\1\\Imported=a*\nMappings\\1\\DmsAks=A\n"
                      "Mappings\\2\\Enabled=false\nMappings\\2\\Imported=b*\nMappings\\3\\Imported=c*\n"
                      "Mappings\\3\\Script=value*2\n")
        << "mappings: a*>A|true ; c*>|value*2|true";
    QTest::newRow("disabled option row is not loaded, defaults fill the rest")
        << QByteArray("[AksOptions]\nOptions\\size=2\nOptions\\1\\Enabled=0\nOptions\\1\\DmsAks=x\n"
                      "Options\\2\\DmsAks=y*\nOptions\\2\\ImportType=7\n")
        << "options: 7/y*/2/true";
    QTest::newRow("disabled data point row is kept with its flag")
        << QByteArray("[DMS]\nDps\\size=3\nDps\\1\\Enabled=true\nDps\\1\\Aks=P1\nDps\\1\\ValType=FLT\nDps\\1\\Value=1.5\n"
                      "Dps\\2\\Aks=P2\nDps\\3\\Enabled=true\nDps\\3\\Aks=P3\n")
        << "dps: P1/FLT/1.5/true ; P2/STR//false ; P3/STR//true";
    QTest::newRow("range check minimum that is no number")
        << QByteArray("[RangeCheck]\nChecks\\size=1\nChecks\\1\\Enabled=true\nChecks\\1\\Aks=T*\n"
                      "Checks\\1\\Min=cold\nChecks\\1\\Max=85.5\n")
        << "checks: T*/0/85.5/true";
    QTest::newRow("report users keep disabled rows")
        << QByteArray("[Reporting]\nUsers\\size=2\nUsers\\1\\Enabled=true\nUsers\\1\\Name=Ops\n"
                      "Users\\1\\Address=ops@example.org\nUsers\\2\\Address=old@example.org\n")
        << "users: Ops/ops@example.org/true ; /old@example.org/false";
    QTest::newRow("size larger than the rows present")
        << QByteArray("[AksMapping]\nMappings\\size=2\nMappings\\1\\Imported=only\n")
        << "mappings: only>|true ; >|true";
}

void TestConfigFile::tables()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, summary);
    QTemporaryDir dir;
    const Configuration c = ConfigFile::read(writeFile(dir, ini));
    QStringList rows;
    const QString table = summary.section(u':', 0, 0);
    if (table == QLatin1String("mappings"))
        for (const MappingEntry &e : c.dms.mappings)
            rows << QStringLiteral("%1>%2|%3%4").arg(e.imported, e.dmsAks, e.script.isEmpty() ? QString() : e.script + u'|', text(e.enabled));
    if (table == QLatin1String("options"))
        for (const OptionEntry &e : c.dms.options)
            rows << QStringLiteral("%1/%2/%3/%4").arg(e.importType).arg(e.dmsAks).arg(e.option).arg(text(e.enabled));
    if (table == QLatin1String("dps"))
        for (const DpEntry &e : c.dms.dps)
            rows << QStringLiteral("%1/%2/%3/%4").arg(e.aks, e.valType, e.value, text(e.enabled));
    if (table == QLatin1String("checks"))
        for (const CheckEntry &e : c.dms.checks)
            rows << QStringLiteral("%1/%2/%3/%4").arg(e.aks).arg(e.min).arg(e.max).arg(text(e.enabled));
    if (table == QLatin1String("users"))
        for (const ReportUser &e : c.report.users)
            rows << QStringLiteral("%1/%2/%3").arg(e.name, e.address, text(e.enabled));
    QCOMPARE(table + QStringLiteral(": ") + rows.join(QStringLiteral(" ; ")), summary);
    // The editor sees every row.
    const Configuration all = ConfigFile::read(dir.filePath(QStringLiteral("Quillon.ini")), ConfigFile::Rows::All);
    QVERIFY(all.dms.mappings.size() + all.dms.options.size() >= c.dms.mappings.size() + c.dms.options.size());
}

void TestConfigFile::pathAndEnsure()
{
    QTemporaryDir dir;
    QCoreApplication::setApplicationName(QStringLiteral("quillon_site2"));
    qputenv("ORVANE_CURRENT_CONFIG_LOCATION", (dir.path() + QStringLiteral("/cfg/")).toUtf8());
    const QString path = ConfigFile::configFilePath();
    QCOMPARE(path, dir.path() + QStringLiteral("/cfg/quillon_site2.ini"));
    ConfigFile::ensureFile(path);
    QVERIFY(QFile::exists(path));
    QCOMPARE(QFile(path).size(), 0);
    // An existing file is left as it is.
    writeFile(dir, "");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Mail]\nHost=keep\n");
    file.close();
    ConfigFile::ensureFile(path);
    QCOMPARE(ConfigFile::read(path).mail.host, QStringLiteral("keep"));
    // Below a plain file no directory can be made: nothing is created, all defaults apply.
    const QString blocked = path + QStringLiteral("/sub/Quillon.ini");
    ConfigFile::ensureFile(blocked);
    QVERIFY(!QFile::exists(blocked));
    QCOMPARE(ConfigFile::read(blocked).dms.maxLastUpdate, 90);
    qunsetenv("ORVANE_CURRENT_CONFIG_LOCATION");
}

void TestConfigFile::writeReadRoundTrip()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Quillon.ini"));
    Configuration c;
    c.mail.host = QStringLiteral("imap.example.org");
    c.mail.port = 993;
    c.mail.ssl = false;
    c.mail.checkInterval = QStringLiteral("06:00;18:00");
    c.mail.successLocalFolder = QStringLiteral("'D:\\mails\\'yyyyMM");
    c.dms.prefix = QStringLiteral("=iaks");
    c.dms.mappings = {{true, QStringLiteral("a*"), QStringLiteral("A:%IAKS%"), {}},
                      {false, QStringLiteral("b"), QStringLiteral("B"), QStringLiteral("value/10")}};
    c.dms.options = {{true, 3, QStringLiteral("x*"), 5}};
    c.dms.dps = {{true, QStringLiteral("P"), QStringLiteral("BIT"), QStringLiteral("1")}};
    c.dms.checks = {{true, QStringLiteral("T*"), -10.5, 99.25}};
    c.report.connType = QStringLiteral("TLS");
    c.report.subjectOnOk = QStringLiteral("ok, really");
    c.report.users = {{true, QStringLiteral("Ops"), QStringLiteral("ops@example.org")}};
    ConfigFile::write(path, c, QStringLiteral("s3cret"));

    const Configuration all = ConfigFile::read(path, ConfigFile::Rows::All);
    for (auto it = fields().cbegin(); it != fields().cend(); ++it)
        QCOMPARE(it.value()(all), it.value()(c));
    QCOMPARE(all.mail.oAuthClientSecret, QStringLiteral("s3cret"));
    QCOMPARE(all.dms.mappings.size(), 2);
    QCOMPARE(all.dms.mappings[1].script, QStringLiteral("value/10"));
    QCOMPARE(all.dms.options[0].option, 5);
    QCOMPARE(all.dms.checks[0].min, -10.5);
    QCOMPARE(all.report.users[0].address, QStringLiteral("ops@example.org"));
    // The controller does not load the disabled mapping.
    QCOMPARE(ConfigFile::read(path).dms.mappings.size(), 1);
    // Tables are stored as the settings library stores arrays, rows counted from 1.
    const QString raw = QString::fromUtf8([&] { QFile f(path); f.open(QIODevice::ReadOnly); return f.readAll(); }());
    QVERIFY(raw.contains(QStringLiteral("Dps\\1\\Aks=P")));
    QVERIFY(raw.contains(QStringLiteral("Dps\\size=1")));
}

void TestConfigFile::secretRule_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("secretAfter");
    QTest::addColumn<bool>("storedUnchanged");
    QTest::newRow("mask keeps the stored text") << ConfigFile::kSecretMask << "first" << true;
    QTest::newRow("empty field clears it") << "" << "" << false;
    QTest::newRow("new secret replaces it") << "second" << "second" << false;
}

void TestConfigFile::secretRule()
{
    QFETCH(QString, field);
    QFETCH(QString, secretAfter);
    QFETCH(bool, storedUnchanged);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Quillon.ini"));
    ConfigFile::write(path, Configuration(), QStringLiteral("first"));
    const auto stored = [&] {
        QSettings s(path, QSettings::IniFormat);
        return s.value(QStringLiteral("Mail/oAuthClientSecret")).toString();
    };
    const QString before = stored();
    QCOMPARE(before.size(), 32);
    QCOMPARE(before, before.toLower());
    QCOMPARE(QByteArray::fromHex(before.toLatin1()), cryptSecret(true, "first"));

    ConfigFile::write(path, ConfigFile::read(path), field);
    QCOMPARE(stored() == before, storedUnchanged);
    QCOMPARE(ConfigFile::read(path).mail.oAuthClientSecret, secretAfter);
}

void TestConfigFile::writtenTableShrinks()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Quillon.ini"));
    Configuration c;
    c.report.users = {{true, QStringLiteral("a"), QStringLiteral("a@x")}, {true, QStringLiteral("b"), QStringLiteral("b@x")},
                      {true, QStringLiteral("c"), QStringLiteral("c@x")}};
    ConfigFile::write(path, c, {});
    c.report.users.removeFirst();
    ConfigFile::write(path, c, {});
    const Configuration back = ConfigFile::read(path);
    QCOMPARE(back.report.users.size(), 2);
    QCOMPARE(back.report.users[0].name, QStringLiteral("b"));
    QSettings s(path, QSettings::IniFormat);
    QVERIFY(!s.contains(QStringLiteral("Reporting/Users/3/Name")));
}

void TestConfigFile::writtenFileIsUnchanged()
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, storedSecret);
    ConfigFile::write(path, fullConfiguration(), ConfigFile::kSecretMask);
    QFile written(path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QFile expected(QStringLiteral(QUILLON_SOURCE_DIR "/tests/config/data/full.ini"));
    QVERIFY(expected.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), expected.readAll());
}

void TestConfigFile::fileIsPrivate()
{
    // The file holds the mail passwords: only its owner may read it, when it is created and
    // after the editor has saved over a file that others could read.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Quillon.ini"));
    const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
    ConfigFile::ensureFile(path);
    QCOMPARE(QFile::permissions(path), ownerOnly);
    QFile::setPermissions(path, ownerOnly | QFile::ReadGroup | QFile::ReadOther);
    ConfigFile::write(path, Configuration(), {});
    QCOMPARE(QFile::permissions(path), ownerOnly);
}

QTEST_GUILESS_MAIN(TestConfigFile)
#include "tst_configfile.moc"
