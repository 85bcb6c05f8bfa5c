// Feeds arbitrary bytes to the control channel's request reader as a client's stream: the reader
// must wait, take one line within the size limit, or refuse with a reason; and the first half of
// the same bytes must be judged as the whole is, or wait (a client's line arrives in pieces).

#include "service/ControlChannel.h"
#include "service/ControlRequest.h"

#include <cstdint>
#include <cstdlib>

namespace {

using Reading = ControlRequest::Reading;

Reading readChecked(const QByteArray &bytes)
{
    const Reading reading = ControlRequest::read(bytes);
    const bool lineWithinLimit = bytes.left(ControlChannel::MaxRequestBytes + 1).contains('\n');
    switch (reading.state) {
    case Reading::Request:
        if (!lineWithinLimit || reading.text.contains(u'\n') || reading.text != reading.text.trimmed())
            std::abort();
        break;
    case Reading::Refused:
        if (lineWithinLimit || reading.text.isEmpty())
            std::abort();
        break;
    case Reading::NeedMore:
        if (lineWithinLimit || bytes.size() > ControlChannel::MaxRequestBytes || !reading.text.isEmpty())
            std::abort();
        break;
    }
    return reading;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // A copy of exactly size bytes, so that a read past the end is caught by AddressSanitizer.
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const Reading whole = readChecked(bytes);
    const Reading cut = readChecked(bytes.left(bytes.size() / 2));
    if (cut.state != Reading::NeedMore && (cut.state != whole.state || cut.text != whole.text))
        std::abort();
    return 0;
}
