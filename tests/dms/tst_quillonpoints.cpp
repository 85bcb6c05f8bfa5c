// The operator's view of the point store: quillon-points run as a program on a project written
// through the client library.

#include "KyrIpc/DmsAccess.h"
#include "KyrIpc/PdbsAccess.h"
#include "KyrIpc/PointStore.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestQuillonPoints : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_project.isValid());
        qputenv("ORVANE_CURRENT_PROJECT_LOCATION", (m_project.path() + u'/').toUtf8());
        const QDateTime stamp = QDateTime::fromString(QStringLiteral("2026-02-03T04:05:06.789"), Qt::ISODateWithMs);
        m_stamp = stamp.toString(Qt::ISODateWithMs);
        DmsAccess dms(QStringLiteral("Sync"));
        QCOMPARE(dms.ConnectDms(QStringLiteral("local"), nullptr, true, 120000), 0);
        dms.CreatePoint(QStringLiteral("Site:Meter1"), Orvane::FLT, 10, true, -1);
        dms.SendFlt(QStringLiteral("Site:Meter1"), 1234.5, stamp, 10, true);
        dms.CreatePoint(QStringLiteral("Site:Meter1:State"), Orvane::DWS, 10, true, -1);
        dms.SendDws(QStringLiteral("Site:Meter1:State"), 2003, stamp, 10, true);
        dms.CreatePoint(QStringLiteral("Site:Label"), Orvane::STR, 10, true, -1);
        dms.SendStr(QStringLiteral("Site:Label"), QStringLiteral("hall 2"), stamp, 10, true);
        PdbsAccess pdbs(QStringLiteral("PDBS"));
        QCOMPARE(pdbs.Connect(QStringLiteral("PDBS"), nullptr, true, 120000), 0);
        pdbs.AppendTrendData(stamp.toMSecsSinceEpoch(), 1.5, 16, QStringLiteral("Site:Meter1"));
        pdbs.AppendTrendData(stamp.toMSecsSinceEpoch() + 900000, 2.25, 65538, QStringLiteral("Site:Meter1"));
        pdbs.AppendTrendData(stamp.toMSecsSinceEpoch(), 9, 2, QStringLiteral("Site:Other"));
        Orvane::PointStore::forConnection(QStringLiteral("local"))->waitUntilCommitted();
        Orvane::PointStore::forConnection(QStringLiteral("PDBS"))->waitUntilCommitted();
    }

    void listing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("lines");
        const QString project = m_project.path();
        const QString t = m_stamp;
        const auto trendLine = [](const QDateTime &at, const QString &rest) {
            return at.toString(Qt::ISODateWithMs) + '\t' + QString::number(at.toMSecsSinceEpoch()) + '\t' + rest;
        };
        const QDateTime first = QDateTime::fromString(t, Qt::ISODateWithMs);
        QTest::newRow("pattern") << QStringList{project, "Site:*"} << 0
                                 << QStringList{"Site:Label\tSTR\thall 2\t" + t + "\tlocal",
                                                "Site:Meter1\tFLT\t1234.5\t" + t + "\tlocal",
                                                "Site:Meter1:State\tDWS\t2003\t" + t + "\tlocal"};
        QTest::newRow("pattern is case-sensitive") << QStringList{project, "site:*"} << 0 << QStringList{};
        QTest::newRow("system points of one connection")
            << QStringList{project, "System:Prog:DMS_UP", "-c", "local"} << 0
            << QStringList{QStringLiteral("System:Prog:DMS_UP\tBIT\ttrue\t")};
        QTest::newRow("trend rows") << QStringList{project, "--trend", "Site:Meter1"} << 0
                                    << QStringList{trendLine(first, "1.5\t16\tSite:Meter1"),
                                                   trendLine(first.addSecs(900), "2.25\t65538\tSite:Meter1")};
        QTest::newRow("no store") << QStringList{project + "/nothing-here"} << 1 << QStringList{};
    }

    void listing()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QStringList, lines);
        QProcess process;
        process.start(QStringLiteral(QUILLON_BINARY_DIR "/src/App/cli/quillon-points"), arguments);
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitCode(), exitCode);
        const QStringList output = QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(output.size(), lines.size());
        for (int i = 0; i < lines.size(); ++i)
            QVERIFY2(output.at(i).startsWith(lines.at(i)), qPrintable(output.at(i)));
        if (exitCode)
            QVERIFY(process.readAllStandardError().contains("No point store at"));
    }

private:
    QTemporaryDir m_project;
    QString m_stamp;
};

QTEST_GUILESS_MAIN(TestQuillonPoints)
#include "tst_quillonpoints.moc"
