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
constexpr int ExportCacheKiB = 64 * 1024;    // SQLite page cache of the export connection
constexpr int RowsPerInsert = 100;           // rows of one INSERT statement (5 values each; SQLite takes 32766)

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

// "INSERT ... VALUES (?,?,?,?,?),(...)..." for rows rows.
QByteArray insertMeasurementsText(int rows)
{
    QByteArray text = "INSERT INTO measurement (ts, value, status, rfid_file, rfid_rds) VALUES (?,?,?,?,?)";
    for (int i = 1; i < rows; ++i)
        text += ",(?,?,?,?,?)";
    return text;
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
    : ToolJob("ExportFileToSQLiteHandler"), m_naming(naming)
{
}

void ExportFileToSQLiteHandler::prepare()
{
    m_params.databaseFile.replace(u'\\', u'/');
}

QString ExportFileToSQLiteHandler::startLogText() const
{
    return QStringLiteral("== Start export, source '%1' to '%2'").arg(m_params.sources, m_params.databaseFile);
}

QString ExportFileToSQLiteHandler::endText() const
{
    return QStringLiteral("== End export to SQLite DB, %1 files, %2 failed, %3 skipped; %4 records (%5 db failures)")
        .arg(m_counters.files).arg(m_counters.failed).arg(m_counters.skipped)
        .arg(m_counters.records).arg(m_counters.dbFailures);
}

bool ExportFileToSQLiteHandler::runQuery(const QString &statement)
{
    QSqlQuery query(m_db);
    if (query.exec(statement))
        return true;
    LOG_OUT(Kyr::LogError, "Query error '%1' - '%2'").arg(statement).arg(query.lastError().text()).endl();
    ++m_counters.dbFailures;
    return false;
}

bool ExportFileToSQLiteHandler::openDatabase()
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName());
    if (!m_db.isValid())
        LOG_OUT(Kyr::LogCritical, "Could not set driver: '%1'").arg(m_db.lastError().text()).endl();
    QDir().mkpath(QFileInfo(m_params.databaseFile).absolutePath());
    m_db.setDatabaseName(m_params.databaseFile);
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
    // The three indexes of measurement take a page each per row, scattered over the file: with
    // them in the page cache a row costs no read of the file.
    runQuery(QStringLiteral("PRAGMA cache_size=-%1").arg(ExportCacheKiB));

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

void ExportFileToSQLiteHandler::execute()
{
    m_exported.clear();
    m_rds.clear();
    m_naming.reset();

    if (openDatabase()) {
        info(QStringLiteral("Exporting - searching for new files..."));
        SourceWalk walk(SourceWalk::Tool::Export, m_counters, [this](const QString &text) { info(text); });
        walk.setSkipTest([this](const QString &path) { return m_exported.contains(path); });
        walkSources(m_params.sources, walk, [this](SourceFile &file) { exportFile(file); });
    } else {
        LOG_OUT(Kyr::LogError, "Could not open DB %1").arg(m_params.databaseFile).endl();
        ++m_counters.failed;
    }
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(connectionName());
}

// The file row; -1 when it cannot be inserted.
qint64 ExportFileToSQLiteHandler::insertFileRow(const SourceFile &file)
{
    qint64 tsFile = fileBirthMs(file.path);
    if (file.isMail) {
        const QDateTime mailTime = mailFileTime(file.mailHeaders, file.path);
        if (mailTime.isValid())
            tsFile = mailTime.toMSecsSinceEpoch();
    }
    QSqlQuery insertFile(m_db);
    insertFile.prepare(QStringLiteral("INSERT INTO file (file_name, type, ts_processed, cnt_values, result, ts_file) VALUES (?,?,?,?,?,?)"));
    insertFile.addBindValue(file.path);
    insertFile.addBindValue(file.records.isEmpty() ? QStringLiteral("?") : DataParser::displayName(file.records));
    insertFile.addBindValue(QDateTime::currentMSecsSinceEpoch());
    insertFile.addBindValue(file.records.size());
    insertFile.addBindValue(resultText(file));
    insertFile.addBindValue(tsFile);
    if (!insertFile.exec()) {
        LOG_OUT(Kyr::LogError, "Query error '%1' - '%2'").arg(insertFile.lastQuery()).arg(insertFile.lastError().text()).endl();
        return -1;
    }
    return insertFile.lastInsertId().toLongLong();
}

// Every file gets its row with its result. The records a file gave are stored also when it failed
// in part: a mail keeps the rows of the attachments that parsed.
void ExportFileToSQLiteHandler::exportFile(SourceFile &file)
{
    m_exported.insert(file.path);
    const qint64 fileId = insertFileRow(file);
    if (fileId < 0) {
        ++m_counters.dbFailures;
        if (file.outcome == SourceFile::Outcome::Ok)
            ++m_counters.failed;
        return;
    }
    if (file.records.isEmpty())
        return;
    m_counters.records += file.records.size();
    QList<int> status;
    QList<qint64> rdsIds;
    nameRecords(file.records, status, rdsIds);
    insertMeasurements(file.records, status, rdsIds, fileId);
}

// The status and rds row of each record, named as the live path names it.
void ExportFileToSQLiteHandler::nameRecords(QList<DataParser::ValueRec> &records, QList<int> &status, QList<qint64> &rdsIds)
{
    status.reserve(records.size());
    rdsIds.reserve(records.size());
    QString previousImport = QStringLiteral("-none-");
    QString previousName = QStringLiteral("-none-");
    qint64 previousId = -1;
    for (DataParser::ValueRec &rec : records) {
        int state = rec.state;
        if (!m_naming.applyOptions(rec))
            state += StatusOptionsDropped;
        if (rec.state != 0 && rec.flagList.contains(AksNaming::OptSkipBadState))
            state += StatusNotSent;
        const QString name = m_naming.map(rec) ? rec.aks : QStringLiteral("<empty>");
        if (name != previousName || rec.iaks != previousImport) {
            previousId = rdsId(rec, name);
            previousName = name;
            previousImport = rec.iaks;
        }
        status.append(state);
        rdsIds.append(previousId);
    }
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
                ++m_counters.dbFailures;
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
        ++m_counters.dbFailures;
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
        ++m_counters.dbFailures;
        return;
    }
    // Rows go in groups of RowsPerInsert through one statement, which spares the statement's
    // start and end per row; the rest one by one. Their order stays that of the records.
    sqlite3 *db = sqliteHandle();
    sqlite3_stmt *group = nullptr;
    sqlite3_stmt *single = nullptr;
    if (!db || sqlite3_prepare_v2(db, insertMeasurementsText(RowsPerInsert).constData(), -1, &group, nullptr) != SQLITE_OK
        || sqlite3_prepare_v2(db, insertMeasurementsText(1).constData(), -1, &single, nullptr) != SQLITE_OK) {
        LOG_OUT(Kyr::LogError, "Could not prepare '%1'").arg(db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("no SQLite handle")).endl();
        ++m_counters.dbFailures;
        sqlite3_finalize(group);
        m_db.rollback();
        return;
    }
    const auto bindRow = [&](sqlite3_stmt *insert, int first, qsizetype i) {
        sqlite3_bind_int64(insert, first + 1, records[i].timestamp.toMSecsSinceEpoch());
        sqlite3_bind_double(insert, first + 2, records[i].value);
        sqlite3_bind_int(insert, first + 3, status[i]);
        sqlite3_bind_int64(insert, first + 4, fileId);
        sqlite3_bind_int64(insert, first + 5, rdsIds[i]);
    };
    const auto step = [&](sqlite3_stmt *insert) {
        if (sqlite3_step(insert) != SQLITE_DONE) {
            LOG_OUT(Kyr::LogError, "Could not insert '%1'").arg(QString::fromUtf8(sqlite3_errmsg(db))).endl();
            ++m_counters.dbFailures;
        }
        sqlite3_reset(insert);
    };
    qsizetype i = 0;
    for (; i + RowsPerInsert <= records.size(); i += RowsPerInsert) {
        for (int row = 0; row < RowsPerInsert; ++row)
            bindRow(group, row * 5, i + row);
        step(group);
    }
    for (; i < records.size(); ++i) {
        bindRow(single, 0, i);
        step(single);
    }
    sqlite3_finalize(group);
    sqlite3_finalize(single);
    if (!m_db.commit()) {
        LOG_OUT(Kyr::LogError, "Could not commit '%1'").arg(m_db.lastError().text()).endl();
        ++m_counters.dbFailures;
    }
}
