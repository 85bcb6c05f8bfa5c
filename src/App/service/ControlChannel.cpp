#include "service/ControlChannel.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

#include <unistd.h>

namespace ControlChannel {

QString projectKey(const QString &projectPath)
{
    const QFileInfo info(QString(projectPath).replace(u'\\', u'/'));
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

QString socketName(const QString &applicationName, const QString &projectPath)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(applicationName.toUtf8());
    hash.addData(QByteArrayView("\n"));
    hash.addData(QByteArray::number(getuid()));
    hash.addData(QByteArrayView("\n"));
    hash.addData(projectKey(projectPath).toUtf8());
    return QStringLiteral("quillon-ctl-%1").arg(QString::fromLatin1(hash.result().toHex().left(24)));
}

} // namespace ControlChannel
