#include "tools/ExportSQLiteToHdbxHandler.h"

#include "tools/CsvLine.h"
#include "tools/ExportFileToSQLiteHandler.h"
#include "tools/SourceList.h"

#include "KyrLogger/Logger.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

namespace {

// A name column of the verification CSV: each entry followed by "/", and past 799 characters
// only a "." per further entry.
void addName(QString &column, const QString &name)
{
    if (column.size() > 799)
        column += u'.';
    else
        column += name + u'/';
}

} // namespace

QString ExportHdbxParams::defaultQuery()
{
    return QStringLiteral("SELECT ts, value, MAX(file.ts_file), COUNT(*) c\nFROM measurement m\n"
                          "INNER JOIN file ON m.rfid_file = file.id\nINNER JOIN rds ON m.rfid_rds = rds.id\n"
                          "WHERE rfid_rds IN (%1)\nGROUP BY rds.dms, ts\nHAVING c >= 1\nORDER BY ts");
}

ExportSQLiteToHdbxHandler::ExportSQLiteToHdbxHandler()
    : ToolJob("ExportSQLiteToHdbxHandler")
{
}

void ExportSQLiteToHdbxHandler::prepare()
{
    m_params.databaseFile.replace(u'\\', u'/');
    if (!m_params.historyFolder.contains(u';'))
        m_params.historyFolder = folderText(m_params.historyFolder);
    if (!m_params.databaseFile.isEmpty())
        QDir().mkpath(QFileInfo(m_params.databaseFile).absolutePath());
}

QString ExportSQLiteToHdbxHandler::startLogText() const
{
    return QStringLiteral("== Start export from DB '%1' to hdbx folder '%2'").arg(m_params.databaseFile, m_params.historyFolder);
}

QString ExportSQLiteToHdbxHandler::endText() const
{
    return QStringLiteral("== End export to hdbx, %1 files, %2 failed, %3 records (%4 db failures)")
        .arg(m_counters.files).arg(m_counters.failed).arg(m_counters.records).arg(m_counters.dbFailures);
}

void ExportSQLiteToHdbxHandler::execute()
{
    LOG_OUT(Kyr::LogInfo, "== Query is '%1'").arg(m_params.query).endl();
    if (m_params.historyFolder.contains(u';')) {
        // The two trees follow the rule of every source list: "NEW;" names no old tree.
        const QStringList trees = SourceList::folders(m_params.historyFolder);
        if (trees.size() != 2) {
            LOG_OUT(Kyr::LogError, "Verification needs two history folders 'NEW;OLD', not '%1'").arg(m_params.historyFolder).endl();
            ++m_counters.failed;
            return;
        }
        info(QStringLiteral("Verify hdbx..."));
        verify(trees[0], trees[1]);
    } else if (!openDatabase()) {
        LOG_OUT(Kyr::LogError, "Could not open DB %1").arg(m_params.databaseFile).endl();
        ++m_counters.failed;
    } else {
        info(QStringLiteral("Exporting to hdbx..."));
        exportLoop();
    }
    if (m_db.isOpen())
        m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(ExportFileToSQLiteHandler::connectionName());
}

bool ExportSQLiteToHdbxHandler::openDatabase()
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), ExportFileToSQLiteHandler::connectionName());
    if (!m_db.isValid())
        LOG_OUT(Kyr::LogError, "Could not set driver: '%1'").arg(m_db.lastError().text()).endl();
    m_db.setDatabaseName(m_params.databaseFile);
    // A missing file is an error here, not a new empty database.
    if (!QFileInfo(m_params.databaseFile).isFile()) {
        LOG_OUT(Kyr::LogError, "Could not open: '%1'").arg(QStringLiteral("no such file")).endl();
        return false;
    }
    if (!m_db.open()) {
        LOG_OUT(Kyr::LogError, "Could not open: '%1'").arg(m_db.lastError().text()).endl();
        return false;
    }
    return true;
}

void ExportSQLiteToHdbxHandler::exportLoop()
{
    struct Group
    {
        QString name;
        QStringList ids;
    };
    QList<Group> groups;
    QSqlQuery rds(m_db);
    const QString rdsQuery = QStringLiteral("SELECT dms, id FROM rds ORDER BY rds.dms, id");
    if (!rds.exec(rdsQuery)) {
        LOG_OUT(Kyr::LogError, "Query error '%1' - '%2'").arg(rdsQuery).arg(rds.lastError().text()).endl();
        ++m_counters.dbFailures;
        return;
    }
    while (rds.next()) {
        const QString name = rds.value(0).toString();
        if (groups.isEmpty() || groups.last().name != name)
            groups.append({name, {}});
        groups.last().ids.append(rds.value(1).toString());
    }

    QElapsedTimer elapsed;
    elapsed.start();
    const qsizetype n = groups.size();
    for (qsizetype i = 0; i < n; ++i) {
        const Group &group = groups[i];
        const double hours = elapsed.elapsed() / 3600000.0;
        const double duration = i > 0 ? hours / double(i) * double(n) : 0.0;
        const double end = i > 0 ? duration - hours : 0.0;
        info(QStringLiteral("Processing rds '%1' (%2/%3), files written: %4, records written: %5, estimated duration: %6 hours, estimated end in %7 hours")
                               .arg(group.name).arg(i + 1).arg(n).arg(m_counters.files).arg(m_counters.records)
                               .arg(duration, 0, 'f', 1).arg(end, 0, 'f', 1));

        const QString text = m_params.query.arg(group.ids.join(u','));
        QSqlQuery values(m_db);
        values.setForwardOnly(true);
        if (!values.exec(text)) {
            LOG_OUT(Kyr::LogError, "Query error '%1' - '%2'").arg(text).arg(values.lastError().text()).endl();
            ++m_counters.dbFailures;
            continue;
        }
        QList<Orvane::DBData> records;
        while (values.next()) {
            const qint64 t = values.value(0).toLongLong();
            const double v = values.value(1).toDouble();
            if (!records.isEmpty() && records.last().timeMs() == t) {
                const double previous = records.last().value;
                if (previous == v)
                    continue;
                LOG_OUT(Kyr::LogError, "Multiple values for '%1' at '%2' (%3) - %4 / %5 - using second value")
                    .arg(group.name).arg(QDateTime::fromMSecsSinceEpoch(t, Qt::UTC).toString(Qt::ISODateWithMs))
                    .arg(t).arg(previous).arg(v).endl();
                records.last().value = v;
                continue;
            }
            Orvane::DBData record;
            record.seconds = quint32(t / 1000);
            record.milliseconds = quint16(t % 1000);
            record.value = v;
            records.append(record);
        }
        writePoint(group.name, records);
    }
}

// One point's records, sorted by time, into one file per UTC month.
void ExportSQLiteToHdbxHandler::writePoint(const QString &name, const QList<Orvane::DBData> &records)
{
    const QString fileName = HistoryFile::safeName(name) + QStringLiteral(".hdbx");
    for (const HistoryFile::MonthSlice &month : HistoryFile::splitByMonth(records, Qt::UTC)) {
        const QString path = m_params.historyFolder + month.folderName + u'/' + fileName;
        if (!HistoryFile::writeFile(path, name, records, month.begin, month.end)) {
            LOG_OUT(Kyr::LogError, "Could not open output file %1").arg(path).endl();
            ++m_counters.failed;
            continue;
        }
        ++m_counters.files;
        m_counters.records += month.end - month.begin;
    }
}

void ExportSQLiteToHdbxHandler::verify(QString newTree, QString oldTree)
{
    newTree = folderText(newTree);
    oldTree = folderText(oldTree);
    QFile result(newTree + QStringLiteral("VerifyHdbx.csv"));
    const bool writing = result.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text);
    if (!writing) {
        LOG_OUT(Kyr::LogCritical, "Could not open result file %1").arg(result.fileName()).endl();
        ++m_counters.failed;
    }
    QTextStream out(&result);
    if (writing)
        out << "Path;TotalNewRecords;MissingOldFiles;MissingNewRecords;MissingOldRecords;OtherValuesNow;OtherValuesNeverOldFile;"
               "MissingOldFileNames;MissingNewRecordsFileNames;MissingOldRecordsFileNames;OtherValuesFileNames\n";

    const QFileInfoList months = QDir(newTree).entryInfoList({QStringLiteral("HDADATA_*")}, QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &month : months) {
        info(QStringLiteral("Verify '%1'...").arg(month.absoluteFilePath()));
        const QString line = compareMonth(month.absoluteFilePath(), oldTree + month.fileName() + u'/');
        if (writing)
            out << line;
    }
}

QString ExportSQLiteToHdbxHandler::compareMonth(const QString &newMonth, const QString &oldMonth)
{
    qint64 total = 0, missingOldFiles = 0, missingNew = 0, missingOld = 0, otherNow = 0, otherNever = 0;
    QString missingOldFileNames, missingNewNames, missingOldNames, otherNames;

    const QStringList files = QDir(newMonth).entryList({QStringLiteral("*.hdbx")}, QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString &name : files) {
        const QString newPath = newMonth + u'/' + name;
        const HistoryFile::ReadResult fresh = HistoryFile::read(newPath);
        if (!fresh.headerOk) {
            if (fresh.tooLarge)
                LOG_OUT(Kyr::LogError, "%1 is larger than %2 bytes").arg(newPath).arg(HistoryFile::MaxFileBytes).endl();
            LOG_OUT(Kyr::LogError, "Invalid file header on '%1'").arg(newPath).endl();
            ++m_counters.failed;
            continue;
        }
        if (fresh.tornBytes)
            LOG_OUT(Kyr::LogError, "Invalid data on '%1' (%2)").arg(newPath).arg(fresh.tornBytes).endl();
        total += fresh.records.size();

        const QString oldPath = oldMonth + name;
        const HistoryFile::ReadResult old = HistoryFile::read(oldPath);
        if (!old.opened) {
            LOG_OUT(Kyr::LogError, "Could not open %1").arg(oldPath).endl();
            ++m_counters.failed;
            ++missingOldFiles;
            addName(missingOldFileNames, name);
            continue;
        }
        if (!old.headerOk) {
            if (old.tooLarge)
                LOG_OUT(Kyr::LogError, "%1 is larger than %2 bytes").arg(oldPath).arg(HistoryFile::MaxFileBytes).endl();
            LOG_OUT(Kyr::LogError, "Invalid file header on old '%1'").arg(oldPath).endl();
            ++m_counters.failed;
            continue;
        }
        if (old.tornBytes) {
            LOG_OUT(Kyr::LogError, "Invalid data on old '%1' (%2)").arg(oldPath).arg(old.tornBytes).endl();
            ++m_counters.failed;
        }

        const bool newNotEarlier = QFileInfo(newPath).lastModified() >= QFileInfo(oldPath).lastModified();
        QHash<quint64, double> oldValues;
        oldValues.reserve(old.records.size());
        for (const Orvane::DBData &r : old.records)
            oldValues.insert(r.timeKey(), r.value);
        QSet<quint64> newKeys;
        newKeys.reserve(fresh.records.size());
        for (const Orvane::DBData &r : fresh.records) {
            newKeys.insert(r.timeKey());
            const auto it = oldValues.constFind(r.timeKey());
            if (it == oldValues.constEnd()) {
                ++missingOld;
                addName(missingOldNames, name);
            } else if (*it != r.value) {
                ++(newNotEarlier ? otherNow : otherNever);
                addName(otherNames, name);
            }
        }
        for (const Orvane::DBData &r : old.records) {
            if (!newKeys.contains(r.timeKey())) {
                ++missingNew;
                addName(missingNewNames, name);
            }
        }
    }
    return CsvLine::join({newMonth, QString::number(total), QString::number(missingOldFiles), QString::number(missingNew),
                          QString::number(missingOld), QString::number(otherNow), QString::number(otherNever),
                          missingOldFileNames, missingNewNames, missingOldNames, otherNames});
}
