#pragma once
// Looks into an SQLite file that the program under test wrote: the first column of the first row
// of a query, read-only; an invalid value when the file or the query fails.

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

inline QVariant sqliteValue(const QString &file, const QString &query)
{
    QVariant value;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("sqliteValue"));
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(query) && q.next())
                value = q.value(0);
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("sqliteValue"));
    return value;
}
