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
    return true;
}

void MailBatchFetch::fetchBatchFrom(qsizetype position)
{
    m_batch.clear();
    QStringList numbers;
    qint64 bytes = 0;
    qsizetype end = position;
    for (; end < m_ordered.size() && numbers.size() < MaxBatchMails; ++end) {
        const qint64 number = m_ordered.at(end);
        const qint64 size = m_listedSizes.value(number);
        if (size > MailLimits::MaxMailBytes || (!numbers.isEmpty() && bytes + size > MaxBatchBytes))
            break;
        numbers << QString::number(number);
        bytes += size;
    }
    // A mail above the mail bound at the front is fetched alone.
    m_batchEnd = qMax(end, position + 1);
    if (numbers.isEmpty())
        return;
    m_imap.setMessageSet(numbers.join(u','));
    if (m_imap.fetchMessages() != 0) {
        if (m_imap.connected())
            LOG_OUT(Kyr::LogWarning, "Could not fetch %1 mails in one command, fetching them one by one: %2")
                .arg(numbers.size())
                .arg(m_imap.lastError())
                .endl();
        return;
    }
    for (SIMAPMessage &message : m_imap.takeFetchedMessages())
        m_batch.insert(message.info.number, std::move(message));
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
