#pragma once

// Expected results of a sample data file, kept beside the sample as "<sample>.expected":
//
//   ok                       or   error: <error text>
//   type: <import type>           (optional: every record must have it)
//   name: <file name>             (optional: the name the file is handed over under)
//   warning: <text>               (optional, repeatable: the warnings logged, in order)
//   <record line>                 (one line per record, in the order the parser returns them)
//
// Record lines are the one-line form the test program compares; lines starting with "#" are
// comments (why a sample exists, where its name does not say it). With QUILLON_WRITE_EXPECTED=1
// in the environment the tests write the actual result into these files instead of comparing
// (after a deliberate change of a parser; review the diff).

#include <QFile>
#include <QString>
#include <QStringList>

namespace ExpectedRecords {

struct Expected {
    bool found = false;
    bool ok = false;
    QString error;
    int type = -1;
    QString name;
    QStringList warnings;
    QStringList records;
    QStringList comments; // kept when the file is written anew
};

inline Expected readExpected(const QString &path)
{
    Expected e;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return e;
    const QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        if (line.startsWith(u'#')) {
            e.comments << line;
            continue;
        }
        if (!e.found) {
            e.found = true;
            e.ok = line == QLatin1String("ok");
            e.error = e.ok ? QString() : line.startsWith(QLatin1String("error: ")) ? line.mid(7) : QStringLiteral("?") + line;
        } else if (e.records.isEmpty() && line.startsWith(QLatin1String("type: "))) {
            e.type = line.mid(6).toInt();
        } else if (e.records.isEmpty() && line.startsWith(QLatin1String("name: "))) {
            e.name = line.mid(6);
        } else if (e.records.isEmpty() && line.startsWith(QLatin1String("warning: "))) {
            e.warnings << line.mid(9);
        } else {
            e.records << line;
        }
    }
    return e;
}

inline bool writeRequested()
{
    return qEnvironmentVariableIntValue("QUILLON_WRITE_EXPECTED") == 1;
}

// Keeps the comments, name and warnings of an existing file and replaces the rest.
inline void writeExpected(const QString &path, bool ok, const QString &error, int type, const QStringList &records)
{
    const Expected old = readExpected(path);
    QStringList lines = old.comments;
    lines << (ok ? QStringLiteral("ok") : QStringLiteral("error: ") + error);
    if (type >= 0)
        lines << QStringLiteral("type: %1").arg(type);
    if (!old.name.isEmpty())
        lines << QStringLiteral("name: ") + old.name;
    for (const QString &w : old.warnings)
        lines << QStringLiteral("warning: ") + w;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    f.write(((lines + records).join(u'\n') + u'\n').toUtf8());
}

} // namespace ExpectedRecords
