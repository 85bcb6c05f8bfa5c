#include "tools/SavedMailParts.h"

#include "KyrLogger/Logger.h"

void SavedMailParts::failed(MimePartWalk::Failure failure, const QString &error)
{
    if (failure == MimePartWalk::Failure::NestedTooDeep)
        LOG_OUT(Kyr::LogError, "%1 - %2").arg(m_mailLine).arg(error).endl();
    else
        LOG_OUT(Kyr::LogError, "%1 - [multipart] Could not DecodeFromString(): %2").arg(m_mailLine).arg(error).endl();
    m_file.mailCode = SourceWalk::MailMultipartError;
}

// A refused attachment costs the file its result code; the records of the others are kept.
void SavedMailParts::attachment(const QString &name, DataFileResult &read)
{
    if (!read.parsed) {
        LOG_OUT(Kyr::LogError, "%1 - - Could not parse attachment %2: %3").arg(m_mailLine).arg(name).arg(read.errorText).endl();
        m_file.mailCode = SourceWalk::MailParseError;
        return;
    }
    m_file.records.append(std::move(read.records));
}
