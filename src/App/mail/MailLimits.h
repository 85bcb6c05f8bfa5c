#pragma once
// Bounds of the mail intake on what a mailbox may hand it. The unpacked size of one attachment is
// bounded by DataLimits::MaxUnpackedBytes (parsing/DataFileReader.h).

#include <QtGlobal>

namespace MailLimits {
// Largest mail (as the server gives its size) that is fetched; a larger one is filed as failed.
// A mail is held several times over while it is decoded, so this stays well below the bound of
// one unpacked attachment.
inline constexpr qint64 MaxMailBytes = 64LL * 1024 * 1024;
// Deepest nesting of multipart parts that is walked; deeper parts fail the mail.
inline constexpr int MaxMimeDepth = 16;
// How long a check waits for the values of its mails to be committed in the point store before
// it leaves the mails on the server for the next check.
inline constexpr int ValueCommitTimeoutMs = 300000;
} // namespace MailLimits
