#include "tools/ImportHandler.h"

#include "KyrLogger/Logger.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace {

// A damaged file moves aside to the first free name "<name>.bad", "<name>.1.bad", ...
constexpr int MaxBadNames = 100;

bool setAside(const QString &path)
{
    for (int n = 0; n < MaxBadNames; ++n) {
        const QString bad = n == 0 ? path + QStringLiteral(".bad") : QStringLiteral("%1.%2.bad").arg(path).arg(n);
        if (!QFile::exists(bad))
            return QFile::rename(path, bad);
    }
    return false;
}

} // namespace

ImportHandler::ImportHandler(const DmsConfig &naming)
    : ToolJob("ImportHandler"), m_naming(naming)
{
}

void ImportHandler::prepare()
{
    m_params.tempPath = folderText(m_params.tempPath);
    m_params.destination = folderText(m_params.destination);
    QDir().mkpath(m_params.tempPath);
}

QString ImportHandler::startLogText() const
{
    return QStringLiteral("Start import, source %1 destination %2, from %3 to %4")
        .arg(m_params.sources, m_params.destination, m_params.from.toString(Qt::ISODate), m_params.to.toString(Qt::ISODate));
}

QString ImportHandler::endText() const
{
    return QStringLiteral("== End import, %1 files, %2 failed; %3 records (%4 stored, %5 ignored)")
        .arg(m_counters.files).arg(m_counters.failed).arg(m_counters.records).arg(m_stored).arg(m_ignored);
}

void ImportHandler::execute()
{
    m_stored = 0;
    m_ignored = 0;
    m_buffers.clear();
    m_bufferedBytes = 0;
    m_inFile = false;
    m_naming.reset();
    m_temp = std::make_unique<TemporaryPointFiles>(m_params.tempPath);
    m_temp->clearFolder();

    SourceWalk walk(SourceWalk::Tool::Import, m_counters, [this](const QString &text) { info(text); });
    walkSources(m_params.sources, walk, *this);

    info(QStringLiteral("Handle %1 values...").arg(m_counters.records));
    info(QStringLiteral("Sorting values..."));
    info(QStringLiteral("Storing temporary files..."));
    flushBuffers(true);

    info(QStringLiteral("Processing temporary files..."));
    qsizetype n = 0;
    for (const auto &[safeName, file] : m_temp->files()) {
        if (n++ % 5 == 0)
            info(QStringLiteral("Processing temporary file %1").arg(n - 1));
        processTemporaryFile(file);
        QFile::remove(file.path); // done with: its space is free for the next one
    }
    m_temp.reset(); // every temporary file goes, on every way out
}

void ImportHandler::fileStarted(const SourceFile &)
{
    ++m_fileNumber;
    m_inFile = true;
    m_fileRecords = 0;
    m_ignoredBeforeFile = m_ignored;
    m_temp->beginUnit();
}

// Names the records and adds those in range to the buffers of their points.
void ImportHandler::records(const SourceFile &, RecordSink::Batch &batch)
{
    m_fileRecords += batch.size();
    for (DataParser::ValueRec &rec : batch) {
        const bool named = m_naming.applyOptions(rec) && m_naming.map(rec);
        if (!named || rec.aks.isEmpty() || (m_params.from.isValid() && rec.timestamp < m_params.from)
            || (m_params.to.isValid() && rec.timestamp > m_params.to)) {
            ++m_ignored;
            continue;
        }
        Orvane::DBData record;
        record.seconds = quint32(rec.timestamp.toSecsSinceEpoch());
        record.state = HistoryFile::stateWord(rec.state);
        record.value = rec.value;
        PointBuffer &buffer = m_buffers[rec.aks];
        if (buffer.file != m_fileNumber) {
            buffer.file = m_fileNumber;
            buffer.atFileStart = buffer.records.size();
        }
        HistoryFile::appendRecord(buffer.records, record);
        m_bufferedBytes += HistoryFile::RecordSize;
    }
    if (m_bufferedBytes > MaxBufferedBytes)
        flushBuffers(false);
}

void ImportHandler::fileEnded(const SourceFile &file)
{
    if (!m_inFile)
        return;
    if (file.outcome == SourceFile::Outcome::Ok)
        m_counters.records += m_fileRecords;
    else
        takeBackFile();
    m_inFile = false;
}

// A file that failed leaves nothing: its buffered records and what it wrote to the temporary files go.
void ImportHandler::takeBackFile()
{
    m_ignored = m_ignoredBeforeFile;
    for (auto it = m_buffers.begin(); it != m_buffers.end();) {
        PointBuffer &buffer = it->second;
        if (buffer.file == m_fileNumber) {
            m_bufferedBytes -= buffer.records.size() - buffer.atFileStart;
            buffer.records.truncate(buffer.atFileStart);
        }
        it = buffer.records.isEmpty() ? m_buffers.erase(it) : std::next(it);
    }
    m_temp->takeBackUnit();
}

// Appends the buffered records to the temporary point files, in the order of the point names. While
// a source file is read, the records it gave are appended as its unit, after every record from
// before it (points whose safe names meet share a file, and a unit is cut back from its start).
void ImportHandler::flushBuffers(bool announce)
{
    const auto fileStart = [this](const PointBuffer &buffer) {
        return m_inFile && buffer.file == m_fileNumber ? buffer.atFileStart : buffer.records.size();
    };
    qint64 n = 0;
    for (auto &[name, buffer] : m_buffers) {
        if (announce)
            info(QStringLiteral("Storing temporary file %1").arg(++n));
        if (const qsizetype before = fileStart(buffer); before > 0)
            appendToTemporaryFile(name, buffer.records.first(before), false);
    }
    for (auto &[name, buffer] : m_buffers) {
        if (const qsizetype before = fileStart(buffer); before < buffer.records.size())
            appendToTemporaryFile(name, buffer.records.sliced(before), true);
    }
    m_buffers.clear();
    m_bufferedBytes = 0;
}

void ImportHandler::appendToTemporaryFile(const QString &name, const QByteArray &records, bool inUnit)
{
    if (m_temp->append(name, records, inUnit))
        return;
    const QString path = m_params.tempPath + HistoryFile::safeName(name) + QStringLiteral(".mitmp");
    LOG_OUT(Kyr::LogError, "Could not open temporary file %1").arg(path).endl();
    dropped(records.size() / HistoryFile::RecordSize, QStringLiteral("point ") + name, QStringLiteral("temporary file not written"));
}

void ImportHandler::processTemporaryFile(const TemporaryPointFiles::File &file)
{
    HistoryFile::ReadResult temp = HistoryFile::read(file.path);
    if (!temp.headerOk || temp.records.size() != file.records) {
        LOG_OUT(Kyr::LogError, "Could not open temporary file %1").arg(file.path).endl();
        dropped(file.records, QStringLiteral("point ") + file.pointName, QStringLiteral("temporary file not read back"));
        return;
    }
    m_stored += temp.records.size();
    HistoryFile::sortUnique(temp.records);
    if (m_params.directWrite) {
        // The temporary file's name carries the whole safe name; the header only its first 161 bytes.
        mergeIntoMonths(temp, QFileInfo(file.path).completeBaseName() + QStringLiteral(".hdbx"));
        return;
    }
    QString target = file.path;
    target.chop(int(qstrlen(".mitmp")));
    target += QStringLiteral(".hdbx");
    if (!HistoryFile::writeFile(target, temp.pointName, temp.records, 0, temp.records.size())) {
        LOG_OUT(Kyr::LogError, "Could not open output file %1").arg(target).endl();
        dropped(temp.records.size(), QStringLiteral("point ") + file.pointName, QStringLiteral("history file not written"));
    }
}

// Direct write: the existing month files are merged first, so that the imported values win. A
// month whose existing file is damaged is left out; every other month is written.
void ImportHandler::mergeIntoMonths(const HistoryFile::ReadResult &temp, const QString &fileName)
{
    QList<Orvane::DBData> merged;
    QSet<QString> skipped;
    for (const HistoryFile::MonthSlice &month : HistoryFile::splitByMonth(temp.records, Qt::LocalTime)) {
        if (!readExistingMonth(m_params.destination + month.folderName + u'/' + fileName, merged))
            skipped.insert(month.folderName);
    }
    merged.append(temp.records);
    HistoryFile::sortUnique(merged);
    for (const HistoryFile::MonthSlice &month : HistoryFile::splitByMonth(merged, Qt::LocalTime)) {
        if (skipped.contains(month.folderName))
            continue;
        const QString target = m_params.destination + month.folderName + u'/' + fileName;
        if (!HistoryFile::writeFile(target, temp.pointName, merged, month.begin, month.end)) {
            LOG_OUT(Kyr::LogError, "Could not open output file %1").arg(target).endl();
            dropped(month.end - month.begin, QStringLiteral("point ") + temp.pointName, QStringLiteral("history file not written"));
        }
    }
}

// Appends the records of an existing month file. A damaged one is set aside (rewriting it would
// lose what it holds) and counted as failed: false, its month is not written.
bool ImportHandler::readExistingMonth(const QString &target, QList<Orvane::DBData> &merged)
{
    const HistoryFile::ReadResult existing = HistoryFile::read(target);
    if (!existing.opened || existing.headerOk) {
        merged.append(existing.records);
        return true;
    }
    ++m_counters.failed;
    if (existing.tooLarge) {
        LOG_OUT(Kyr::LogError, "%1 is larger than %2 bytes").arg(target).arg(HistoryFile::MaxFileBytes).endl();
        return false;
    }
    LOG_OUT(Kyr::LogError, "Invalid file header on '%1'").arg(target).endl();
    if (!setAside(target))
        LOG_OUT(Kyr::LogError, "Could not set aside damaged file %1").arg(target).endl();
    return false;
}
