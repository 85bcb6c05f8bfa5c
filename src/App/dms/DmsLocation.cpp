#include "dms/DmsLocation.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkInterface>

QString DmsLocation::shortHostName()
{
    const QString host = QHostInfo::localHostName();
    return host.left(host.indexOf(u'.'));
}

QString DmsLocation::of(const QString &connection)
{
    const QString shortHost = shortHostName();
    const QStringList parts = connection.split(u':');
    if (parts.size() < 2)
        return local();
    const QString &host = parts.first();
    if (host == shortHost || host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0)
        return local();
    const QList<QHostAddress> addresses = QNetworkInterface::allAddresses();
    for (const QHostAddress &address : addresses) {
        if (address.toString() == host)
            return local();
    }
    return shortHost;
}
