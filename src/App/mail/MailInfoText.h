#pragma once
// The information blocks the mail monitor shows of a mail: its envelope and internal details, and
// the signature with its signer certificate.

#include <QString>

class SIMAP;

namespace MailInfoText {
QString mailBlock(const SIMAP &imap);
QString signatureBlock(const SIMAP &imap);
} // namespace MailInfoText
