#include "mail/MailBatchFetch.h"

#include "mail/MailLimits.h"

#include "KyrLogger/Logger.h"

MailBatchFetch::MailBatchFetch(SIMAP &imap, const QList<qint64> &ordered, const QList<SIMAPMessageInfo> &list)
    : m_imap(imap), m_ordered(ordered)
{
    for (const SIMAPMessageInfo &info : list)
        m_listedSizes.insert(info.number, info.size);
}

bool MailBatchFetch::fetch(qsizetype position)
{
    if (position >= m_batchEnd)
        fetchBatchFrom(position);
    const qint64 number = m_ordered.at(position);
    const auto found = m_batch.find(number);
    if (found == m_batch.end())
        return fetchAlone(number);
    m_imap.setCurrentMessage(std::move(*found));
    m_batch.erase(found);
    // Fetched earlier, the mail tells nothing of the connection: a session lost meanwhile ends
    // the check here, as a failed fetch would.
    m_imap.checkConnection();
    return true;
}

QString MailBatchFetch::batchFrom(qsizetype position, qsizetype *end) const
{
    QStringList numbers;
    qint64 bytes = 0;
    qsizetype next = position;
    for (; next < m_ordered.size() && numbers.size() < MaxBatchMails; ++next) {
        const qint64 number = m_ordered.at(next);
        const qint64 size = m_listedSizes.value(number);
        if (size > MailLimits::MaxMailBytes || (!numbers.isEmpty() && bytes + size > MaxBatchBytes))
            break;
        numbers << QString::number(number);
        bytes += size;
    }
    // A mail above the mail bound at the front makes a batch of its own, fetched alone.
    *end = qMax(next, position + 1);
    return numbers.join(u',');
}

void MailBatchFetch::fetchBatchFrom(qsizetype position)
{
    m_batch.clear();
    const QString set = batchFrom(position, &m_batchEnd);
    if (set.isEmpty())
        return;
    m_imap.setMessageSet(set);
    if (m_imap.fetchMessages() != 0) {
        if (m_imap.connected())
            LOG_OUT(Kyr::LogWarning, "Could not fetch the mails %1 in one command, fetching them one by one: %2")
                .arg(set)
                .arg(m_imap.lastError())
                .endl();
        return;
    }
    for (SIMAPMessage &message : m_imap.takeFetchedMessages())
        m_batch.insert(message.info.number, std::move(message));
    // The next batch is asked for now, so that the server prepares it while this one is handled.
    qsizetype nextEnd = 0;
    if (const QString next = batchFrom(m_batchEnd, &nextEnd); !next.isEmpty())
        m_imap.sendFetchMessages(next);
}

bool MailBatchFetch::fetchAlone(qint64 number)
{
    m_imap.setMessageText(QString());
    m_imap.setMessageHeadersString(QString());
    m_imap.setMessageSet(QString::number(number));
    m_imap.fetchMessageInfo();
    const bool tooLarge = m_imap.messageSize() > MailLimits::MaxMailBytes;
    m_imap.fetchMessageHeaders();
    if (!tooLarge)
        m_imap.fetchMessageText();
    return !tooLarge;
}
