#include "parsing/Gunzip.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace Gunzip {

namespace {

constexpr qint64 Piece = 65536;

// The packed side: a window over the source that zlib reads from, refilled as it empties.
class PackedInput
{
public:
    explicit PackedInput(const Source &source) : m_source(source) {}

    // Makes at least want bytes (or what is left of the source) available; false on a read error.
    bool fill(qint64 want = 1)
    {
        while (m_end - m_begin < want && !m_sourceEnded) {
            if (m_begin > 0) {
                std::memmove(m_buffer, m_buffer + m_begin, size_t(m_end - m_begin));
                m_end -= m_begin;
                m_begin = 0;
            }
            const qint64 n = m_source(m_buffer + m_end, Piece - m_end);
            if (n < 0)
                return false;
            if (n == 0)
                m_sourceEnded = true;
            m_end += n;
        }
        return true;
    }
    qint64 available() const { return m_end - m_begin; }
    const char *data() const { return m_buffer + m_begin; }
    void consume(qint64 n) { m_begin += n; }
    bool startsMember() const
    {
        return available() >= 2 && quint8(data()[0]) == 0x1f && quint8(data()[1]) == 0x8b;
    }
    // Reads the rest of the source: true when it holds nothing but zero bytes.
    bool restIsPadding()
    {
        for (;;) {
            if (!std::all_of(data(), data() + available(), [](char c) { return c == '\0'; }))
                return false;
            consume(available());
            if (m_sourceEnded)
                return true;
            if (!fill())
                return false;
        }
    }

private:
    const Source &m_source;
    char m_buffer[Piece];
    qint64 m_begin = 0;
    qint64 m_end = 0;
    bool m_sourceEnded = false;
};

// One member after the other until the packed bytes end or fail.
Result inflateMembers(z_stream &stream, PackedInput &in, const Target &target, qint64 maxBytes)
{
    char out[Piece];
    qint64 produced = 0;
    bool outputFull = false; // zlib may hold more output without needing more input
    for (;;) {
        if (!in.fill())
            return Result::Damaged;
        if (in.available() == 0 && !outputFull)
            return Result::Damaged; // input ran out before the stream end
        stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(in.data()));
        stream.avail_in = uInt(in.available());
        stream.next_out = reinterpret_cast<Bytef *>(out);
        stream.avail_out = uInt(Piece);
        const int rc = inflate(&stream, Z_NO_FLUSH);
        in.consume(in.available() - qint64(stream.avail_in));
        if (rc == Z_NEED_DICT || rc == Z_DATA_ERROR || rc == Z_STREAM_ERROR || rc == Z_MEM_ERROR)
            return Result::Damaged;
        const qint64 n = Piece - qint64(stream.avail_out);
        outputFull = stream.avail_out == 0;
        if (produced + n > maxBytes)
            return Result::TooLarge;
        produced += n;
        if (n > 0 && !target(out, n))
            return Result::TargetFailed;
        if (rc != Z_STREAM_END)
            continue;
        // Another member may follow; anything else after the stream is left out.
        if (!in.fill(2))
            return Result::Damaged;
        if (!in.startsMember())
            return in.restIsPadding() ? Result::Ok : Result::TrailingData;
        inflateReset(&stream);
    }
}

} // namespace

Result gunzip(const Source &source, const Target &target, qint64 maxBytes)
{
    auto in = std::make_unique<PackedInput>(source);
    if (!in->fill())
        return Result::Damaged;
    if (in->available() == 0)
        return Result::Ok;
    z_stream stream{};
    if (inflateInit2(&stream, 31) != Z_OK) // 15 window bits + 16: gzip wrapper only
        return Result::Damaged;
    const Result result = inflateMembers(stream, *in, target, maxBytes);
    inflateEnd(&stream);
    return result;
}

Result gunzip(const QByteArray &data, QByteArray &out, qint64 maxBytes)
{
    out.clear();
    qint64 offset = 0;
    const Source source = [&](char *buffer, qint64 size) {
        const qint64 n = std::min(size, qint64(data.size()) - offset);
        std::memcpy(buffer, data.constData() + offset, size_t(n));
        offset += n;
        return n;
    };
    return gunzip(source, [&](const char *piece, qint64 size) {
        out.append(piece, size);
        return true;
    }, maxBytes);
}

} // namespace Gunzip
