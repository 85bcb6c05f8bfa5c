// The configuration file: every key's name, default and conversion, the tables, the stored
// secret and its machine-bound cipher, and the writer.

#include "../common/JsonCases.h"
#include "../common/TestFiles.h"
#include "config/ConfigFile.h"
#include "config/CryptSecret.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {
QString text(bool b) { return b ? QStringLiteral("true") : QStringLiteral("false"); }
QString text(int i) { return QString::number(i); }
QString text(const QString &s) { return s; }
void setText(bool &b, const QString &t) { b = t == QLatin1String("true"); }
void setText(int &i, const QString &t) { i = t.toInt(); }
void setText(QString &s, const QString &t) { s = t; }

// Every scalar key of the file, by group and key as they stand in the file, with the member it fills.
struct Field
{
    std::function<QString(const Configuration &)> get;
    std::function<void(Configuration &, const QString &)> set;
};

const QHash<QString, Field> &fields()
{
#define FIELD(key, member)                                                                                         \
    {QStringLiteral(key), {[](const Configuration &c) { return text(c.member); },                                  \
                           [](Configuration &c, const QString &v) { setText(c.member, v); }}}
    static const QHash<QString, Field> table = {
        FIELD("Mail/Host", mail.host), FIELD("Mail/Port", mail.port), FIELD("Mail/SSL", mail.ssl),
        FIELD("Mail/AllowPlainLogin", mail.allowPlainLogin),
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
        FIELD("Service/MetricsPort", service.metricsPort), FIELD("Service/MetricsAddress", service.metricsAddress),
    };
#undef FIELD
    return table;
}

// The "Group/Key=value" lines of a file in the data folder, in file order.
QList<std::pair<QString, QString>> keyValues(const char *name)
{
    const QByteArray text = readBytes(QStringLiteral(QUILLON_SOURCE_DIR "/tests/config/data/") + QLatin1String(name));
    QList<std::pair<QString, QString>> pairs;
    for (const QString &line : QString::fromUtf8(text).split(u'\n', Qt::SkipEmptyParts))
        if (!line.startsWith(u'#'))
            pairs.append({line.section(u'=', 0, 0), line.section(u'=', 1)});
    return pairs;
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
    writeBytes(path, content);
    return path;
}

// One table of a configuration as one line: "mappings: a*>A|true ; c*>|value*2|true".
QString tableText(const Configuration &c, const QString &table)
{
    QStringList rows;
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
    return (table + QStringLiteral(": ") + rows.join(QStringLiteral(" ; "))).trimmed();
}

// The configuration of full.ini: the scalar keys from full.keys, and every table with an enabled
// and a disabled row; the data points also with a type beyond the first four and one that no
// point type has.
Configuration fullConfiguration()
{
    Configuration c;
    for (const auto &[key, value] : keyValues("full.keys"))
        fields().value(key).set(c, value);
    c.dms.dps = {{true, QStringLiteral("%AKS%:Unit"), QStringLiteral("STR"), QStringLiteral("%IUNIT%")},
                 {false, QStringLiteral("P:B"), QStringLiteral("BIT"), QStringLiteral("1")},
                 {true, QStringLiteral("P:C"), QStringLiteral("DWU"), QStringLiteral("7")},
                 {true, QStringLiteral("P:D"), QStringLiteral("Int"), QStringLiteral("5")}};
    c.dms.mappings = {{true, QStringLiteral("M1:*"), QStringLiteral("BLD:%IAKS2%:VAL"), QStringLiteral("Value * 1000")},
                      {false, QStringLiteral("b,c"), QStringLiteral("=IAKS1 + ':' + ISN"), {}}};
    c.dms.options = {{true, 3, QStringLiteral("x*"), 5}, {false, 0, QStringLiteral("[ab]?"), 0}};
    c.dms.checks = {{true, QStringLiteral("T*"), -10.5, 1e6}, {false, QStringLiteral("U"), 0.1, 1e-7}};
    c.report.users = {{true, QStringLiteral("Ops"), QStringLiteral("ops@example.org")},
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
    void defaults_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        const QList<std::pair<QString, QString>> expected = keyValues("defaults.keys");
        QCOMPARE(expected.size(), fields().size()); // every key has its default written out
        for (const auto &[key, value] : expected)
            QTest::newRow(qPrintable(key)) << key << value;
    }

    void defaults()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QTemporaryDir dir;
        // A file holding only the mail host leaves every other key at its default.
        const Configuration c = ConfigFile::read(writeFile(dir, "[Mail]\nHost=imap\n"));
        QCOMPARE(c.mail.host, QStringLiteral("imap"));
        if (key != QLatin1String("Mail/Host"))
            QCOMPARE(fields().value(key).get(c), value);
        // A missing file gives the same defaults.
        const Configuration none = ConfigFile::read(dir.filePath(QStringLiteral("missing.ini")));
        QCOMPARE(fields().value(key).get(none), value);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("missing.ini"))));
    }

    // A key as the file stores it and the value it reads as.
    void conversion_data()
    {
        JsonCases::addRows(QStringLiteral("tests/config/data/conversion.json"), QStringLiteral("conversion"));
    }

    void conversion()
    {
        QFETCH(const QJsonObject, row);
        const QString key = row[QStringLiteral("key")].toString();
        QVERIFY(fields().contains(key));
        QTemporaryDir dir;
        const Configuration c = ConfigFile::read(writeFile(dir, iniOf(key, row[QStringLiteral("stored")].toString())));
        QCOMPARE(fields().value(key).get(c), row[QStringLiteral("value")].toString());
    }

    // Each file of data/tables holds one table as a file may hold it; its first line, a comment,
    // gives the rows the controller loads.
    void tables_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("summary");
        const QDir tables(QStringLiteral(QUILLON_SOURCE_DIR "/tests/config/data/tables"));
        const QStringList files = tables.entryList({QStringLiteral("*.ini")});
        QCOMPARE(files.size(), 7);
        for (const QString &file : files) {
            QFile ini(tables.filePath(file));
            QVERIFY(ini.open(QIODevice::ReadOnly));
            QTest::newRow(qPrintable(file)) << ini.fileName() << QString::fromUtf8(ini.readLine()).mid(2).trimmed();
        }
    }

    void tables()
    {
        QFETCH(QString, path);
        QFETCH(QString, summary);
        const Configuration c = ConfigFile::read(path);
        QCOMPARE(tableText(c, summary.section(u':', 0, 0)), summary);
        // The editor sees every row.
        const Configuration all = ConfigFile::read(path, ConfigFile::Rows::All);
        QVERIFY(all.dms.mappings.size() + all.dms.options.size() >= c.dms.mappings.size() + c.dms.options.size());
    }

    // The file holds the mail passwords: only its owner may read it, when it is created and after
    // the editor has saved over a file that others could read.
    void pathAndEnsure()
    {
        QTemporaryDir dir;
        QCoreApplication::setApplicationName(QStringLiteral("quillon_site2"));
        qputenv("ORVANE_CURRENT_CONFIG_LOCATION", (dir.path() + QStringLiteral("/cfg/")).toUtf8());
        const QString path = ConfigFile::configFilePath();
        QCOMPARE(path, dir.path() + QStringLiteral("/cfg/quillon_site2.ini"));
        const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
        ConfigFile::ensureFile(path);
        QVERIFY(QFile::exists(path));
        QCOMPARE(QFile(path).size(), 0);
        QCOMPARE(QFile::permissions(path), ownerOnly);
        // An existing file is left as it is.
        QVERIFY(writeBytes(path, "[Mail]\nHost=keep\n"));
        ConfigFile::ensureFile(path);
        QCOMPARE(ConfigFile::read(path).mail.host, QStringLiteral("keep"));
        QFile::setPermissions(path, ownerOnly | QFile::ReadGroup | QFile::ReadOther);
        ConfigFile::write(path, Configuration(), {});
        QCOMPARE(QFile::permissions(path), ownerOnly);
        // Below a plain file no directory can be made: nothing is created, all defaults apply.
        const QString blocked = path + QStringLiteral("/sub/Quillon.ini");
        ConfigFile::ensureFile(blocked);
        QVERIFY(!QFile::exists(blocked));
        QCOMPARE(ConfigFile::read(blocked).dms.maxLastUpdate, 90);
        qunsetenv("ORVANE_CURRENT_CONFIG_LOCATION");
    }

    // The writer gives full.ini byte for byte (texts quoted and escaped, tables as the settings
    // library stores arrays, the masked secret as it was stored), every key and row reads back, and
    // a table written shorter loses its last rows.
    void writtenFileAndReadBack()
    {
        QCOMPARE(keyValues("full.keys").size(), fields().size());
        const Configuration full = fullConfiguration();
        QTemporaryDir dir;
        const QString path = writeFile(dir, storedSecret);
        ConfigFile::write(path, full, ConfigFile::kSecretMask);
        QCOMPARE(readBytes(path), readBytes(QStringLiteral(QUILLON_SOURCE_DIR "/tests/config/data/full.ini")));

        const Configuration all = ConfigFile::read(path, ConfigFile::Rows::All);
        for (auto it = fields().cbegin(); it != fields().cend(); ++it)
            QCOMPARE(it.value().get(all), it.value().get(full));
        for (const char *table : {"mappings", "options", "dps", "checks", "users"})
            QCOMPARE(tableText(all, QLatin1String(table)), tableText(full, QLatin1String(table)));
        // The controller does not load the disabled mapping.
        QCOMPARE(ConfigFile::read(path).dms.mappings.size(), 1);

        // A shorter table leaves no row of the longer one behind.
        Configuration shorter = full;
        shorter.report.users.removeFirst();
        ConfigFile::write(path, shorter, {});
        QCOMPARE(tableText(ConfigFile::read(path, ConfigFile::Rows::All), QStringLiteral("users")),
                 QStringLiteral("users: Müller, Hans/hm@example.org/false"));
        QVERIFY(!QSettings(path, QSettings::IniFormat).contains(QStringLiteral("Reporting/Users/2/Name")));
    }

    void secretRule_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("secretAfter");
        QTest::addColumn<bool>("storedUnchanged");
        QTest::addColumn<bool>("latin1Stored");
        QTest::newRow("mask keeps the stored text") << ConfigFile::kSecretMask << "first" << true << false;
        QTest::newRow("empty field clears it") << "" << "" << false << false;
        QTest::newRow("new secret replaces it") << "second" << "second" << false << false;
        QTest::newRow("umlaut comes back") << "Gr\u00fcn" << "Gr\u00fcn" << false << false;
        // As files written before secrets were enciphered from UTF-8 hold it.
        QTest::newRow("umlaut stored from Latin-1 reads as before") << "Gr\u00fcn" << "Gr\u00fcn" << false << true;
    }

    void secretRule()
    {
        QFETCH(QString, field);
        QFETCH(QString, secretAfter);
        QFETCH(bool, storedUnchanged);
        QFETCH(bool, latin1Stored);
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

        if (latin1Stored)
            QSettings(path, QSettings::IniFormat)
                .setValue(QStringLiteral("Mail/oAuthClientSecret"), QString::fromLatin1(cryptSecret(true, field.toLatin1()).toHex()));
        else
            ConfigFile::write(path, ConfigFile::read(path), field);
        QCOMPARE(stored() == before, storedUnchanged);
        QCOMPARE(ConfigFile::read(path).mail.oAuthClientSecret, secretAfter);
    }

    // The cipher: the marker byte and the padding set the size, and any bytes come back.
    void cipherSizesAndRoundTrip_data()
    {
        QTest::addColumn<QByteArray>("secret");
        QTest::addColumn<int>("cipherBytes");
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("fourteen fill one block with the marker") << QByteArray(14, 'x') << 16;
        QTest::newRow("fifteen need a padding block") << QByteArray(15, 'x') << 32;
        QTest::newRow("longer than the old buffer") << QByteArray(5000, 's') << 5008;
        QTest::newRow("binary bytes") << QByteArray("\x00\x01\xff\x10", 4) << 16;
    }

    void cipherSizesAndRoundTrip()
    {
        QFETCH(QByteArray, secret);
        QFETCH(int, cipherBytes);
        const QByteArray cipher = cryptSecret(true, secret);
        QCOMPARE(cipher.size(), cipherBytes);
        if (!secret.isEmpty())
            QVERIFY(!cipher.contains(secret));
        QCOMPARE(cryptSecret(false, cipher), secret);
    }

    void cipherKeyTakesFirstSevenCharactersOfHost_data()
    {
        QTest::addColumn<QByteArray>("hostA");
        QTest::addColumn<QByteArray>("hostB");
        QTest::addColumn<bool>("sameCipher");
        QTest::newRow("differ within the first seven") << QByteArray("plant01") << QByteArray("plant02") << false;
        QTest::newRow("differ after the seventh") << QByteArray("station-north") << QByteArray("station-south") << true;
        QTest::newRow("short name against its extension") << QByteArray("abc") << QByteArray("abcd") << false;
    }

    void cipherKeyTakesFirstSevenCharactersOfHost()
    {
        QFETCH(QByteArray, hostA);
        QFETCH(QByteArray, hostB);
        QFETCH(bool, sameCipher);
        const QByteArray secret("client-secret-42");
        const QByteArray a = cryptSecretForHost(true, secret, hostA);
        QCOMPARE(a == cryptSecretForHost(true, secret, hostB), sameCipher);
        QCOMPARE(cryptSecretForHost(false, a, hostA), secret);
    }

    // A value of another machine or a damaged one deciphers to nothing, unreported and without a crash.
    void cipherForeignOrDamagedValues()
    {
        const QByteArray otherMachine = cryptSecretForHost(true, "abc", "otherhost");
        for (const QByteArray &stored : {otherMachine, cryptSecret(true, QByteArray(20, 'z')).left(16)})
            QCOMPARE(cryptSecretForHost(false, stored, "thishost"), QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestConfigFile)
#include "tst_configfile.moc"
