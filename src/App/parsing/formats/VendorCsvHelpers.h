#pragma once

// Readers shared by the vendor CSV exports (IMMO Box, PVSS, Simple CSV 3, MSD, Froeschl,
// Innosolv, SILOVEDA, Pirel-Portal): lines, decimal numbers, time stamps of a fixed pattern and
// the rule that tells interval amounts from rates.

#include "parsing/DataParser.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringView>

namespace VendorCsv {

// Brings rec to the reset state of DataParser::resetRecord, except that the time is the reading's
// own: the clock read of the full reset would be overwritten at once, and it costs more than
// the rest of a reading.
void resetRecord(DataParser::ValueRec &rec, const QDateTime &timestamp);

// The lines of data: carriage returns removed, split at line feeds, empty lines kept. The views
// point into buffer, which keeps the cleaned bytes alive.
QList<QByteArrayView> splitLines(const QByteArray &data, QByteArray &buffer);

// Makes room in values for the records a file of lineCount lines with valuesPerLine values each
// would give, bounded by what dataSize bytes can hold, so that a long file is not copied over and
// over while its list grows.
void reserveRecords(QList<DataParser::ValueRec> &values, qsizetype lineCount, qsizetype valuesPerLine,
                    qsizetype dataSize);

// A number as these exports write it: "," is read as the decimal point, then the C locale
// decides (surrounding blanks tolerated). value is untouched when the text is no number.
bool readNumber(QStringView text, double &value);

// The text "date time" of a reading whose date and time stand in separate fields.
QString dateAndTime(QStringView date, QStringView time);

// text read with a QDateTime::fromString pattern made of the digit fields d, dd, M, MM, yyyy,
// HH, hh, mm and ss, taken as a wall-clock time in spec (Qt::LocalTime or Qt::UTC). Invalid when
// the text does not match or names a local time that does not exist. Texts of the plain shape
// are read directly; any other text is left to Qt's parser, so both ways accept the same texts.
QDateTime readTime(QStringView text, QStringView pattern, Qt::TimeSpec spec);

// An amount per interval rather than a rate: energy units end in "wh" (any case), and units
// with a "/" are amounts per unit of something.
bool isIntervalUnit(const QString &unit);

} // namespace VendorCsv
