// Feeds arbitrary bytes to the IMAP response tokenizer as a server's stream: every response must
// end as complete, malformed with a reason, or a request for more bytes than were given; and a
// cut of the same bytes must never be judged otherwise than the whole (the client reads a
// response as it arrives, in pieces of any size).

#include "MailSecurity/ImapTokenizer.h"

#include <cstdint>
#include <cstdlib>

namespace {

ImapTokenizer::Result parseChecked(const QByteArray &bytes, qsizetype *consumed)
{
    ImapResponse response;
    qsizetype needed = 0;
    QString error;
    const ImapTokenizer::Result result = ImapTokenizer::parse(bytes, &response, consumed, &needed, &error);
    if ((result == ImapTokenizer::Complete && (*consumed < 1 || *consumed > bytes.size()))
        || (result == ImapTokenizer::NeedMore && needed <= bytes.size())
        || (result == ImapTokenizer::Malformed && error.isEmpty())) {
        std::abort();
    }
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // A copy of exactly size bytes, so that a read past the end is caught by AddressSanitizer.
    QByteArray stream(reinterpret_cast<const char *>(data), qsizetype(size));
    for (int responses = 0; responses < 64 && !stream.isEmpty(); ++responses) {
        qsizetype consumed = 0;
        const ImapTokenizer::Result whole = parseChecked(stream, &consumed);
        qsizetype cutConsumed = 0;
        const ImapTokenizer::Result cut = parseChecked(stream.left(stream.size() / 2), &cutConsumed);
        if (cut != ImapTokenizer::NeedMore && (cut != whole || cutConsumed != consumed))
            std::abort();
        if (whole != ImapTokenizer::Complete)
            break;
        stream.remove(0, consumed);
    }
    return 0;
}
