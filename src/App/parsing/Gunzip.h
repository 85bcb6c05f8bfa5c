#pragma once

#include <QByteArray>

// Unpacks gzip-compressed data (mail attachments and files ending in ".gz").
namespace Gunzip {

// Inflates data with the gzip wrapper into out. Empty input gives empty output and success;
// damaged or truncated data gives false (out then holds what was unpacked so far).
bool gunzip(const QByteArray &data, QByteArray &out);

} // namespace Gunzip
