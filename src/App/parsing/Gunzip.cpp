#include "parsing/Gunzip.h"

#include <zlib.h>

#include <algorithm>

namespace Gunzip {

bool gunzip(const QByteArray &data, QByteArray &out)
{
    out.clear();
    if (data.isEmpty())
        return true;

    constexpr qsizetype chunk = 32768;
    z_stream stream{};
    if (inflateInit2(&stream, 31) != Z_OK) // 15 window bits + 16: gzip wrapper only
        return false;

    char buffer[chunk];
    qsizetype offset = 0;
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
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
        rc = inflate(&stream, Z_NO_FLUSH);
        if (rc == Z_NEED_DICT || rc == Z_DATA_ERROR || rc == Z_STREAM_ERROR || rc == Z_MEM_ERROR) {
            inflateEnd(&stream);
            return false;
        }
        out.append(buffer, chunk - qsizetype(stream.avail_out));
        if (rc == Z_BUF_ERROR && stream.avail_in == 0 && offset >= data.size())
            break;
    }
    inflateEnd(&stream);
    return rc == Z_STREAM_END;
}

} // namespace Gunzip
