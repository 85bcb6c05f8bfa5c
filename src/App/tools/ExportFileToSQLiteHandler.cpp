#include "tools/ExportFileToSQLiteHandler.h"

#include "KyrLogger/Logger.h"

#include <sqlite3.h>

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

namespace {

constexpr int StatusOptionsDropped = 100000; // applyOptions refused the record
constexpr int StatusNotSent = 200000;        // state not 0 and option "Do not send values with state != 0"

QString resultText(const SourceFile &file)
{
    switch (file.outcome) {
    case SourceFile::Outcome::Ok: return QStringLiteral("OK");
    case SourceFile::Outcome::OpenFailed: return QStringLiteral("Could not open file");
    case SourceFile::Outcome::ParseFailed: return QStringLiteral("Could not parse file: ") + file.errorText;
    case SourceFile::Outcome::DecodeFailed: return QStringLiteral("Could not DecodeFromString(): ") + file.errorText;
    case SourceFile::Outcome::MailError: return QStringLiteral("Mime error %1").arg(file.mailCode);
    case SourceFile::Outcome::NoAttachment: break;
    }
    return QStringLiteral("No file attachment");
}

qint64 fileBirthMs(const QString &path)
{
    const QFileInfo info(path);
    QDateTime t = info.fileTime(QFileDevice::FileBirthTime);
    if (!t.isValid()) // file systems without a birth time: the last change is the nearest
        t = info.lastModified();
    return t.toMSecsSinceEpoch();
}

} // namespace

QDateTime mailFileTime(const QList<MIME::Header> &headers, const QString &path)
{
    for (const MIME::Header &h : headers) {
        if (h.first.compare(QLatin1String("date"), Qt::CaseInsensitive) != 0)
            continue;
        QDateTime t = QDateTime::fromString(h.second.trimmed(), Qt::RFC2822Date);
        if (t.isValid())
            return t;
        const QString rest = h.second.chopped(qMin<qsizetype>(5, h.second.size())).mid(5).trimmed();
        t = QLocale(QLocale::English).toDateTime(rest, QStringLiteral("dd MMM yy HH:mm:ss"));
        // Two-digit years read as 19yy; mails were not written before 1970.
        if (t.isValid() && t.date().year() < 1970)
            t = t.addYears(100);
        return t;
    }
    // No date header: "... yyyy-MM-dd HHmm[ (n)].eml" as the mail intake saves mails.
    QString name = QFileInfo(path).fileName();
    name.chop(4);
    static const QRegularExpression counter(QStringLiteral(" \\(\\d+\\)$"));
    name.remove(counter);
    return QDateTime::fromString(name.right(15), QStringLiteral("yyyy-MM-dd HHmm"));
}

const QStringList &ExportFileToSQLiteHandler::schema()
{
    static const QStringList statements{
        QStringLiteral("CREATE TABLE IF NOT EXISTS file(id INTEGER PRIMARY KEY,file_name TEXT,type TEXT,ts_file INTEGER,ts_processed INTEGER,cnt_values INTEGER,result TEXT)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS rds(id INTEGER PRIMARY KEY,import TEXT,dms TEXT,type TEXT)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS measurement(ts INTEGER,value DOUBLE PRECISION,status INTEGER,rfid_file INTEGER,rfid_rds INTEGER,FOREIGN KEY(rfid_file) REFERENCES file(id),FOREIGN KEY(rfid_rds) REFERENCES rds(id))"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_file_rds_ts ON measurement (rfid_file, rfid_rds, ts);"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_ts ON measurement (ts);"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_rds_ts ON measurement (rfid_rds, ts);"),
    };
    return statements;
}

ExportFileToSQLiteHandler::ExportFileToSQLiteHandler(const DmsConfig &naming)
    : ToolThread("ExportFileToSQLiteHandler"), m_naming(naming)
{
}

void ExportFileToSQLiteHandler::startFileExport(const QString &sources, const QString &databaseFile)
{
    if (!claim())
        return;
    m_sources = sources;
    m_sources.replace(u'\\', u'/');
    m_databaseFile = databaseFile;
    m_databaseFile.replace(u'\\', u'/');
    post("onStartFileExport");
}

bool ExportFileToSQLiteHandler::runQuery(const QString &statement)
{
    QSqlQuery query(m_db);
    if (query.exec(statement))
        return true;
    LOG_OUT(Kyr::LogError, "Query error '%1' - '%2'").arg(statement).arg(query.lastError().text()).endl();
    ++m_dbFailures;
    return false;
}

bool ExportFileToSQLiteHandler::openDatabase()
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName());
    if (!m_db.isValid())
        LOG_OUT(Kyr::LogCritical, "Could not set driver: '%1'").arg(m_db.lastError().text()).endl();
    QDir().mkpath(QFileInfo(m_databaseFile).absolutePath());
    m_db.setDatabaseName(m_databaseFile);
    if (!m_db.open()) {
        LOG_OUT(Kyr::LogCritical, "Could not open: '%1'").arg(m_db.lastError().text()).endl();
        return false;
    }
    for (const QString &statement : schema())
        runQuery(statement);
    // Commits need not wait for the disk; the write-ahead log keeps the file consistent.
    runQuery(QStringLiteral("PRAGMA journal_mode=WAL"));
    runQuery(QStringLiteral("PRAGMA synchronous=NORMAL"));
    // Index pages change in every file's transaction; fewer checkpoints copy each page fewer times.
    runQuery(QStringLiteral("PRAGMA wal_autocheckpoint=16384"));

    QSqlQuery files(m_db);
    if (files.exec(QStringLiteral("SELECT file_name FROM file"))) {
        while (files.next())
            m_exported.insert(files.value(0).toString());
    }
    QSqlQuery rds(m_db);
    if (rds.exec(QStringLiteral("SELECT import, id, dms FROM rds ORDER BY id"))) {
        while (rds.next()) {
            if (!m_rds.contains(rds.value(0).toString()))
                m_rds.insert(rds.value(0).toString(), {rds.value(1).toLongLong(), rds.value(2).toString()});
        }
    }
    return true;
}

void ExportFileToSQLiteHandler::onStartFileExport()
{
    LOG_OUT(Kyr::LogInfo, "== Start export, source '%1' to '%2'").arg(m_sources).arg(m_databaseFile).endl();
    emit sigExportInfo(QStringLiteral("Exporting - open db..."));
    m_counters = {};
    m_dbFailures = 0;
    m_exported.clear();
    m_rds.clear();
    m_aks = std::make_unique<AksNaming>(m_naming);
    m_cache.clear();

    if (openDatabase()) {
        emit sigExportInfo(QStringLiteral("Exporting - searching for new files..."));
        SourceWalk walk(SourceWalk::Tool::Export, m_counters, [this](const QString &text) { emit sigExportInfo(text); });
        walk.setSkipTest([this](const QString &path) { return m_exported.contains(path); });
        for (const QString &source : m_sources.split(u';'))
            walk.walk(source, [this](SourceFile &file) { exportFile(file); });
    } else {
        LOG_OUT(Kyr::LogError, "Could not open DB %1").arg(m_databaseFile).endl();
        ++m_counters.failed;
    }
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(connectionName());
    m_aks.reset();

    const QString end = QStringLiteral("== End export to SQLite DB, %1 files, %2 failed, %3 skipped; %4 records (%5 db failures)")
                            .arg(m_counters.files).arg(m_counters.failed).arg(m_counters.skipped)
                            .arg(m_counters.records).arg(m_dbFailures);
    emit sigExportInfo(end);
    LOG_OUT(Kyr::LogInfo, "%1").arg(end).endl();
    release(m_counters.failed + m_dbFailures);
}

void ExportFileToSQLiteHandler::exportFile(SourceFile &file)
{
    m_exported.insert(file.path);
    const bool ok = file.outcome == SourceFile::Outcome::Ok;
    qint64 tsFile = fileBirthMs(file.path);
    if (file.isMail) {
        const QDateTime mailTime = mailFileTime(file.mailHeaders, file.path);
        if (mailTime.isValid())
            tsFile = mailTime.toMSecsSinceEpoch();
    }

    QSqlQuery insertFile(m_db);
    insertFile.prepare(QStringLiteral("INSERT INTO file (file_name, type, ts_processed, cnt_values, result, ts_file) VALUES (?,?,?,?,?,?)"));
    insertFile.addBindValue(file.path);
    insertFile.addBindValue(ok ? DataParser::displayName(file.records) : QStringLiteral("?"));
    insertFile.addBindValue(QDateTime::currentMSecsSinceEpoch());
    insertFile.addBindValue(ok ? file.records.size() : 0);
    insertFile.addBindValue(resultText(file));
    insertFile.addBindValue(tsFile);
    if (!insertFile.exec()) {
        LOG_OUT(Kyr::LogError, "Query error '%1' - '%2'").arg(insertFile.lastQuery()).arg(insertFile.lastError().text()).endl();
        ++m_dbFailures;
        if (ok)
            ++m_counters.failed;
        return;
    }
    const qint64 fileId = insertFile.lastInsertId().toLongLong();
    if (!ok || file.records.isEmpty())
        return;

    m_counters.records += file.records.size();
    QList<int> status;
    QList<qint64> rdsIds;
    status.reserve(file.records.size());
    rdsIds.reserve(file.records.size());
    QString previousImport = QStringLiteral("-none-");
    QString previousName = QStringLiteral("-none-");
    qint64 previousId = -1;
    for (DataParser::ValueRec &rec : file.records) {
        AksNaming::applyPrefix(rec, m_naming.prefix);
        m_aks->collectOptions(rec);
        int state = rec.state;
        if (!AksNaming::applyOptions(rec))
            state += StatusOptionsDropped;
        if (rec.state != 0 && rec.flagList.contains(AksNaming::OptSkipBadState))
            state += StatusNotSent;
        if (m_naming.aksToUppercase)
            rec.iaks = rec.iaks.toUpper();
        QString name;
        if (m_aks->mapRecord(rec, m_cache)) {
            name = rec.aks;
        } else {
            LOG_OUT(Kyr::LogWarning, "Empty rds for '%1'").arg(rec.iaks).endl();
            name = QStringLiteral("<empty>");
        }
        if (name != previousName || rec.iaks != previousImport) {
            previousId = rdsId(rec, name);
            previousName = name;
            previousImport = rec.iaks;
        }
        status.append(state);
        rdsIds.append(previousId);
    }
    insertMeasurements(file.records, status, rdsIds, fileId);
}

// The rds row of an import identifier, inserted when new and updated when its DMS name changed.
qint64 ExportFileToSQLiteHandler::rdsId(const DataParser::ValueRec &rec, const QString &dmsName)
{
    auto it = m_rds.find(rec.iaks);
    if (it != m_rds.end()) {
        if (it->dms != dmsName) {
            LOG_OUT(Kyr::LogInfo, "Update dms rds from '%1' to '%2' (import rds is '%3')").arg(it->dms).arg(dmsName).arg(rec.iaks).endl();
            QSqlQuery update(m_db);
            update.prepare(QStringLiteral("UPDATE rds SET dms = ? WHERE id = ?"));
            update.addBindValue(dmsName);
            update.addBindValue(it->id);
            if (update.exec()) {
                it->dms = dmsName;
            } else {
                LOG_OUT(Kyr::LogError, "Query error '%1' - '%2'").arg(update.lastQuery()).arg(update.lastError().text()).endl();
                ++m_dbFailures;
            }
        }
        return it->id;
    }
    QSqlQuery insert(m_db);
    insert.prepare(QStringLiteral("INSERT INTO rds (import, dms, type) VALUES (?,?,?)"));
    insert.addBindValue(rec.iaks);
    insert.addBindValue(dmsName);
    insert.addBindValue(DataParser::displayName(int(rec.importType)));
    if (!insert.exec()) {
        LOG_OUT(Kyr::LogError, "Query error '%1' - '%2'").arg(insert.lastQuery()).arg(insert.lastError().text()).endl();
        ++m_dbFailures;
        return -1;
    }
    const qint64 id = insert.lastInsertId().toLongLong();
    m_rds.insert(rec.iaks, {id, dmsName});
    return id;
}

// The connection's own SQLite handle: the rows are bound straight to the prepared statement,
// without a QVariant per value, which makes up much of the time of a large export.
sqlite3 *ExportFileToSQLiteHandler::sqliteHandle() const
{
    const QVariant handle = m_db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

void ExportFileToSQLiteHandler::insertMeasurements(const QList<DataParser::ValueRec> &records, const QList<int> &status,
                                                   const QList<qint64> &rdsIds, qint64 fileId)
{
    if (!m_db.transaction()) {
        QSqlQuery probe(m_db);
        LOG_OUT(Kyr::LogError, "Could not start '%1'/'%2'").arg(probe.lastError().text()).arg(m_db.lastError().text()).endl();
        ++m_dbFailures;
        return;
    }
    sqlite3 *db = sqliteHandle();
    sqlite3_stmt *insert = nullptr;
    if (!db || sqlite3_prepare_v2(db, "INSERT INTO measurement (ts, value, status, rfid_file, rfid_rds) VALUES (?,?,?,?,?)",
                                  -1, &insert, nullptr) != SQLITE_OK) {
        LOG_OUT(Kyr::LogError, "Could not prepare '%1'").arg(db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("no SQLite handle")).endl();
        ++m_dbFailures;
        m_db.rollback();
        return;
    }
    for (qsizetype i = 0; i < records.size(); ++i) {
        sqlite3_bind_int64(insert, 1, records[i].timestamp.toMSecsSinceEpoch());
        sqlite3_bind_double(insert, 2, records[i].value);
        sqlite3_bind_int(insert, 3, status[i]);
        sqlite3_bind_int64(insert, 4, fileId);
        sqlite3_bind_int64(insert, 5, rdsIds[i]);
        if (sqlite3_step(insert) != SQLITE_DONE) {
            LOG_OUT(Kyr::LogError, "Could not insert '%1'").arg(QString::fromUtf8(sqlite3_errmsg(db))).endl();
            ++m_dbFailures;
        }
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    if (!m_db.commit()) {
        LOG_OUT(Kyr::LogError, "Could not commit '%1'").arg(m_db.lastError().text()).endl();
        ++m_dbFailures;
    }
}
