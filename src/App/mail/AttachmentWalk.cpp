#include "mail/AttachmentWalk.h"

#include "mail/MailLimits.h"
#include "mail/MailOutcome.h"

#include "dms/DmsHandler.h"
#include "parsing/DataFileReader.h"

#include "MailSecurity/MIME.h"

#include <QElapsedTimer>

#include <algorithm>

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

// Signatures and envelopes travel as parts too; they carry no data.
bool isSkipped(const QString &name)
{
    return name.isEmpty() || name.contains(QLatin1String(".p7s"), Qt::CaseInsensitive)
           || name.compare(QLatin1String("smime.p7m"), Qt::CaseInsensitive) == 0;
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
    walk(mime, 0);
    if (m_outcome.ok() && !m_outcome.attachmentFound)
        m_outcome.fail(QStringLiteral(" - has no file attachement"));
}

void AttachmentWalk::walk(const MIME &mime, int level)
{
    if (level > MailLimits::MaxMimeDepth) {
        m_outcome.fail(QStringLiteral(" - MIME parts nested deeper than %1 levels").arg(MailLimits::MaxMimeDepth));
        return;
    }
    for (int i = 0; i < mime.partCount(); ++i) {
        QString name = mime.partFilename(i);
        if (name.isEmpty())
            name = mime.partName(i);
        if (m_outcome.withInfo)
            m_outcome.info += partInfo(mime, level, i);
        const QString type = mime.partContentType(i).toLower();
        if (type.startsWith(QLatin1String("multipart"))) {
            MIME nested;
            nested.setMessageHeadersString(mime.partHeaders(i));
            nested.setMessage(mime.partDecodedContent(i));
            if (nested.decodeFromString() == 0)
                walk(nested, level + 1);
            else if (type != QLatin1String("multipart/related"))
                m_outcome.fail(QStringLiteral(" - [multipart] Could not DecodeFromString():") + nested.lastError());
            continue;
        }
        if (isSkipped(name))
            continue;
        takeAttachment(mime, i, name);
    }
}

void AttachmentWalk::takeAttachment(const MIME &mime, int index, const QString &name)
{
    m_outcome.attachmentFound = true;
    QElapsedTimer clock;
    clock.start();
    DataFileInput input;
    input.name = name;
    input.bytes = mime.partDecodedContent(index);
    input.convertCharset = true;
    input.charsetName = DataFileReader::charsetFromAttributes(mime.partContentTypeAttr(index));
    input.parserFileName = name;
    DataFileResult read = DataFileReader::read(input);
    m_parseNs += clock.nsecsElapsed();

    if (read.gunzipFailed)
        LOG_OUT(Kyr::LogWarning, "%1 - - Could not gunzip attachment %2").arg(m_outcome.mailLine).arg(name).endl();
    if (read.codecMissing)
        LOG_OUT(Kyr::LogWarning, "%1 - Could not get text codec for '%2' (%3)")
            .arg(m_outcome.mailLine)
            .arg(read.codecName).arg(name).endl();
    if (read.utfCodecMissing)
        LOG_OUT(Kyr::LogWarning, "%1 - Could not get text codec for utf text '%2' (%3)")
            .arg(m_outcome.mailLine)
            .arg(read.codecName).arg(name).endl();

    if (!read.parsed) {
        m_outcome.fail(QStringLiteral(" - Could not parse attachment ") + name + QStringLiteral(": ") + read.errorText);
    } else {
        if (m_outcome.withInfo)
            m_outcome.info += QStringLiteral("\r\n === Values processed:%1\r\n").arg(read.records.size());
        if (!m_dms)
            m_outcome.fail(QStringLiteral(" - DMS not found"));
        else
            handOver(std::move(read.records));
    }
    if (m_report)
        m_report(m_outcome.info, QString::fromUtf8(read.data), m_outcome.result);
}

void AttachmentWalk::handOver(QList<DataParser::ValueRec> records)
{
    QElapsedTimer clock;
    clock.start();
    std::stable_sort(records.begin(), records.end(),
                     [](const DataParser::ValueRec &a, const DataParser::ValueRec &b) { return a.timestamp < b.timestamp; });
    for (const DataParser::ValueRec &record : std::as_const(records))
        m_dms->addMailValue(record);
    m_values += records.size();
    m_handOverNs += clock.nsecsElapsed();
}
