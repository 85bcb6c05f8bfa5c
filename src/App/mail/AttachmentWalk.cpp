#include "mail/AttachmentWalk.h"

#include "mail/MailOutcome.h"

#include "dms/DmsHandler.h"
#include "parsing/DataFileReader.h"

#include "MailSecurity/MIME.h"

#include <QElapsedTimer>


namespace {

QString partInfo(const MIME &mime, int level, int index)
{
    const auto line = [](const char *label, const QString &value) {
        return QLatin1String(label) + value + QStringLiteral("\r\n");
    };
    QString text = QStringLiteral("\r\n--- BodyPart %1-%2\r\n").arg(level).arg(index);
    text += line(" ContentId:", mime.partContentId(index));
    text += line(" ContentType:", mime.partContentType(index));
    text += line(" ContentTypeAttr:", mime.partContentTypeAttr(index));
    text += line(" ContentDisposition:", mime.partContentDisposition(index));
    text += line(" ContentDispositionAttr:", mime.partContentDispositionAttr(index));
    text += line(" Encoding:", mime.partEncoding(index));
    text += line(" Headers:", QString::fromLatin1(mime.partHeaders(index)));
    text += line(" Name:", mime.partName(index));
    text += line(" Filename:", mime.partFilename(index));
    text += line(" Size:", QString::number(mime.partSize(index)));
    return text;
}

} // namespace

AttachmentWalk::AttachmentWalk(MailOutcome &outcome, DmsHandler *dms, AttachmentReport report)
    : m_outcome(outcome), m_dms(dms), m_report(std::move(report))
{
}

void AttachmentWalk::run(const QByteArray &headers, const QByteArray &text)
{
    MIME mime;
    mime.setMessageHeadersString(headers);
    mime.setMessage(text);
    if (mime.decodeFromString() != 0) {
        m_outcome.fail(QStringLiteral(" - Could not DecodeFromString():") + mime.lastError());
        return;
    }
    if (m_outcome.withInfo) {
        m_outcome.info += QStringLiteral("\r\n--- MIME\r\n ContentType:") + mime.contentType()
                          + QStringLiteral("\r\n ContentTypeAttr:") + mime.contentTypeAttr()
                          + QStringLiteral("\r\n PartCount:") + QString::number(mime.partCount()) + QStringLiteral("\r\n");
    }
    MimePartWalk walk(m_outcome.mailLine, *this);
    walk.walk(mime);
    m_parseNs += walk.readNs();
    m_outcome.attachmentFound = walk.attachmentFound();
    if (m_outcome.ok() && !m_outcome.attachmentFound)
        m_outcome.fail(QStringLiteral(" - has no file attachement"));
}

void AttachmentWalk::part(const MIME &mime, int level, int index)
{
    if (m_outcome.withInfo)
        m_outcome.info += partInfo(mime, level, index);
}

void AttachmentWalk::failed(MimePartWalk::Failure failure, const QString &error, bool log)
{
    if (failure == MimePartWalk::Failure::NestedTooDeep)
        m_outcome.fail(QStringLiteral(" - ") + error, log);
    else
        m_outcome.fail(QStringLiteral(" - [multipart] Could not DecodeFromString():") + error, log);
}

RecordSink &AttachmentWalk::attachmentSink(const QString &)
{
    m_held.clear();
    return m_records;
}

void AttachmentWalk::attachment(const QString &name, DataFileResult &read, bool log)
{
    if (!read.parsed) {
        m_outcome.fail(QStringLiteral(" - Could not parse attachment ") + name + QStringLiteral(": ") + read.errorText, log);
    } else {
        if (m_outcome.withInfo)
            m_outcome.info += QStringLiteral("\r\n === Values processed:%1\r\n").arg(m_held.size());
        if (!m_dms)
            m_outcome.fail(QStringLiteral(" - DMS not found"));
        else
            handOver();
    }
    if (m_report)
        m_report(m_outcome.info, QString::fromUtf8(read.data), m_outcome.result);
}

// Oldest first; values of the same time in the attachment's order.
void AttachmentWalk::handOver()
{
    QElapsedTimer clock;
    clock.start();
    m_held.sortByTime();
    for (qsizetype i = 0; i < m_held.size(); ++i)
        m_dms->addMailValue(m_held.at(i));
    m_values += m_held.size();
    m_held.clear();
    m_handOverNs += clock.nsecsElapsed();
}
