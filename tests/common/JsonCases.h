#pragma once

// Test cases written out in a JSON file beside the sample data rather than as C++ rows: the file
// holds one object whose keys name lists of cases. Strings that stand for bytes carry one
// character per byte (Latin-1; "\u0000" for a NUL byte).

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTest>

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

// A list of texts; a missing key gives an empty list.
inline QStringList strings(const QJsonValue &value)
{
    QStringList texts;
    for (const QJsonValue &text : value.toArray())
        texts.append(text.toString());
    return texts;
}

// The data rows of a test function: one column "row" holds each case's object, and the row is
// named by the case's "name"; the test function takes it with QFETCH(const QJsonObject, row).
inline void addRows(const QString &path, const QString &key)
{
    QTest::addColumn<QJsonObject>("row");
    for (const QJsonValue &value : load(path, key)) {
        const QJsonObject row = value.toObject();
        QTest::newRow(qPrintable(row.value(QStringLiteral("name")).toString())) << row;
    }
}

} // namespace JsonCases
