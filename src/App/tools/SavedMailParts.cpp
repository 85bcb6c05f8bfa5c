#include "tools/SavedMailParts.h"

#include "KyrLogger/LogExcerpt.h"
#include "KyrLogger/Logger.h"

SavedMailParts::SavedMailParts(const QString &mailLine, SourceFile &file, SourceHandler &handler)
    : m_mailLine(mailLine), m_file(file), m_handler(handler),
      m_sink([this](RecordSink::Batch &batch) { m_handler.records(m_file, batch); })
{
}

void SavedMailParts::failed(MimePartWalk::Failure failure, const QString &error, bool log)
{
    m_file.mailCode = SourceWalk::MailMultipartError;
    if (!log)
        return;
    if (failure == MimePartWalk::Failure::NestedTooDeep)
        LOG_OUT(Kyr::LogError, "%1 - %2").arg(Kyr::logExcerpt(m_mailLine)).arg(error).endl();
    else
        LOG_OUT(Kyr::LogError, "%1 - [multipart] Could not DecodeFromString(): %2").arg(Kyr::logExcerpt(m_mailLine)).arg(Kyr::logExcerpt(error)).endl();
}

RecordSink &SavedMailParts::attachmentSink(const QString &)
{
    m_handler.dataStarted(m_file);
    return m_sink;
}

// A refused attachment costs the file its result code; whether the records of the others are kept
// is the handler's choice.
void SavedMailParts::attachment(const QString &name, DataFileResult &read, bool log)
{
    m_handler.dataEnded(m_file, read.parsed);
    if (!read.parsed) {
        if (log)
            LOG_OUT(Kyr::LogError, "%1 - - Could not parse attachment %2: %3")
                .arg(Kyr::logExcerpt(m_mailLine)).arg(Kyr::logExcerpt(name)).arg(Kyr::logExcerpt(read.errorText)).endl();
        m_file.mailCode = SourceWalk::MailParseError;
    }
}
