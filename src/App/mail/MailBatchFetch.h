#pragma once
// Fetches the mails of a check many per command: the mails, in the order the check handles them,
// are fetched in batches (information, headers and text of a batch in one round trip instead of
// three round trips per mail). A batch holds at most MaxBatchMails mails and, by their listed
// sizes, at most MaxBatchBytes bytes (a larger mail goes alone), so the bytes of mails held at
// once stay bounded; each batch is asked for while the one before is handled, so the server
// prepares it meanwhile. A mail larger than the mail bound is in no batch: only its information and
// headers are fetched. A mail its batch did not bring (the server refused the command or left the
// mail out) is fetched on its own.

#include "MailSecurity/SIMAP.h"

#include <QHash>
#include <QList>

class MailBatchFetch
{
public:
    static constexpr int MaxBatchMails = 100;
    static constexpr qint64 MaxBatchBytes = 16 * 1024 * 1024;

    // ordered: the message numbers in the order of handling; list: the check's message list.
    MailBatchFetch(SIMAP &imap, const QList<qint64> &ordered, const QList<SIMAPMessageInfo> &list);

    // Makes the mail at this position of the order the session's current message; false when it
    // is larger than the mail bound and its text was not fetched.
    bool fetch(qsizetype position);

private:
    // The message set of the batch starting at the position, and the position after it.
    QString batchFrom(qsizetype position, qsizetype *end) const;
    void fetchBatchFrom(qsizetype position);
    bool fetchAlone(qint64 number);

    SIMAP &m_imap;
    const QList<qint64> m_ordered;
    QHash<qint64, qint64> m_listedSizes;
    QHash<qint64, SIMAPMessage> m_batch;  // fetched mails of the current batch, by message number
    qsizetype m_batchEnd = 0;             // position after the current batch
};
