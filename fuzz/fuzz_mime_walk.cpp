// Feeds arbitrary bytes as a saved mail down the road from mail to attachments: the MIME decoder,
// then the walk over its parts (nested multiparts to the depth bound), every named part read as a
// data file. A mail that does not decode, a part that fails the mail and an attachment that does
// not parse must each carry a reason.

#include "mail/MimePartWalk.h"

#include "MailSecurity/MIME.h"

#include <cstdint>
#include <cstdlib>

namespace {

class CheckingVisitor : public MimePartWalk::Visitor
{
public:
    void failed(MimePartWalk::Failure, const QString &error, bool) override
    {
        if (error.isEmpty())
            std::abort();
    }
    RecordSink &attachmentSink(const QString &) override
    {
        m_records = RecordSink();
        return m_records;
    }
    void attachment(const QString &name, DataFileResult &read, bool) override
    {
        if (name.isEmpty() || (!read.parsed && read.errorText.isEmpty()))
            std::abort();
    }

private:
    RecordSink m_records;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    MIME mime;
    // A copy of exactly size bytes, so that a read past the end is caught by AddressSanitizer.
    mime.setMessage(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (mime.decodeFromString() != 0) {
        if (mime.lastError().isEmpty())
            std::abort();
        return 0;
    }
    CheckingVisitor visitor;
    MimePartWalk(QStringLiteral("Mail fuzz"), visitor).walk(mime);
    return 0;
}
