#include "tools/CsvLine.h"

namespace CsvLine {

QString field(const QString &text)
{
    const bool quoted = text.contains(u';') || text.contains(u'"') || text.contains(u'\n') || text.contains(u'\r');
    if (!quoted)
        return text;
    QString out = text;
    out.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + out + u'"';
}

QString join(const QStringList &fields)
{
    QString line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += u';';
        line += field(fields[i]);
    }
    return line + u'\n';
}

} // namespace CsvLine
