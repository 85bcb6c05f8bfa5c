#pragma once

// Helpers shared by the parser tests: records written as one comparable text line, and the
// sample files under tests/data.

#include "parsing/DataParser.h"

#include <QFile>
#include <QString>
#include <QStringList>

namespace ParsingTestSupport {

// One record as "UTC time|iaks|value|unit|+ or -|state|description|serial|obis"; the time shows
// milliseconds only when it has some.
inline QString describe(const DataParser::ValueRec &r)
{
    const QDateTime utc = r.timestamp.toUTC();
    return QStringList{utc.toString(utc.time().msec() ? Qt::ISODateWithMs : Qt::ISODate), r.iaks,
                       QString::number(r.value, 'g', 12), r.unit, r.increment ? QStringLiteral("+") : QStringLiteral("-"),
                       QString::number(r.state), r.description, r.serialNumber, r.obis}
        .join(u'|');
}

// The bytes of a sample file, relative to tests/data.
inline QByteArray readSample(const QString &relative)
{
    QFile f(QStringLiteral(QUILLON_SOURCE_DIR "/tests/data/") + relative);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("missing sample %s", qPrintable(relative));
    return f.readAll();
}

} // namespace ParsingTestSupport
