#pragma once

// Test cases written out in a JSON file beside the sample data rather than as C++ rows: the file
// holds one object whose keys name lists of cases. Strings that stand for bytes carry one
// character per byte (Latin-1; "\u0000" for a NUL byte).

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace JsonCases {

// The cases under key in the file at path (relative to the source tree); stops the test program
// with a message when the file cannot be read, so that no case goes missing unnoticed.
inline QJsonArray load(const QString &path, const QString &key)
{
    QFile file(QStringLiteral(QUILLON_SOURCE_DIR "/") + path);
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(), &error);
    const QJsonArray cases = document.object().value(key).toArray();
    if (cases.isEmpty())
        qFatal("No cases under \"%s\" in %s: %s", qPrintable(key), qPrintable(path), qPrintable(error.errorString()));
    return cases;
}

inline QByteArray bytes(const QJsonValue &value)
{
    return value.toString().toLatin1();
}

} // namespace JsonCases
