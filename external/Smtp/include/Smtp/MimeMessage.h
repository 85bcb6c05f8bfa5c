#pragma once

#include "Smtp/EmailAddress.h"
#include "Smtp/MimePart.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// A mail to be sent: sender, recipients, subject, further header lines and its parts. toMime()
// writes it as MIME (GMime): a single part stands alone, several go into multipart/mixed.
class MimeMessage
{
public:
    enum RecipientType { To, Cc, Bcc };

    void setSender(const EmailAddress &sender) { m_sender = sender; }
    EmailAddress sender() const { return m_sender; }
    void addRecipient(const EmailAddress &address, RecipientType type = To);
    // Every recipient of the envelope (To, Cc and Bcc).
    QList<EmailAddress> recipients() const;
    void setSubject(const QString &subject) { m_subject = subject; }
    QString subject() const { return m_subject; }
    // A further header line of the mail, "Name: value" (for example a Message-ID).
    void addHeaderLine(const QString &line) { m_headerLines.append(line); }
    // Parts are copied; a MimeText keeps its settings.
    void addPart(const MimePart &part) { m_parts.append(part); }

    QByteArray toMime() const;

private:
    EmailAddress m_sender;
    QList<EmailAddress> m_to;
    QList<EmailAddress> m_cc;
    QList<EmailAddress> m_bcc;
    QString m_subject;
    QStringList m_headerLines;
    QList<MimePart> m_parts;
};
