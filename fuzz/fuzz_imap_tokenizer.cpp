// Feeds arbitrary bytes to the IMAP response tokenizer as a server's byte stream: responses are
// taken one after the other until the tokenizer asks for more or calls the rest malformed. It
// must never read past the buffer, consume more than it has, or ask for fewer bytes than it holds.

#include "MailSecurity/ImapTokenizer.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray stream(reinterpret_cast<const char *>(data), qsizetype(size));
    for (;;) {
        ImapResponse response;
        qsizetype consumed = 0;
        qsizetype needed = 0;
        QString error;
        const ImapTokenizer::Result result = ImapTokenizer::parse(stream, &response, &consumed, &needed, &error);
        if (result == ImapTokenizer::Complete) {
            if (consumed <= 0 || consumed > stream.size())
                std::abort();
            stream.remove(0, consumed);
            continue;
        }
        if (result == ImapTokenizer::NeedMore && needed <= stream.size())
            std::abort();
        if (result == ImapTokenizer::Malformed && error.isEmpty())
            std::abort();
        return 0;
    }
}
