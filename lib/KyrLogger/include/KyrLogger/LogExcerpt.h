#pragma once
// Text that comes from outside (a mail's or a file's bytes, names and error texts built from them)
// made fit for one log line: control and other non-printable characters written as escapes, so no
// such text can break a line or forge one, and cut to a short excerpt.
//
//   LOG_OUT(Kyr::LogError, "Could not parse file on %1: %2").arg(Kyr::logExcerpt(path)).arg(Kyr::logExcerpt(error)).endl();

#include <QString>

namespace Kyr {

// Characters of one outside text that a log line carries at most.
inline constexpr qsizetype LogExcerptChars = 256;

// "\n", "\r", "\t" and "\xNN" (below U+0100) or "\u{N}" for every other character that is not
// printable, the line and paragraph separators included; past maxChars characters of the text the
// rest is left out and counted: "... (N more characters)".
QString logExcerpt(const QString &text, qsizetype maxChars = LogExcerptChars);

} // namespace Kyr
