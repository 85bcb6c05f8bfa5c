#pragma once

// Helpers shared by the parser tests: records written as one comparable text line, the sample
// files under tests/data and the check of a sample against its ".expected" file.

#include "../common/ExpectedRecords.h"
#include "../common/LogCapture.h"
#include "parsing/DataParser.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTest>

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

// The generic error text of a file no parser takes.
inline QString unknownFormat(const QByteArray &input)
{
    return QStringLiteral("Unknown data format: ") + QString::fromUtf8(input.left(50));
}

// Expected error texts: "UNKNOWN" stands for the generic text with the file's head, a text with
// "*" is a wildcard pattern, anything else must match exactly.
inline void compareError(const QString &actual, const QString &expected, const QByteArray &input)
{
    if (expected == QLatin1String("UNKNOWN")) {
        QCOMPARE(actual, unknownFormat(input));
    } else if (expected.contains(u'*')) {
        QStringList pieces = expected.split(u'*');
        for (QString &piece : pieces)
            piece = QRegularExpression::escape(piece);
        const QRegularExpression pattern(QRegularExpression::anchoredPattern(pieces.join(QStringLiteral(".*"))),
                                         QRegularExpression::DotMatchesEverythingOption);
        QVERIFY2(pattern.match(actual).hasMatch(), qPrintable(actual));
    } else {
        QCOMPARE(actual, expected);
    }
}

// What the logger wrote since the first call or the last clear().
inline LogCapture &logged()
{
    static LogCapture capture;
    return capture;
}

// When warnings are expected, exactly these are logged, in this order: each ends with its text,
// which is part of no other warning.
inline void compareWarnings(const QStringList &expected)
{
    if (expected.isEmpty())
        return;
    const QStringList warnings = logged().joined(Kyr::LogWarning).split(u'\n');
    QVERIFY2(warnings.size() == expected.size(), qPrintable(logged().joined(Kyr::LogWarning)));
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QVERIFY2(warnings.at(i).endsWith(expected.at(i)) && logged().count(Kyr::LogWarning, expected.at(i)) == 1,
                 qPrintable(expected.at(i) + QStringLiteral(" in: ") + logged().joined(Kyr::LogWarning)));
    }
}

// Parses a sample file, handed over under its base name and compares result, error text and
// every record with "<sample>.expected" beside it (see ExpectedRecords.h).
inline void checkSample(const QString &relative)
{
    const QString path = QStringLiteral(QUILLON_SOURCE_DIR "/tests/data/") + relative + QStringLiteral(".expected");
    const ExpectedRecords::Expected expected = ExpectedRecords::readExpected(path);
    const QByteArray data = readSample(relative);
    QString errorText = QStringLiteral("left over from before");
    QList<DataParser::ValueRec> out;
    logged().clear();
    const bool ok = DataParser::parse(data, errorText, out,
                                      expected.name.isEmpty() ? relative.section(u'/', -1) : expected.name);
    QStringList got;
    for (const DataParser::ValueRec &r : std::as_const(out))
        got << describe(r);

    if (ExpectedRecords::writeRequested()) {
        ExpectedRecords::writeExpected(path, ok, errorText == unknownFormat(data) ? QStringLiteral("UNKNOWN") : errorText,
                                       out.isEmpty() ? -1 : int(out.first().importType), got);
        return;
    }
    QVERIFY2(expected.found, qPrintable(QStringLiteral("no expected results: ") + path));
    QCOMPARE(ok, expected.ok);
    compareError(errorText, expected.error, data);
    for (const DataParser::ValueRec &r : std::as_const(out)) {
        if (expected.type >= 0)
            QCOMPARE(int(r.importType), expected.type);
        QVERIFY2(r.aks.isEmpty() && r.ipAddress.isEmpty() && r.flagList.isEmpty() && r.timestamp.isValid(),
                 qPrintable(describe(r)));
    }
    QCOMPARE(got, expected.records);
    compareWarnings(expected.warnings);
}

// One data row per sample with a ".expected" file in the given folders under tests/data; the
// column "file" holds the sample's path relative to tests/data.
inline void addSampleRows(const QStringList &folders)
{
    QTest::addColumn<QString>("file");
    for (const QString &folder : folders) {
        const QDir dir(QStringLiteral(QUILLON_SOURCE_DIR "/tests/data/") + folder);
        const QStringList expected = dir.entryList({QStringLiteral("*.expected")}, QDir::Files, QDir::Name);
        QVERIFY2(!expected.isEmpty(), qPrintable(QStringLiteral("no expected results in ") + folder));
        for (const QString &name : expected) {
            const QString file = folder + u'/' + name.chopped(9);
            QTest::newRow(qPrintable(file)) << file;
        }
    }
}

} // namespace ParsingTestSupport
