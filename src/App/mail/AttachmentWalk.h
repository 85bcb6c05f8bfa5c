#pragma once
// The MIME side of one mail at the intake: decodes the (decrypted) message, walks its parts with
// MimePartWalk (the walk the offline tools share), and hands the records of every attachment,
// oldest first, to the DMS handler. The intake's own words: a failing part fails the mail with the
// mail line + " - [multipart] Could not DecodeFromString():" + error or + " - Could not parse
// attachment " + name + ": " + error; the mail monitor gets the part lines and a report per
// attachment.

#include "mail/MimePartWalk.h"
#include "parsing/DataParser.h"
#include "parsing/HeldRecords.h"

#include <QByteArray>
#include <QString>

#include <functional>

class DmsHandler;
class MIME;
struct MailOutcome;

class AttachmentWalk : private MimePartWalk::Visitor
{
public:
    // Receives (info text, attachment data as text, result text) after each attachment; only
    // given while the mail monitor listens.
    using AttachmentReport = std::function<void(const QString &, const QString &, const QString &)>;

    AttachmentWalk(MailOutcome &outcome, DmsHandler *dms, AttachmentReport report);

    // Decodes the message and walks it; sets the outcome's result on failure and when the mail
    // has no attachment.
    void run(const QByteArray &headers, const QByteArray &text);

    // Values handed over so far, and the time spent parsing and handing over (nanoseconds).
    qint64 valueCount() const { return m_values; }
    qint64 parseNs() const { return m_parseNs; }
    qint64 handOverNs() const { return m_handOverNs; }

private:
    void part(const MIME &mime, int level, int index) override;
    void failed(MimePartWalk::Failure failure, const QString &error, bool log) override;
    RecordSink &attachmentSink(const QString &name) override;
    void attachment(const QString &name, DataFileResult &read, bool log) override;
    void handOver();

    MailOutcome &m_outcome;
    DmsHandler *m_dms;
    AttachmentReport m_report;
    // The attachment's records, held compactly until it has parsed whole.
    HeldRecords m_held;
    RecordSink m_records{[this](RecordSink::Batch &batch) { m_held.append(batch); }};
    qint64 m_values = 0;
    qint64 m_parseNs = 0;
    qint64 m_handOverNs = 0;
};
