#include "KyrIpc/Message.h"

#include <QStringList>
#include <cstring>

namespace Orvane {

namespace {
const QStringList &typeNames()
{
    static const QStringList names{QStringLiteral("BIT"), QStringLiteral("BYS"), QStringLiteral("WOS"),
                                   QStringLiteral("DWS"), QStringLiteral("BYU"), QStringLiteral("WOU"),
                                   QStringLiteral("DWU"), QStringLiteral("FLT"), QStringLiteral("STR")};
    return names;
}
} // namespace

QString pointTypeName(int type)
{
    return type >= BIT && type <= STR ? typeNames().at(type - 1) : QString();
}

int pointTypeFromName(const QString &name)
{
    return int(typeNames().indexOf(name)) + 1;
}

void Message::setPointName(const QString &name)
{
    const QByteArray bytes = name.toLatin1().left(MaxPointNameBytes);
    std::memset(pointName, 0, sizeof pointName);
    std::memcpy(pointName, bytes.constData(), size_t(bytes.size()));
}

QString Message::point() const
{
    return QString::fromLatin1(pointName, qsizetype(strnlen(pointName, sizeof pointName)));
}

} // namespace Orvane
