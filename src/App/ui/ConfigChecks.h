#pragma once
// Checks of the configuration editor's fields before saving: values that the program would read
// without complaint but could never use as meant (the reader turns them into defaults or zeros).
// Each returns an empty text when the value is fine, else what is wrong with it.

#include <QString>

namespace ConfigChecks {

// A whole number of minutes, or a ";"-separated list of "hh:mm" clock times.
QString checkInterval(const QString &text);

// A server port: 1 to 65535 once a host is given; a missing host makes the port irrelevant.
QString serverPort(const QString &host, int port);

// A wildcard pattern on identifiers that some identifier can match.
QString wildcardPattern(const QString &pattern);

} // namespace ConfigChecks
