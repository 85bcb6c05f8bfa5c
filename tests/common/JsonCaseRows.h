#pragma once

// The data rows of a test function read from a cases file (see JsonCases.h): one column "row"
// holds each case's object, and the row is named by the case's "case" field.

#include "JsonCases.h"

#include <QTest>

namespace JsonCases {

inline void addRows(const QString &path, const QString &key)
{
    QTest::addColumn<QJsonObject>("row");
    for (const QJsonValue &row : load(path, key))
        QTest::newRow(qPrintable(row[QLatin1String("case")].toString())) << row.toObject();
}

} // namespace JsonCases
