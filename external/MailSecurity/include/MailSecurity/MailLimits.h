#pragma once

#include <QtGlobal>

// Bounds shared by every stage of the mail road (IMAP fetch, S/MIME, MIME, gunzip).
namespace MailLimits {

// The largest mail the intake accepts, as the server sends it (headers and text). Mail servers
// commonly refuse mails above 25 to 50 MB, and base64 grows an attachment by a third, so 64 MiB
// takes every mail such a server delivers, while a few copies of one mail (fetched, decrypted,
// decoded) still fit comfortably in memory.
inline constexpr qint64 MaxMailBytes = 64 * 1024 * 1024;

} // namespace MailLimits
