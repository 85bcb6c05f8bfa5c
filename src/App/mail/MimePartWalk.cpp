#include "mail/MimePartWalk.h"

#include "mail/MailLimits.h"

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
        m_visitor.failed(Failure::NestedTooDeep,
                         QStringLiteral("MIME parts nested deeper than %1 levels").arg(MailLimits::MaxMimeDepth));
        return;
    }
    MIME nested;
    nested.setMessageHeadersString(mime.partHeaders(index));
    nested.setMessage(mime.partDecodedContent(index));
    if (nested.decodeFromString() == 0)
        walkLevel(nested, level);
    else if (mime.partContentType(index).compare(QLatin1String("multipart/related"), Qt::CaseInsensitive) != 0)
        m_visitor.failed(Failure::MultipartNotDecoded, nested.lastError());
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
    DataFileResult read = DataFileReader::read(input);
    m_readNs += clock.nsecsElapsed();

    if (read.gunzipFailed)
        LOG_OUT(Kyr::LogWarning, "%1 - - Could not gunzip attachment %2").arg(m_mailLine).arg(name).endl();
    if (read.codecMissing)
        LOG_OUT(Kyr::LogWarning, "%1 - Could not get text codec for '%2' (%3)").arg(m_mailLine).arg(read.codecName).arg(name).endl();
    if (read.utfCodecMissing)
        LOG_OUT(Kyr::LogWarning, "%1 - Could not get text codec for utf text '%2' (%3)")
            .arg(m_mailLine).arg(read.codecName).arg(name).endl();
    m_visitor.attachment(name, read);
}
