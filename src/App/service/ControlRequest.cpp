#include "service/ControlRequest.h"

#include "service/ControlChannel.h"

namespace ControlRequest {

Reading read(const QByteArray &received)
{
    const qsizetype lineFeed = received.indexOf('\n');
    if (lineFeed >= 0 && lineFeed <= ControlChannel::MaxRequestBytes)
        return {Reading::Request, QString::fromUtf8(received.left(lineFeed)).trimmed()};
    if (received.size() > ControlChannel::MaxRequestBytes)
        return {Reading::Refused, QStringLiteral("Request longer than %1 bytes").arg(ControlChannel::MaxRequestBytes)};
    return {};
}

} // namespace ControlRequest
