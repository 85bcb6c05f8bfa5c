#pragma once
// The connection strings that name a PostgreSQL server ("postgresql://" or "postgres://", the URI
// forms libpq takes) and the forms of them that may be shown: the password never leaves the URI.

#include <QString>

namespace Orvane::PostgresUri {

// Whether the connection string is a PostgreSQL URI (case-insensitive scheme).
bool isPostgresUri(const QString &connection);
// The password given in the URI (user information or "password" parameter), empty when none.
QString password(const QString &uri);
// The URI with its password replaced by "***", for the log.
QString masked(const QString &uri);
// The URI without its password: the store's connection name in the tables.
QString withoutPassword(const QString &uri);
// Replaces every occurrence of the URI's password in a text (a server's error message) by "***".
QString scrubbed(const QString &text, const QString &uri);

} // namespace Orvane::PostgresUri
