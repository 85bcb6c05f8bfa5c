#include "KyrLogger/QtMsgHandler.h"

#include "KyrLogger/Logger.h"

namespace Kyr {

void qtMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QString text = QString(message).replace(u'\n', QStringLiteral(" - "));
    const QString category = QString::fromUtf8(context.category ? context.category : "");
    const QString categorySuffix = category.isEmpty() ? QString() : QStringLiteral("-'%1'").arg(category);

    QString location;
    if (context.file && *context.file)
        location += QStringLiteral(" in '%1'").arg(QString::fromUtf8(context.file));
    if (context.function && *context.function)
        location += QStringLiteral(" - '%1'").arg(QString::fromUtf8(context.function));
    if (context.line != 0)
        location += QStringLiteral(" , line:%1").arg(context.line);

    quint8 level = 6;
    QString format;
    switch (type) {
    case QtDebugMsg:
        level = category == QLatin1String("js") ? 6 : 7;
        format = QStringLiteral("[DEBUG%1] '%2'%3");
        break;
    case QtWarningMsg:
        if (text.startsWith(QLatin1String("libpng warning")))
            return;
        level = 4;
        format = QStringLiteral("[WARNING%1] '%2'%3");
        break;
    case QtCriticalMsg:
        level = 2;
        format = QStringLiteral("[CRITICAL%1] '%2'%3");
        break;
    case QtFatalMsg:
        level = 3;
        format = QStringLiteral("[FATAL%1] '%2'%3");
        break;
    case QtInfoMsg:
        level = 6;
        format = QStringLiteral("[INFO%1] '%2'%3");
        break;
    default:
        format = QStringLiteral("[Qt?%1] '%2'%3");
        break;
    }
    LOG_OUT(level, format).arg(categorySuffix).arg(text).arg(location).endl();
}

} // namespace Kyr
