#pragma once
// Checks of the configuration editor's fields before saving: values that the program would read
// without complaint but could never use as meant (the reader turns them into defaults or zeros).
// Each returns an empty text when the value is fine, else what is wrong with it.

#include "config/ConfigKeys.h"

#include <QList>
#include <QString>

// One problem of a configuration: the group and key of the file it is under, and what is wrong.
struct ConfigProblem
{
    QString group;
    QString key;
    QString text;
};

namespace ConfigChecks {

// A whole number of minutes, or a ";"-separated list of "hh:mm" clock times.
QString checkInterval(const QString &text);

// A server port: 1 to 65535 once a host is given; a missing host makes the port irrelevant.
QString serverPort(const QString &host, int port);

// A wildcard pattern on identifiers that some identifier can match.
QString wildcardPattern(const QString &pattern);

// Every problem the checks above find in a whole configuration, in file order; a table row's key
// is the row's key in the file ("Mappings\2\Imported").
QList<ConfigProblem> problems(const Configuration &config);

} // namespace ConfigChecks
