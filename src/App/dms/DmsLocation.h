#pragma once
// Where the DMS runs, from its connection string: "local" when on this machine, otherwise the
// short local host name.

#include <QString>

class DmsLocation
{
public:
    static QString local() { return QStringLiteral("local"); }
    // The local host name cut before its first ".".
    static QString shortHostName();
    // A pipe name (no ":") is local; "host:port" is local when host is the short host name
    // (case-sensitive), "localhost" in any case, or an address of one of this machine's interfaces.
    static QString of(const QString &connection);
};
