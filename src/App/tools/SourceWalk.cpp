#include "tools/SourceWalk.h"

#include "tools/SavedMailParts.h"

#include "mail/MimePartWalk.h"
#include "parsing/DataFileReader.h"

#include "KyrLogger/LogExcerpt.h"
#include "KyrLogger/Logger.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString mailPrefix(SourceWalk::Tool tool)
{
    switch (tool) {
    case SourceWalk::Tool::Import: return QStringLiteral("Import EMail ");
    case SourceWalk::Tool::Search: return QStringLiteral("Search EMail ");
    case SourceWalk::Tool::Export: break;
    }
    return QStringLiteral("Export EMail ");
}

const char *openFailureText(SourceWalk::Tool tool)
{
    switch (tool) {
    case SourceWalk::Tool::Import: return "Could not open import file %1";
    case SourceWalk::Tool::Search: return "Could not open search file %1";
    case SourceWalk::Tool::Export: break;
    }
    return "Could not open file %1";
}

} // namespace

SourceWalk::SourceWalk(Tool tool, WalkCounters &counters, InfoSink info)
    : m_tool(tool), m_counters(counters), m_info(std::move(info))
{
}

void SourceWalk::walk(QString folder, SourceHandler &handler)
{
    folder.replace(u'\\', u'/');
    if (folder.isEmpty())
        return;
    QSet<QString> visited;
    walkFolder(folder, handler, visited);
}

void SourceWalk::walkFolder(const QString &folder, SourceHandler &handler, QSet<QString> &visited)
{
    // Each real folder once: a link back to a parent would otherwise walk for ever.
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty() || visited.contains(canonical))
        return;
    visited.insert(canonical);

    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Unsorted);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QFileInfo &entry = entries[i];
        if (!m_nameFilter.isEmpty() && !entry.fileName().contains(m_nameFilter)) {
            ++m_counters.skipped;
            continue;
        }
        if (entry.isDir()) {
            walkFolder(entry.absoluteFilePath(), handler, visited);
            continue;
        }
        const QString path = entry.absoluteFilePath();
        if (m_skip && m_skip(path)) {
            ++m_counters.skipped;
            continue;
        }
        const qint64 before = m_counters.files++;
        switch (m_tool) {
        case Tool::Import:
            if (before % 5 == 0)
                m_info(progressText(before, entries.size(), folder, path));
            break;
        case Tool::Search:
            m_info(progressText(m_counters.files, entries.size(), folder, path));
            break;
        case Tool::Export:
            m_info(progressText(i + 1, entries.size(), folder, path));
            break;
        }
        processFile(path, handler);
    }
}

QString SourceWalk::progressText(qint64 position, qsizetype entries, const QString &folder, const QString &path) const
{
    switch (m_tool) {
    case Tool::Import:
        return QStringLiteral("Importing file %1/%2 from %3").arg(position).arg(entries).arg(folder);
    case Tool::Search:
        return QStringLiteral("Searching file %1/%2 from %3").arg(position).arg(entries).arg(folder);
    case Tool::Export:
        break;
    }
    const QFileInfo info(path);
    return QStringLiteral("Processing file %1/%2 on folder '%3' - total files/values processed: %4/%5 - file: '%6' - size: %7 kB")
        .arg(position).arg(entries).arg(folder).arg(m_counters.files).arg(m_counters.records)
        .arg(info.fileName()).arg(info.size() / 1000);
}

// Log lines carry the path, the mail's and the parser's texts escaped and cut short (Kyr::logExcerpt):
// a file's name and bytes never break a line of the log.
void SourceWalk::processFile(const QString &path, SourceHandler &handler)
{
    SourceFile file;
    file.path = path;
    QFile in(path);
    if (in.size() > DataLimits::MaxUnpackedBytes || !in.open(QIODevice::ReadOnly)) {
        const QString logPath = Kyr::logExcerpt(path);
        LOG_OUT(Kyr::LogError, openFailureText(m_tool)).arg(logPath).endl();
        if (in.size() > DataLimits::MaxUnpackedBytes)
            LOG_OUT(Kyr::LogError, "%1: %2").arg(logPath).arg(DataFileReader::tooLargeText(DataLimits::MaxUnpackedBytes)).endl();
        file.outcome = SourceFile::Outcome::OpenFailed;
    } else if (path.toUpper().endsWith(QLatin1String(".EML"))) {
        processMail(in, file, handler);
    } else {
        processDataFile(in, file, handler);
    }
    if (file.outcome != SourceFile::Outcome::Ok)
        ++m_counters.failed;
    handler.fileEnded(file);
}

void SourceWalk::processMail(QFile &in, SourceFile &file, SourceHandler &handler)
{
    const QString logPath = Kyr::logExcerpt(file.path);
    file.isMail = true;
    MIME mime;
    mime.setMessage(in.readAll());
    if (mime.decodeFromString() != 0) {
        LOG_OUT(Kyr::LogWarning, "Could not DecodeFromString(): %1 (%2)").arg(Kyr::logExcerpt(mime.lastError())).arg(logPath).endl();
        file.outcome = SourceFile::Outcome::DecodeFailed;
        file.errorText = mime.lastError();
        return;
    }
    file.mailHeaders = mime.messageHeaders();
    handler.fileStarted(file);
    const QString mailLine = mailPrefix(m_tool) + logPath;
    SavedMailParts parts(mailLine, file, handler);
    MimePartWalk walk(mailLine, parts);
    walk.walk(mime);
    if (file.mailCode != 0) {
        file.outcome = SourceFile::Outcome::MailError;
    } else if (!walk.attachmentFound()) {
        LOG_OUT(Kyr::LogError, "%1 - No file attachment (%2)").arg(mailLine).arg(logPath).endl();
        file.outcome = SourceFile::Outcome::NoAttachment;
    }
}

void SourceWalk::processDataFile(QFile &in, SourceFile &file, SourceHandler &handler)
{
    const QString logPath = Kyr::logExcerpt(file.path);
    DataFileInput input;
    input.name = file.path;
    input.device = &in;
    handler.fileStarted(file);
    handler.dataStarted(file);
    m_records.setConsumer([&](RecordSink::Batch &batch) { handler.records(file, batch); });
    const DataFileResult result = DataFileReader::read(input, m_records);
    if (result.gunzipFailed)
        LOG_OUT(Kyr::LogWarning, "Could not gunzip file on %1").arg(logPath).endl();
    if (result.gunzipTrailingData)
        LOG_OUT(Kyr::LogWarning, "Data after the last gzip member of file %1 left out").arg(logPath).endl();
    handler.dataEnded(file, result.parsed);
    if (!result.parsed) {
        LOG_OUT(Kyr::LogError, "Could not parse file on %1: %2").arg(logPath).arg(Kyr::logExcerpt(result.errorText)).endl();
        file.outcome = SourceFile::Outcome::ParseFailed;
        file.errorText = result.errorText;
    }
}
