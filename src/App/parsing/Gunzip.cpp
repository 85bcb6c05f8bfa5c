#include "parsing/Gunzip.h"

#include <zlib.h>

#include <algorithm>

namespace Gunzip {

namespace {

bool startsMember(const QByteArray &data, qsizetype at)
{
    return at + 1 < data.size() && quint8(data.at(at)) == 0x1f && quint8(data.at(at + 1)) == 0x8b;
}

bool onlyPadding(const QByteArray &data, qsizetype from)
{
    return std::all_of(data.cbegin() + from, data.cend(), [](char c) { return c == '\0'; });
}

} // namespace

Result gunzip(const QByteArray &data, QByteArray &out, qint64 maxBytes)
{
    out.clear();
    if (data.isEmpty())
        return Result::Ok;

    constexpr qsizetype chunk = 32768;
    z_stream stream{};
    if (inflateInit2(&stream, 31) != Z_OK) // 15 window bits + 16: gzip wrapper only
        return Result::Damaged;

    char buffer[chunk];
    qsizetype offset = 0; // input handed to zlib so far
    Result result = Result::Damaged;
    for (;;) {
        if (stream.avail_in == 0) {
            if (offset >= data.size())
                break; // input ran out before the stream end
            const qsizetype piece = std::min(chunk, data.size() - offset);
            stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData() + offset));
            stream.avail_in = uInt(piece);
            offset += piece;
        }
        stream.next_out = reinterpret_cast<Bytef *>(buffer);
        stream.avail_out = uInt(chunk);
        const int rc = inflate(&stream, Z_NO_FLUSH);
        if (rc == Z_NEED_DICT || rc == Z_DATA_ERROR || rc == Z_STREAM_ERROR || rc == Z_MEM_ERROR)
            break;
        const qsizetype produced = chunk - qsizetype(stream.avail_out);
        if (out.size() + produced > maxBytes) {
            result = Result::TooLarge;
            break;
        }
        out.append(buffer, produced);
        if (rc == Z_STREAM_END) {
            // Another member may follow; anything else after the stream is left out.
            const qsizetype next = offset - qsizetype(stream.avail_in);
            if (!startsMember(data, next)) {
                result = onlyPadding(data, next) ? Result::Ok : Result::TrailingData;
                break;
            }
            inflateReset(&stream);
        } else if (rc == Z_BUF_ERROR && stream.avail_in == 0 && offset >= data.size()) {
            break;
        }
    }
    inflateEnd(&stream);
    return result;
}

} // namespace Gunzip
