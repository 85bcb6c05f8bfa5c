#include "tools/SourceList.h"

namespace SourceList {

QStringList folders(const QString &text)
{
    QStringList result;
    for (const QString &entry : text.split(u';')) {
        QString folder = entry.trimmed();
        folder.replace(u'\\', u'/');
        if (!folder.isEmpty())
            result.append(folder);
    }
    return result;
}

QString noFolderText(const QString &text)
{
    return QStringLiteral("No source folder in '%1' (folders separated by ';')").arg(text);
}

} // namespace SourceList
