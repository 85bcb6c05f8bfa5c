#pragma once
// The request line of a control connection, judged from the bytes received so far: a request once
// a line feed ends a line of at most ControlChannel::MaxRequestBytes bytes, a refusal once more
// bytes than that came without one, otherwise a wait for more.

#include <QByteArray>
#include <QString>

namespace ControlRequest {

struct Reading
{
    enum State { NeedMore, Request, Refused };
    State state = NeedMore;
    QString text; // Request: the line without its line feed and outer blanks; Refused: the reason
};

Reading read(const QByteArray &received);

} // namespace ControlRequest
