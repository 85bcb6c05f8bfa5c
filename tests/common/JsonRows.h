#pragma once

// QTest data rows read from a JSON case file (see JsonCases.h): each case is an object whose
// "name" names the row, and the test function takes it whole with QFETCH(const QJsonObject, row).

#include "JsonCases.h"

#include <QStringList>
#include <QTest>

namespace JsonCases {

inline void addRows(const QString &path, const QString &key)
{
    QTest::addColumn<QJsonObject>("row");
    for (const QJsonValue &value : load(path, key)) {
        const QJsonObject row = value.toObject();
        QTest::newRow(qPrintable(row.value(QStringLiteral("name")).toString())) << row;
    }
}

// A list of texts; a missing key gives an empty list.
inline QStringList strings(const QJsonValue &value)
{
    QStringList texts;
    for (const QJsonValue &text : value.toArray())
        texts.append(text.toString());
    return texts;
}

} // namespace JsonCases
