#include "config/ConfigFile.h"

#include "config/CryptSecret.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringDecoder>

#include <sys/stat.h>

namespace ConfigFile {

namespace {

// Rows a table may hold. A table whose stored size is larger is not read at all (logged as a
// warning): the size key alone would otherwise make the reader build that many rows.
constexpr int MaxTableRows = 10000;

// The file holds the mail passwords in plain text.
constexpr QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner;

// Reads of a file that keeps changing while it is read, before the last read is taken.
constexpr int MaxReadAttempts = 5;

// What tells one version of the file from another: a replaced file is a new inode, a file
// written in place has a new size or modification time.
struct FileStamp
{
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    timespec modified{};

    static FileStamp of(const QString &path)
    {
        FileStamp stamp;
        struct stat st{};
        if (::stat(QFile::encodeName(path).constData(), &st) == 0)
            stamp = FileStamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim};
        return stamp;
    }
    bool operator==(const FileStamp &other) const
    {
        return device == other.device && inode == other.inode && size == other.size
               && modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
    }
};

// The settings library splits an unquoted value at commas into a list; a text key takes it whole.
QString textOf(const QVariant &value)
{
    if (value.metaType().id() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

// The reading rule of each key type: text, integer, flag, number.
QString readValue(const QSettings &s, const QString &key, const QString &def)
{
    return s.contains(key) ? textOf(s.value(key)) : def;
}

int readValue(const QSettings &s, const QString &key, int def)
{
    return s.contains(key) ? textOf(s.value(key)).trimmed().toInt() : def;
}

bool readValue(const QSettings &s, const QString &key, bool def)
{
    if (!s.contains(key))
        return def;
    const QString text = textOf(s.value(key));
    return !(text.isEmpty() || text == QLatin1String("0")
             || text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0);
}

double readValue(const QSettings &s, const QString &key, double def)
{
    return s.contains(key) ? textOf(s.value(key)).trimmed().toDouble() : def;
}

// Secrets are enciphered from their UTF-8 bytes. Files written before that hold the Latin-1
// bytes; a secret with characters beyond ASCII then does not decode as UTF-8 (a Latin-1 letter
// such as "ü" is never followed by the continuation bytes UTF-8 demands) and is read as Latin-1.
QString decipherStored(const QString &stored)
{
    const QByteArray plain = cryptSecret(false, QByteArray::fromHex(stored.toLatin1()));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(plain);
    return utf8.hasError() ? QString::fromLatin1(plain) : text;
}


// Fills one record (a settings record or a table row) from the current group or array index.
template<typename Record>
void readKeys(const QSettings &s, std::span<const ConfigKeys::Key<Record>> keys, Record &record)
{
    const Record defaults;
    for (const ConfigKeys::Key<Record> &key : keys) {
        const QString name = QLatin1String(key.name);
        std::visit([&](auto member) { record.*member = readValue(s, name, defaults.*member); }, key.member);
        if (key.role == ConfigKeys::Role::Secret) {
            QString &secret = record.*std::get<QString Record::*>(key.member);
            secret = decipherStored(secret);
        }
    }
}

struct Reader
{
    QSettings &s;
    bool skipDisabled;

    template<typename Record>
    void keys(const char *group, Record &record, std::span<const ConfigKeys::Key<Record>> keys)
    {
        s.beginGroup(QLatin1String(group));
        readKeys(s, keys, record);
        s.endGroup();
    }

    template<typename Record, typename Row>
    void table(const char *group, Record &record, const ConfigKeys::Table<Record, Row> &table)
    {
        QList<Row> &rows = record.*table.rows;
        rows.clear();
        s.beginGroup(QLatin1String(group));
        int size = s.beginReadArray(QLatin1String(table.name));
        if (size > MaxTableRows) {
            qWarning("Configuration table %s/%s holds %d rows, more than %d: the table is not read", group,
                     table.name, size, MaxTableRows);
            size = 0;
        }
        for (int i = 0; i < size; ++i) {
            s.setArrayIndex(i);
            Row row;
            readKeys(s, table.keys, row);
            if (row.enabled || table.disabledRowsLoaded || !skipDisabled)
                rows.append(row);
        }
        s.endArray();
        s.endGroup();
    }
};

struct Writer
{
    QSettings &s;
    const QString &secretField;

    template<typename Record>
    void writeKeys(std::span<const ConfigKeys::Key<Record>> keys, const Record &record)
    {
        for (const ConfigKeys::Key<Record> &key : keys) {
            const QString name = QLatin1String(key.name);
            if (key.role != ConfigKeys::Role::Secret) {
                std::visit([&](auto member) { s.setValue(name, record.*member); }, key.member);
            } else if (secretField != kSecretMask) {
                // The editor's field, not the record, holds what the operator typed.
                const QByteArray cipher = cryptSecret(true, secretField.toUtf8());
                s.setValue(name, QString::fromLatin1(cipher.toHex()));
            }
        }
    }

    template<typename Record>
    void keys(const char *group, const Record &record, std::span<const ConfigKeys::Key<Record>> keys)
    {
        s.beginGroup(QLatin1String(group));
        writeKeys(keys, record);
        s.endGroup();
    }

    template<typename Record, typename Row>
    void table(const char *group, const Record &record, const ConfigKeys::Table<Record, Row> &table)
    {
        const QList<Row> &rows = record.*table.rows;
        const QString name = QLatin1String(table.name);
        s.beginGroup(QLatin1String(group));
        s.remove(name); // rows beyond the new count must not survive
        s.beginWriteArray(name, int(rows.size()));
        for (int i = 0; i < rows.size(); ++i) {
            s.setArrayIndex(i);
            writeKeys(table.keys, rows.at(i));
        }
        s.endArray();
        s.endGroup();
    }
};

QString shown(const QString &text) { return u'\'' + text + u'\''; }
QString shown(int value) { return QString::number(value); }
QString shown(bool value) { return value ? QStringLiteral("true") : QStringLiteral("false"); }
QString shown(double value) { return QString::number(value); }

// One line per group: "Mail: Host 'imap.example.org', Port 993, ..., Password set, ...".
struct Describer
{
    QStringList lines;
    QString group;

    void add(const char *groupName, const QString &part)
    {
        if (group != QLatin1String(groupName)) {
            group = QLatin1String(groupName);
            lines.append(group + QStringLiteral(": ") + part);
        } else {
            lines.last() += QStringLiteral(", ") + part;
        }
    }

    template<typename Record>
    void keys(const char *groupName, const Record &record, std::span<const ConfigKeys::Key<Record>> keys)
    {
        for (const ConfigKeys::Key<Record> &key : keys) {
            QString value;
            if (key.role == ConfigKeys::Role::Plain) {
                std::visit([&](auto member) { value = shown(record.*member); }, key.member);
            } else {
                const bool set = !(record.*std::get<QString Record::*>(key.member)).isEmpty();
                value = set ? QStringLiteral("set") : QStringLiteral("not set");
            }
            add(groupName, QLatin1String(key.name) + u' ' + value);
        }
    }

    template<typename Record, typename Row>
    void table(const char *groupName, const Record &record, const ConfigKeys::Table<Record, Row> &table)
    {
        add(groupName, QLatin1String(table.name) + u' ' + QString::number((record.*table.rows).size())
                           + QStringLiteral(" rows"));
    }
};

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
    file.open(QIODevice::WriteOnly, ownerOnly);
}

Configuration read(const QString &path, Rows rows)
{
    // A file that changed while it was read may have been read half-written: read it again, up
    // to MaxReadAttempts times; the last read is taken.
    Configuration c;
    for (int attempt = 1; attempt <= MaxReadAttempts; ++attempt) {
        const FileStamp before = FileStamp::of(path);
        c = Configuration();
        {
            QSettings s(path, QSettings::IniFormat);
            ConfigKeys::walkConfiguration(c, Reader{s, rows == Rows::EnabledOnly});
        }
        if (FileStamp::of(path) == before)
            break;
    }
    return c;
}

QString permissionWarning(const QString &path)
{
    const QFileInfo info(path);
    constexpr QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
    if (!info.exists() || (info.permissions() & others) == 0)
        return {};
    return QStringLiteral("Configuration file '%1' can be read by others: it holds the mail passwords, "
                          "make it readable by its owner only (chmod 600)").arg(path);
}

bool hasStoredSecret(const QString &path)
{
    return !QSettings(path, QSettings::IniFormat).value(QStringLiteral("Mail/oAuthClientSecret")).toString().isEmpty();
}

void write(const QString &path, const Configuration &c, const QString &secretField)
{
    // The file exists before the settings library writes, so that it never holds the passwords
    // with wider permissions; the permissions are set again after the write for a file that
    // was made readable by others before.
    ensureFile(path);
    QFile::setPermissions(path, ownerOnly);
    {
        // The settings library writes a new file beside the old one and renames it over the old,
        // with the old one's permissions: a reader sees the old content or the new, never half.
        QSettings s(path, QSettings::IniFormat);
        s.setAtomicSyncRequired(true);
        ConfigKeys::walkConfiguration(c, Writer{s, secretField});
        s.sync();
    }
    QFile::setPermissions(path, ownerOnly);
}

QStringList describe(const Configuration &c)
{
    Describer describer;
    ConfigKeys::walkConfiguration(c, describer);
    return describer.lines;
}

} // namespace ConfigFile
