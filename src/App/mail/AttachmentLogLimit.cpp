#include "mail/AttachmentLogLimit.h"

#include "KyrLogger/LogExcerpt.h"
#include "KyrLogger/Logger.h"

namespace {

const char *kindText(int kind)
{
    static constexpr const char *texts[] = {
        "Could not gunzip attachment", "Data after the last gzip member", "Could not get text codec",
        "Could not get text codec for utf text", "Could not parse attachment", "[multipart] Could not DecodeFromString()",
    };
    return texts[kind];
}

} // namespace

bool AttachmentLogLimit::allows(Kind kind)
{
    return ++m_counts[size_t(kind)] <= MaxLinesPerKind;
}

void AttachmentLogLimit::logLeftOut(const QString &mailLine) const
{
    for (int kind = 0; kind < KindCount; ++kind) {
        if (m_counts[size_t(kind)] > MaxLinesPerKind)
            LOG_OUT(Kyr::LogError, "%1 - %2 more lines of '%3' not logged")
                .arg(Kyr::logExcerpt(mailLine)).arg(m_counts[size_t(kind)] - MaxLinesPerKind).arg(QString::fromLatin1(kindText(kind))).endl();
    }
}
