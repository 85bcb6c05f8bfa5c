#include "mail/MimePartWalk.h"

#include "mail/MailLimits.h"

#include "KyrLogger/LogExcerpt.h"
#include "KyrLogger/Logger.h"
#include "MailSecurity/MIME.h"

#include <QElapsedTimer>

namespace {

// Signatures and envelopes travel as parts too; they carry no data, nor does a part without a name.
bool isSkipped(const QString &name)
{
    return name.isEmpty() || name.contains(QLatin1String(".p7s"), Qt::CaseInsensitive)
           || name.compare(QLatin1String("smime.p7m"), Qt::CaseInsensitive) == 0;
}

} // namespace

MimePartWalk::MimePartWalk(const QString &mailLine, Visitor &visitor) : m_mailLine(mailLine), m_visitor(visitor)
{
}

void MimePartWalk::walk(const MIME &mime)
{
    walkLevel(mime, 0);
    m_logLimit.logLeftOut(m_mailLine);
}

void MimePartWalk::walkLevel(const MIME &mime, int level)
{
    for (int i = 0; i < mime.partCount(); ++i) {
        m_visitor.part(mime, level, i);
        if (mime.partContentType(i).startsWith(QLatin1String("multipart"), Qt::CaseInsensitive)) {
            walkNested(mime, i, level + 1);
            continue;
        }
        QString name = mime.partFilename(i);
        if (name.isEmpty())
            name = mime.partName(i);
        if (!isSkipped(name))
            readAttachment(mime, i, name);
    }
}

// A nested multipart is decoded from its headers and content and walked at the next level. One that
// does not decode fails the mail, except "multipart/related" (the body of an HTML mail: text and
// pictures, never data files), which is passed over without notice.
void MimePartWalk::walkNested(const MIME &mime, int index, int level)
{
    if (level > MailLimits::MaxMimeDepth) {
        m_visitor.failed(Failure::NestedTooDeep, QStringLiteral("MIME parts nested deeper than %1 levels").arg(MailLimits::MaxMimeDepth),
                         m_logLimit.allows(AttachmentLogLimit::Kind::Multipart));
        return;
    }
    MIME nested;
    nested.setMessageHeadersString(mime.partHeaders(index));
    nested.setMessage(mime.partDecodedContent(index));
    if (nested.decodeFromString() == 0)
        walkLevel(nested, level);
    else if (mime.partContentType(index).compare(QLatin1String("multipart/related"), Qt::CaseInsensitive) != 0)
        m_visitor.failed(Failure::MultipartNotDecoded, nested.lastError(), m_logLimit.allows(AttachmentLogLimit::Kind::Multipart));
}

void MimePartWalk::readAttachment(const MIME &mime, int index, const QString &name)
{
    m_attachmentFound = true;
    QElapsedTimer clock;
    clock.start();
    DataFileInput input;
    input.name = name;
    input.bytes = mime.partDecodedContent(index);
    input.convertCharset = true;
    input.charsetName = DataFileReader::charsetFromAttributes(mime.partContentTypeAttr(index));
    input.parserFileName = name;
    DataFileResult read = DataFileReader::read(input, m_visitor.attachmentSink(name));
    m_readNs += clock.nsecsElapsed();

    logRoadWarnings(name, read);
    m_visitor.attachment(name, read, read.parsed || m_logLimit.allows(AttachmentLogLimit::Kind::Parse));
}

void MimePartWalk::logRoadWarnings(const QString &name, const DataFileResult &read)
{
    using Kind = AttachmentLogLimit::Kind;
    const QString mailLine = Kyr::logExcerpt(m_mailLine);
    if (read.gunzipFailed && m_logLimit.allows(Kind::Gunzip))
        LOG_OUT(Kyr::LogWarning, "%1 - - Could not gunzip attachment %2").arg(mailLine).arg(Kyr::logExcerpt(name)).endl();
    if (read.gunzipTrailingData && m_logLimit.allows(Kind::GunzipTrailing))
        LOG_OUT(Kyr::LogWarning, "%1 - - Data after the last gzip member of attachment %2 left out")
            .arg(mailLine).arg(Kyr::logExcerpt(name)).endl();
    if (read.codecMissing && m_logLimit.allows(Kind::Codec))
        LOG_OUT(Kyr::LogWarning, "%1 - Could not get text codec for '%2' (%3)")
            .arg(mailLine).arg(Kyr::logExcerpt(read.codecName)).arg(Kyr::logExcerpt(name)).endl();
    if (read.utfCodecMissing && m_logLimit.allows(Kind::UtfCodec))
        LOG_OUT(Kyr::LogWarning, "%1 - Could not get text codec for utf text '%2' (%3)")
            .arg(mailLine).arg(Kyr::logExcerpt(read.codecName)).arg(Kyr::logExcerpt(name)).endl();
}
