#pragma once
// One line of the tools' CSV result files: fields separated by ";", a field holding ";", a double
// quote or a line break enclosed in double quotes with its quotes doubled (RFC 4180 with ";"), so
// that a point or file name never shifts the columns or splits the record.

#include <QString>
#include <QStringList>

namespace CsvLine {

QString field(const QString &text);
// The fields joined, ended by "\n".
QString join(const QStringList &fields);

} // namespace CsvLine
