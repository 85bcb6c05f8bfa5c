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
    loadRds();
    return true;
}

// The rds rows as stored: at the start, and again after a savepoint took rows back.
void ExportFileToSQLiteHandler::loadRds()
{
    m_rds.clear();
    QSqlQuery rds(m_db);
    if (rds.exec(QStringLiteral("SELECT import, id, dms FROM rds ORDER BY id"))) {
        while (rds.next()) {
            if (!m_rds.contains(rds.value(0).toString()))
                m_rds.insert(rds.value(0).toString(), {rds.value(1).toLongLong(), rds.value(2).toString()});
        }
    }
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
        walkSources(m_params.sources, walk, *this);
    } else {
        LOG_OUT(Kyr::LogError, "Could not open DB %1").arg(m_params.databaseFile).endl();
        ++m_counters.failed;
    }
    m_rows.finalize();
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(connectionName());
}

// The file row, before its records: type, count and result follow when the file has ended.
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
    insertFile.addBindValue(QStringLiteral("?"));
    insertFile.addBindValue(QDateTime::currentMSecsSinceEpoch());
    insertFile.addBindValue(0);
    insertFile.addBindValue(resultText(file));
    insertFile.addBindValue(tsFile);
    if (!insertFile.exec()) {
        LOG_OUT(Kyr::LogError, "Query error '%1' - '%2'").arg(insertFile.lastQuery()).arg(insertFile.lastError().text()).endl();
        return -1;
    }
    return insertFile.lastInsertId().toLongLong();
}

bool ExportFileToSQLiteHandler::updateFileRow(const SourceFile &file)
{
    QSqlQuery update(m_db);
    update.prepare(QStringLiteral("UPDATE file SET type = ?, cnt_values = ?, result = ? WHERE id = ?"));
    update.addBindValue(m_file.firstType < 0 ? QStringLiteral("?") : DataParser::displayName(m_file.firstType));
    update.addBindValue(m_file.kept);
    update.addBindValue(resultText(file));
    update.addBindValue(m_file.fileId);
    if (update.exec())
        return true;
    LOG_OUT(Kyr::LogError, "Query error '%1' - '%2'").arg(update.lastQuery()).arg(update.lastError().text()).endl();
    return false;
}

// The file's transaction; false (the file's rows are written one by one) when it cannot start.
bool ExportFileToSQLiteHandler::beginTransaction()
{
    if (m_db.transaction())
        return true;
    QSqlQuery probe(m_db);
    LOG_OUT(Kyr::LogError, "Could not start '%1'/'%2'").arg(probe.lastError().text()).arg(m_db.lastError().text()).endl();
    ++m_counters.dbFailures;
    return false;
}

void ExportFileToSQLiteHandler::fileStarted(const SourceFile &file)
{
    m_file = FileState();
    m_file.started = true;
    m_exported.insert(file.path);
    m_file.open = beginTransaction();
    m_file.fileId = insertFileRow(file);
    if (m_file.fileId < 0) {
        ++m_counters.dbFailures;
    } else if (m_file.open && !m_rows.prepare(sqliteHandle())) {
        LOG_OUT(Kyr::LogError, "Could not prepare '%1'").arg(m_rows.errorText()).endl();
        ++m_counters.dbFailures;
    } else {
        m_file.storing = m_file.open;
    }
}

// Each attachment of a mail has its own savepoint. A plain file has none: a failure takes back its
// whole transaction (a savepoint over a large file would copy every index page it changes).
void ExportFileToSQLiteHandler::dataStarted(const SourceFile &file)
{
    m_file.dataRecords = 0;
    m_file.dataFirstType = -1;
    m_file.rdsChanged = false;
    if (m_file.storing && file.isMail)
        runQuery(QStringLiteral("SAVEPOINT data"));
}

void ExportFileToSQLiteHandler::records(const SourceFile &, RecordSink::Batch &batch)
{
    if (!m_file.storing || batch.isEmpty())
        return;
    if (m_file.dataFirstType < 0)
        m_file.dataFirstType = int(batch.first().importType);
    m_file.dataRecords += batch.size();
    for (DataParser::ValueRec &rec : batch)
        m_batchRows.append(measurementRow(rec));
    // Whole groups now; the rest waits for the next batch, so that only a file's last rows go singly.
    const qsizetype whole = m_batchRows.size() / MeasurementRows::RowsPerInsert * MeasurementRows::RowsPerInsert;
    m_counters.dbFailures += m_rows.insert(m_batchRows.constData(), whole, m_file.fileId);
    m_batchRows.remove(0, whole);
}

void ExportFileToSQLiteHandler::insertWaitingRows()
{
    m_counters.dbFailures += m_rows.insert(m_batchRows.constData(), m_batchRows.size(), m_file.fileId);
    m_batchRows.resize(0);
}

// Data that was refused takes back its rows (and the rds rows it added); the rest of a mail stays.
void ExportFileToSQLiteHandler::dataEnded(const SourceFile &file, bool parsed)
{
    if (!m_file.storing)
        return;
    insertWaitingRows();
    if (parsed) {
        if (file.isMail)
            runQuery(QStringLiteral("RELEASE data"));
        m_file.kept += m_file.dataRecords;
        if (m_file.firstType < 0)
            m_file.firstType = m_file.dataFirstType;
        return;
    }
    if (file.isMail) {
        runQuery(QStringLiteral("ROLLBACK TO data"));
        runQuery(QStringLiteral("RELEASE data"));
    } else {
        m_db.rollback();
        m_file = FileState(); // the file ends as one that never started: its row is written then
    }
    if (m_file.rdsChanged || !file.isMail)
        loadRds();
    m_file.rdsKnown = false;
}

// Every file gets its row with its result: one that never started (unreadable, undecodable) now.
void ExportFileToSQLiteHandler::fileEnded(const SourceFile &file)
{
    if (!m_file.started) {
        m_exported.insert(file.path);
        m_file.fileId = insertFileRow(file);
        if (m_file.fileId < 0)
            ++m_counters.dbFailures;
    } else if (m_file.fileId >= 0) {
        m_counters.records += m_file.kept;
        if (!updateFileRow(file))
            ++m_counters.dbFailures;
    }
    if (m_file.fileId < 0 && file.outcome == SourceFile::Outcome::Ok)
        ++m_counters.failed;
    if (m_file.open && !m_db.commit()) {
        LOG_OUT(Kyr::LogError, "Could not commit '%1'").arg(m_db.lastError().text()).endl();
        ++m_counters.dbFailures;
        m_db.rollback();
        loadRds(); // the rds rows of the file were not stored
    }
    m_file = FileState();
}

// The status and rds row of a record, named as the live path names it.
MeasurementRows::Row ExportFileToSQLiteHandler::measurementRow(DataParser::ValueRec &rec)
{
    int state = rec.state;
    if (!m_naming.applyOptions(rec))
        state += StatusOptionsDropped;
    if (rec.state != 0 && rec.flagList.contains(AksNaming::OptSkipBadState))
        state += StatusNotSent;
    const QString name = m_naming.map(rec) ? rec.aks : QStringLiteral("<empty>");
    if (!m_file.rdsKnown || name != m_file.previousName || rec.iaks != m_file.previousImport) {
        m_file.rdsKnown = true;
        m_file.previousId = rdsId(rec, name);
        m_file.previousName = name;
        m_file.previousImport = rec.iaks;
    }
    return {rec.timestamp.toMSecsSinceEpoch(), rec.value, state, m_file.previousId};
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
                m_file.rdsChanged = true;
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
    m_file.rdsChanged = true;
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
