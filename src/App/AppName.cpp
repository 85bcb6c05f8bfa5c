#include "AppName.h"

#include <QFileInfo>

QString applicationNameFromArguments(int argc, const char *const *argv)
{
    QString name = QFileInfo(QString::fromLocal8Bit(argc > 0 ? argv[0] : "")).fileName();
    if (name.toUpper().endsWith(QLatin1String(".EXE")))
        name.chop(4);
    if (argc >= 2 && !QByteArray(argv[1]).startsWith('-'))
        name += u'_' + QString::fromLocal8Bit(argv[1]);
    const QString upper = name.toUpper();
    if (upper == QLatin1String("QUILLON") || upper == QLatin1String("QUILLONCONSOLE"))
        name = QStringLiteral("Quillon");
    return name;
}
