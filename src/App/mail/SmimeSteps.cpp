#include "mail/SmimeSteps.h"

#include "mail/MailInfoText.h"
#include "mail/MailOutcome.h"
#include "mail/TrustedSigners.h"

#include "MailSecurity/SIMAP.h"

namespace {

// Empty when a signature check (its return code) succeeded with a trusted signer, else why not.
QString signatureFailure(const SIMAP &imap, int code, const TrustedSigners &signers)
{
    if (code != 0)
        return imap.lastError();
    return signers.refusal(imap.signerCertEncoded(), imap.signerCertSubject());
}

// Checks the signature of the current message; the message becomes the signed content.
void verify(SIMAP &imap, const TrustedSigners &signers, MailOutcome &outcome, const char *which)
{
    const QString failure = signatureFailure(imap, imap.verifySignature(), signers);
    if (outcome.withInfo)
        outcome.info += MailInfoText::signatureBlock(imap);
    if (failure.isEmpty()) {
        if (outcome.withInfo)
            outcome.info += QStringLiteral("\r\n == %1 Signature is OK! ==\r\n").arg(QLatin1String(which));
        return;
    }
    outcome.fail(QStringLiteral(" - Could not VerifySignature() (%1):").arg(QString::fromLatin1(which).toLower()) + failure);
    if (outcome.withInfo)
        outcome.info += QStringLiteral("\r\n") + outcome.result + QStringLiteral("\r\n");
}

} // namespace

void SmimeSteps::run(SIMAP &imap, const MailConfig &config, const TrustedSigners &signers, MailOutcome &outcome)
{
    if (config.verifySignature && imap.messageSigned())
        verify(imap, signers, outcome, "Outer");

    if (!imap.messageEncrypted() && !imap.messageContentType().contains(QLatin1String("pkcs7-mime")))
        return;
    outcome.encrypted = true;
    const int oneStep = imap.decryptAndVerifySignature();
    if (oneStep == 0) {
        outcome.signedAndDecrypted = true;
        if (outcome.withInfo)
            outcome.info += MailInfoText::signatureBlock(imap);
        const QString refusal = signers.refusal(imap.signerCertEncoded(), imap.signerCertSubject());
        if (!refusal.isEmpty())
            outcome.fail(QStringLiteral(" - Could not VerifySignature() (inner):") + refusal);
        else if (outcome.withInfo)
            outcome.info += QStringLiteral("\r\n == Decrypt and verify signature is OK! ==\r\n");
    } else if (imap.decrypt() == 0) {
        if (outcome.withInfo)
            outcome.info += QStringLiteral("\r\n == Decrypt is OK! ==\r\n");
    } else {
        outcome.fail(QStringLiteral(" - Could not Decrypt():") + imap.lastError());
    }
    if (outcome.withInfo) {
        outcome.info += QStringLiteral("\r\n After decrypt:\r\n") + QStringLiteral("  ContentType:")
                        + imap.messageContentType() + QStringLiteral("\r\n  Encrypted:")
                        + QString::number(imap.messageEncrypted() ? 1 : 0) + QStringLiteral("\r\n  Signed:")
                        + QString::number(imap.messageSigned() ? 1 : 0) + QStringLiteral("\r\n");
    }
    if (outcome.ok() && config.verifySignature && imap.messageSigned() && !outcome.signedAndDecrypted)
        verify(imap, signers, outcome, "Inner");
}
