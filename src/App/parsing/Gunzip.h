#pragma once

#include <QByteArray>

// Unpacks gzip-compressed data (mail attachments and files ending in ".gz").
namespace Gunzip {

enum class Result {
    Ok,           // every member of the file unpacked
    TrailingData, // every member unpacked, but other data than zero padding follows the last one
    Damaged,      // damaged or truncated data
    TooLarge,     // the unpacked data would exceed the limit given
};

// Inflates data with the gzip wrapper into out, member after member (a file of concatenated gzip
// members unpacks to the concatenation of their contents; bytes after the last member that do
// not start another member are left out: zero bytes, as tape and block padding add them, quietly,
// anything else with TrailingData). Empty input gives empty output and Ok. Unpacking stops as soon
// as out would grow past maxBytes. On failure out holds what was unpacked so far.
Result gunzip(const QByteArray &data, QByteArray &out, qint64 maxBytes);

} // namespace Gunzip
