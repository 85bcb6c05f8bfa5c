#include "KyrIpc/PostgresUri.h"

#include <QRegularExpression>

namespace Orvane::PostgresUri {

namespace {

// scheme, then "user:password@" when present: the user information ends at the last "@" before
// the first "/" or "?".
const QRegularExpression &userInfoPattern()
{
    static const QRegularExpression pattern(QStringLiteral("^([a-z]+://)([^/?]*)@"),
                                            QRegularExpression::CaseInsensitiveOption);
    return pattern;
}

const QRegularExpression &passwordParameterPattern()
{
    static const QRegularExpression pattern(QStringLiteral("([?&])password=([^&]*)&?"));
    return pattern;
}

// The URI with the password of its user information and its password parameter replaced; an
// empty replacement drops them (with the ":" and the parameter).
QString replacePassword(const QString &uri, const QString &replacement)
{
    QString result = uri;
    const QRegularExpressionMatch info = userInfoPattern().match(result);
    const int colon = info.hasMatch() ? int(info.captured(2).indexOf(u':')) : -1;
    if (colon >= 0) {
        const QString user = info.captured(2).left(colon);
        const QString kept = replacement.isEmpty() ? user : user + u':' + replacement;
        result.replace(info.capturedStart(2), info.capturedLength(2), kept);
    }
    const QRegularExpressionMatch parameter = passwordParameterPattern().match(result);
    if (parameter.hasMatch()) {
        if (!replacement.isEmpty()) {
            result.replace(parameter.capturedStart(2), parameter.capturedLength(2), replacement);
        } else {
            // "?password=x&a=b" keeps "?a=b"; "&password=x" at the end goes entirely.
            const bool last = !parameter.captured(0).endsWith(u'&');
            result.remove(parameter.capturedStart(0) + (last ? 0 : 1), parameter.capturedLength(0) - (last ? 0 : 1));
        }
    }
    return result;
}

} // namespace

bool isPostgresUri(const QString &connection)
{
    return connection.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive)
           || connection.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

QString password(const QString &uri)
{
    const QRegularExpressionMatch info = userInfoPattern().match(uri);
    const int colon = info.hasMatch() ? int(info.captured(2).indexOf(u':')) : -1;
    if (colon >= 0)
        return info.captured(2).mid(colon + 1);
    return passwordParameterPattern().match(uri).captured(2);
}

QString masked(const QString &uri)
{
    return replacePassword(uri, QStringLiteral("***"));
}

QString withoutPassword(const QString &uri)
{
    return replacePassword(uri, QString());
}

QString scrubbed(const QString &text, const QString &uri)
{
    const QString secret = password(uri);
    if (secret.isEmpty())
        return text;
    QString result = text;
    result.replace(uri, masked(uri));
    return result.replace(secret, QStringLiteral("***"));
}

} // namespace Orvane::PostgresUri
