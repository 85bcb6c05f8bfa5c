#pragma once
// The MIME side of one mail: decodes the (decrypted) message, walks its parts and nested
// multiparts, takes every file attachment through DataFileReader (gunzip by name, character set,
// parsing) and hands the records, oldest first, to the DMS handler.

#include "parsing/DataParser.h"

#include <QByteArray>
#include <QString>

#include <functional>

class DmsHandler;
class MIME;
struct MailOutcome;

class AttachmentWalk
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
    void walk(const MIME &mime, int level);
    void takeAttachment(const MIME &mime, int index, const QString &name);
    void handOver(QList<DataParser::ValueRec> records);

    MailOutcome &m_outcome;
    DmsHandler *m_dms;
    AttachmentReport m_report;
    qint64 m_values = 0;
    qint64 m_parseNs = 0;
    qint64 m_handOverNs = 0;
};
