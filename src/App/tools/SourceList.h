#pragma once
// The source list of the offline tools: folders separated by ";". Every tool, its dialog and
// quillon-tool read it through here, so "a;" names folder a and nothing else.

#include <QString>
#include <QStringList>

namespace SourceList {

// The folders of a source text: each entry trimmed, "\" turned into "/", empty entries skipped.
QStringList folders(const QString &text);

// The error for a source text that names no folder.
QString noFolderText(const QString &text);

} // namespace SourceList
