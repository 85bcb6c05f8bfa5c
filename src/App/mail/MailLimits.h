#pragma once
// Bounds of the mail intake on what a mailbox may hand it, beside the largest mail that the whole
// mail road shares (MailLimits::MaxMailBytes). The unpacked size of one attachment is bounded by
// DataLimits::MaxUnpackedBytes (parsing/DataFileReader.h).

#include "MailSecurity/MailLimits.h"

namespace MailLimits {
// Deepest nesting of multipart parts that is walked; deeper parts fail the mail.
inline constexpr int MaxMimeDepth = 16;
// How long a check waits for the values of its mails to be committed in the point store before
// it leaves the mails on the server for the next check.
inline constexpr int ValueCommitTimeoutMs = 300000;
} // namespace MailLimits
