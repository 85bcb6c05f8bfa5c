#pragma once
// The INI configuration file of one instance: its path, creation, reading into the three settings
// records, and writing as the configuration editor saves it.

#include "config/ConfigKeys.h"

#include <QStringList>

namespace ConfigFile {

// What the editor shows instead of a stored, non-empty client secret.
inline const QString kSecretMask = QStringLiteral("*_*_*_*_*_*_*_*");

// ORVANE_CURRENT_CONFIG_LOCATION + application name + ".ini", recomputed on every call.
QString configFilePath();

// Creates an empty file (and its directory) at the path when none exists, readable by its owner
// only, for it holds the mail passwords; all defaults then apply. An unwritable location leaves it uncreated, and reading then gives all defaults.
void ensureFile(const QString &path);

enum class Rows { EnabledOnly, All };

// Reads every group. A file that changed while it was read is read again. The controller reads with Rows::EnabledOnly, which leaves out the disabled
// rows of the mapping and option tables; the editor reads all rows to show them.
Configuration read(const QString &path, Rows rows = Rows::EnabledOnly);

// The warning for a file that others than its owner can read or write; empty when there is none.
QString permissionWarning(const QString &path);

// Whether the file holds a client secret, readable here or not: the editor then shows the mask,
// so that saving keeps it.
bool hasStoredSecret(const QString &path);

// Writes every key of every group and each table as a whole. secretField is what the editor's
// client-secret field shows: the mask keeps the stored value, an empty field stores an empty
// value, anything else is enciphered from its UTF-8 bytes and stored as lower-case hexadecimal
// text. The file is left readable by its owner only.
void write(const QString &path, const Configuration &config, const QString &secretField);

// An account of every setting for the debug log, one line per group, tables by their row count;
// passwords and the secret show only whether they are set.
QStringList describe(const Configuration &config);

} // namespace ConfigFile
