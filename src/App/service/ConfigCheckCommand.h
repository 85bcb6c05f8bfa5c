#pragma once
// "quillon --check-config": reads the instance's configuration file (chosen by the instance
// argument, -p and -c as for a start), runs the configuration editor's checks on it and prints
// each problem with its group and key. Exit code 0 without problems, 1 otherwise. It starts no
// handler, takes no instance lock and never writes the file.

#include <QString>

namespace ConfigCheckCommand {

// Whether the command line asks for the check.
bool requested(int argc, char **argv);

int run(int argc, char **argv, const QString &applicationName);

} // namespace ConfigCheckCommand
