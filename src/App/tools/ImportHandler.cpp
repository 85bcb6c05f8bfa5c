#include "tools/ImportHandler.h"

#include "naming/AksNaming.h"

#include "KyrLogger/Logger.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>


ImportHandler::ImportHandler(const DmsConfig &naming)
    : ToolThread("ImportHandler"), m_naming(naming)
{
}

void ImportHandler::startFileImport(const QDateTime &from, const QDateTime &to, const QString &sources,
                                    const QString &tempPath, bool directWrite, const QString &destination)
{
    if (!claim())
        return;
    m_from = from;
    m_to = to;
    m_sources = folderText(sources);
    m_tempPath = folderText(tempPath);
    m_directWrite = directWrite;
    m_destination = folderText(destination);
    QDir().mkpath(m_tempPath);
    post("onStartFileImport");
}

void ImportHandler::onStartFileImport()
{
    LOG_OUT(Kyr::LogInfo, "Start import, source %1 destination %2, from %3 to %4")
        .arg(m_sources).arg(m_destination).arg(m_from.toString(Qt::ISODate)).arg(m_to.toString(Qt::ISODate)).endl();
    emit sigImportInfo(QStringLiteral("Importing..."));
    m_counters = {};
    m_stored = 0;
    m_ignored = 0;
    m_buffers.clear();
    m_bufferedBytes = 0;
    m_aks = std::make_unique<AksNaming>(m_naming);
    m_cache.clear();

    QDir temp(m_tempPath);
    for (const QString &name : temp.entryList({QStringLiteral("*.mitmp"), QStringLiteral("*.hdbx")}, QDir::Files))
        temp.remove(name);

    SourceWalk walk(SourceWalk::Tool::Import, m_counters, [this](const QString &text) { emit sigImportInfo(text); });
    for (const QString &source : m_sources.split(u';'))
        walk.walk(source, [this](SourceFile &file) { handleFile(file); });

    emit sigImportInfo(QStringLiteral("Handle %1 values...").arg(m_counters.records));
    emit sigImportInfo(QStringLiteral("Sorting values..."));
    emit sigImportInfo(QStringLiteral("Storing temporary files..."));
    flushBuffers(true);

    emit sigImportInfo(QStringLiteral("Processing temporary files..."));
    const QStringList tempFiles = temp.entryList({QStringLiteral("*.mitmp")}, QDir::Files);
    for (qsizetype n = 0; n < tempFiles.size(); ++n) {
        if (n % 5 == 0)
            emit sigImportInfo(QStringLiteral("Processing temporary file %1").arg(n));
        processTemporaryFile(temp.filePath(tempFiles[n]));
    }

    m_aks.reset();
    m_cache.clear();
    const QString end = QStringLiteral("== End import, %1 files, %2 failed; %3 records (%4 stored, %5 ignored)")
                            .arg(m_counters.files).arg(m_counters.failed).arg(m_counters.records)
                            .arg(m_stored).arg(m_ignored);
    emit sigImportInfo(end);
    LOG_OUT(Kyr::LogInfo, "%1").arg(end).endl();
    release(m_counters.failed);
}

// Names the records of one file and adds those in range to the buffers of their points.
void ImportHandler::handleFile(SourceFile &file)
{
    if (file.outcome != SourceFile::Outcome::Ok)
        return;
    m_counters.records += file.records.size();
    for (DataParser::ValueRec &rec : file.records) {
        AksNaming::applyPrefix(rec, m_naming.prefix);
        m_aks->collectOptions(rec);
        bool named = AksNaming::applyOptions(rec);
        if (named) {
            if (m_naming.aksToUppercase)
                rec.iaks = rec.iaks.toUpper();
            named = m_aks->mapRecord(rec, m_cache);
            if (!named)
                LOG_OUT(Kyr::LogWarning, "Empty rds for '%1'").arg(rec.iaks).endl();
        }
        if (!named || rec.aks.isEmpty() || (m_from.isValid() && rec.timestamp < m_from)
            || (m_to.isValid() && rec.timestamp > m_to)) {
            ++m_ignored;
            continue;
        }
        Orvane::DBData record;
        record.seconds = quint32(rec.timestamp.toSecsSinceEpoch());
        record.state = HistoryFile::stateWord(rec.state);
        record.value = rec.value;
        QByteArray &buffer = m_buffers[rec.aks];
        HistoryFile::appendRecord(buffer, record);
        m_bufferedBytes += HistoryFile::RecordSize;
    }
    if (m_bufferedBytes > MaxBufferedBytes)
        flushBuffers(false);
}

// Appends the buffered records to the temporary point files, in the order of the point names.
void ImportHandler::flushBuffers(bool announce)
{
    qint64 n = 0;
    for (auto &[name, records] : m_buffers) {
        if (announce)
            emit sigImportInfo(QStringLiteral("Storing temporary file %1").arg(++n));
        QFile file(m_tempPath + HistoryFile::safeName(name) + QStringLiteral(".mitmp"));
        const bool exists = file.exists();
        if (!file.open(exists ? QIODevice::Append : QIODevice::WriteOnly)) {
            LOG_OUT(Kyr::LogError, "Could not open temporary file %1").arg(file.fileName()).endl();
            continue;
        }
        if (!exists)
            file.write(HistoryFile::header(name));
        file.write(records);
    }
    m_buffers.clear();
    m_bufferedBytes = 0;
}

void ImportHandler::processTemporaryFile(const QString &path)
{
    HistoryFile::ReadResult temp = HistoryFile::read(path);
    if (!temp.headerOk) {
        LOG_OUT(Kyr::LogError, "Could not open temporary file %1").arg(path).endl();
        return;
    }
    m_stored += temp.records.size();
    QList<Orvane::DBData> &records = temp.records;
    HistoryFile::sortUnique(records);

    if (!m_directWrite) {
        QString target = path;
        target.chop(int(qstrlen(".mitmp")));
        target += QStringLiteral(".hdbx");
        if (!HistoryFile::writeFile(target, temp.pointName, records, 0, records.size()))
            LOG_OUT(Kyr::LogError, "Could not open output file %1").arg(target).endl();
        QFile::remove(path);
        return;
    }

    // Direct write: merge the existing month files first, so that the imported values win.
    // The temporary file's name carries the whole safe name; the header only its first 161 bytes.
    const QString fileName = QFileInfo(path).completeBaseName() + QStringLiteral(".hdbx");
    QList<Orvane::DBData> merged;
    for (const HistoryFile::MonthSlice &month : HistoryFile::splitByMonth(records, Qt::LocalTime)) {
        const QString target = m_destination + month.folderName + u'/' + fileName;
        const HistoryFile::ReadResult existing = HistoryFile::read(target);
        if (existing.opened && !existing.headerOk) {
            // Rewriting would lose what the file holds: it stays as it is.
            LOG_OUT(Kyr::LogError, "Invalid file header on '%1'").arg(target).endl();
            QFile::remove(path);
            return;
        }
        merged.append(existing.records);
    }
    merged.append(records);
    HistoryFile::sortUnique(merged);
    for (const HistoryFile::MonthSlice &month : HistoryFile::splitByMonth(merged, Qt::LocalTime)) {
        const QString target = m_destination + month.folderName + u'/' + fileName;
        if (!HistoryFile::writeFile(target, temp.pointName, merged, month.begin, month.end)) {
            LOG_OUT(Kyr::LogError, "Could not open output file %1").arg(target).endl();
            break;
        }
    }
    QFile::remove(path);
}
