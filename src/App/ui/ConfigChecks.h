#pragma once
// The checks of a configuration before it is saved: values that the program would read without
// complaint but could never use as meant (the reader turns them into defaults or zeros). The
// editor's pages show each problem beside its field; they need no window, so a file can be
// checked without one.

#include "config/ConfigKeys.h"

#include <QList>
#include <QString>

// One problem: the group and key as they stand in the file (a table row's key as
// "Mappings/2/Imported", rows counted from 1) and what is wrong with the value.
struct ConfigProblem
{
    QString group;
    QString key;
    QString text;
};

namespace ConfigChecks {

// Every problem of the configuration, in file order.
QList<ConfigProblem> problems(const Configuration &config);

// A server port: 1 to 65535 once a host is given; a missing host makes the port irrelevant.
QString serverPort(const QString &host, int port);

// The metrics endpoint's port: 0 (off) or a port number.
QString metricsPort(int port);
// A numeric IPv4 or IPv6 address, as the metrics endpoint listens on.
QString ipAddress(const QString &text);
// A wildcard pattern on identifiers that some identifier can match.
QString wildcardPattern(const QString &pattern);

// The key of a table row's field: "Mappings/2/Imported" for the second row.
QString rowKey(const char *table, qsizetype row, const char *field);

} // namespace ConfigChecks
