#pragma once
// The security steps of one fetched mail, in their order: the outer signature, the decryption
// (with the signature inside checked in the same step where possible), and the inner signature.
// A failed step fails the mail; the attachment walk then does not run, so no values come from a
// mail whose signature could not be verified or whose signer is not trusted.

#include "config/Settings.h"

struct MailOutcome;
class SIMAP;
class TrustedSigners;

namespace SmimeSteps {
void run(SIMAP &imap, const MailConfig &config, const TrustedSigners &signers, MailOutcome &outcome);
} // namespace SmimeSteps
