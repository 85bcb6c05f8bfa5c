#pragma once

#include <QByteArray>

#include <functional>

// Unpacks gzip-compressed data (mail attachments and files ending in ".gz") as a stream: the
// packed bytes are read piece by piece and the unpacked bytes handed on piece by piece, so neither
// side has to be held whole.
namespace Gunzip {

enum class Result {
    Ok,           // every member of the file unpacked
    TrailingData, // every member unpacked, but other data than zero padding follows the last one
    Damaged,      // damaged or truncated data, or the packed bytes could not be read
    TooLarge,     // the unpacked data would exceed the limit given
    TargetFailed, // the target refused a piece (it knows why)
};

// Fills buffer with at most size packed bytes: answers how many, 0 at the end, -1 on a read error.
using Source = std::function<qint64(char *buffer, qint64 size)>;
// Takes the next piece of unpacked bytes; false stops the unpacking.
using Target = std::function<bool(const char *data, qint64 size)>;

// Inflates the gzip stream member after member (a file of concatenated gzip members unpacks to the
// concatenation of their contents; bytes after the last member that do not start another member
// are left out: zero bytes, as tape and block padding add them, quietly, anything else with
// TrailingData). Empty input gives no output and Ok. Unpacking stops before the output would grow
// past maxBytes.
Result gunzip(const Source &source, const Target &target, qint64 maxBytes);

// The same from and into memory; on failure out holds what was unpacked so far.
Result gunzip(const QByteArray &data, QByteArray &out, qint64 maxBytes);

} // namespace Gunzip
