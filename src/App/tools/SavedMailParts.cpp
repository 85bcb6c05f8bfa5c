#include "tools/SavedMailParts.h"

#include "KyrLogger/LogExcerpt.h"
#include "KyrLogger/Logger.h"

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

// A refused attachment costs the file its result code; the records of the others are kept.
void SavedMailParts::attachment(const QString &name, DataFileResult &read, bool log)
{
    if (!read.parsed) {
        if (log)
            LOG_OUT(Kyr::LogError, "%1 - - Could not parse attachment %2: %3")
                .arg(Kyr::logExcerpt(m_mailLine)).arg(Kyr::logExcerpt(name)).arg(Kyr::logExcerpt(read.errorText)).endl();
        m_file.mailCode = SourceWalk::MailParseError;
        return;
    }
    m_file.records.append(std::move(read.records));
}
