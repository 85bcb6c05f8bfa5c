#pragma once

#include <QString>

// The application name: the executable's file name (".exe" dropped), with "_" and the first
// argument appended when that argument is not an option (an instance name such as site2).
// "quillon" and "quillonconsole" in any case become "Quillon".
QString applicationNameFromArguments(int argc, const char *const *argv);
