#include "mail/MailInfoText.h"

#include "MailSecurity/CertMgr.h"
#include "MailSecurity/SIMAP.h"

namespace {

QString line(const char *label, const QString &value)
{
    return QLatin1String(label) + value + QStringLiteral("\r\n");
}

QString line(const char *label, qint64 value)
{
    return line(label, QString::number(value));
}

} // namespace

QString MailInfoText::mailBlock(const SIMAP &imap)
{
    QString text = QStringLiteral("\r\n EMail informations:\r\n");
    text += line("  Id:", imap.messageId());
    text += line("  Subject:", imap.messageSubject());
    text += line("  NetId:", imap.messageNetId());
    text += line("  From:", imap.messageFrom());
    text += line("  Sender:", imap.messageSender());
    text += line("  InReplyTo:", imap.messageInReplyTo());
    text += line("  ReplyTo:", imap.messageReplyTo());
    const QList<MIME::Address> recipients = imap.messageRecipients();
    text += line("  RecipientCount:", recipients.size());
    for (const MIME::Address &recipient : recipients)
        text += QStringLiteral("   Address:") + recipient.address + QStringLiteral(" / Name:") + recipient.name + QStringLiteral("\r\n");
    text += line("  ContentType:", imap.messageContentType());
    text += line("  ContentEncoding:", imap.messageContentEncoding());
    text += line("  Date:", imap.messageDate());
    text += line("  DeliveryTime:", imap.messageDeliveryTime());
    text += QStringLiteral("\r\n Internal informations:\r\n");
    text += line("  Encrypted:", imap.messageEncrypted() ? 1 : 0);
    text += line("  Signed:", imap.messageSigned() ? 1 : 0);
    text += line("  PartCount:", imap.messagePartCount());
    text += line("  Size:", imap.messageSize());
    text += line("  Flags:", imap.messageFlags());
    const QList<MIME::Header> headers = imap.messageHeaders();
    text += line("  MessageHeaderCount:", headers.size());
    for (const MIME::Header &header : headers)
        text += QStringLiteral("   ") + header.first + QStringLiteral(" = ") + header.second + QStringLiteral("\r\n");
    return text;
}

QString MailInfoText::signatureBlock(const SIMAP &imap)
{
    QString text = QStringLiteral("\r\n Signature informations:\r\n");
    text += line("  SignerCertIssuer:", imap.signerCertIssuer());
    text += line("  SignerCertSubject:", imap.signerCertSubject());
    text += line("  SignerCertSerialNumber:", imap.signerCertSerialNumber());
    text += line("  SigningAlgorithm:", imap.signingAlgorithm());
    CertMgr cert;
    cert.setCertEncoded(imap.signerCertEncoded());
    text += line("  CertSubject:", cert.certSubject());
    text += line("  CertEffectiveDate:", cert.certEffectiveDate());
    text += line("  CertExpirationDate:", cert.certExpirationDate());
    text += line("  CertExtendedKeyUsage:", cert.certExtendedKeyUsage());
    text += line("  CertPublicKeyAlgorithm:", cert.certPublicKeyAlgorithm());
    text += line("  CertSignatureAlgorithm:", cert.certSignatureAlgorithm());
    text += line("  CertSubjectAltNames:", cert.certSubjectAltNames());
    text += line("  CertUsage:", cert.certUsage());
    text += line("  CertVersion:", cert.certVersion());
    return text;
}
