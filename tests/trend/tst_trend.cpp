// The trend window reads a point's curve from a real point store file while the store's own
// handle stays open: the rows of the asked range (local ranges across the clock changes
// included), where the line breaks for missing rows, which rows are marked, and which points may
// share a chart by their unit.

#include "../common/JsonCases.h"
#include "KyrIpc/Message.h"
#include "KyrIpc/StoreFile.h"
#include "trend/SqliteTrendReader.h"
#include "trend/TrendSeries.h"
#include "ui/TrendWindow.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kCases = QStringLiteral("tests/trend/data/trend.json");

QDateTime isoTime(const QJsonValue &value)
{
    return QDateTime::fromString(value.toString(), Qt::ISODate);
}

QString isoText(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODate);
}

// The store file of a project in a temporary folder, with trend rows and points written by the
// store's own file class.
class Store
{
public:
    Store() : m_file(Orvane::StoreFile::pathForProject(m_dir.path())) {}

    QString path() const { return m_file.path(); }
    bool appendRuns(const QString &point, const QJsonArray &runs)
    {
        std::deque<Orvane::StoreDatabase::Change> batch;
        for (const QJsonValue &value : runs) {
            const QJsonObject run = value.toObject();
            const qint64 start = isoTime(run[QStringLiteral("start")]).toMSecsSinceEpoch();
            const qint64 step = run[QStringLiteral("stepMinutes")].toInteger() * 60000;
            for (int i = 0; i < run[QStringLiteral("count")].toInt(); ++i)
                batch.push_back(Orvane::StoreDatabase::TrendRow{QStringLiteral("PDBS"), start + i * step, double(i),
                                                                quint32(run[QStringLiteral("state")].toInteger(2)), point});
        }
        return m_file.write(batch) == Orvane::StoreDatabase::WriteResult::Committed;
    }
    bool addPoint(const QString &name, const QString &unit)
    {
        std::deque<Orvane::StoreDatabase::Change> batch{
            Orvane::StoreDatabase::PointRow{QStringLiteral("DMS"), name, Orvane::FLT, 1.0, 0}};
        if (!unit.isEmpty())
            batch.push_back(Orvane::StoreDatabase::PointRow{QStringLiteral("DMS"), name + QStringLiteral(":Unit"),
                                                            Orvane::STR, unit, 0});
        return m_file.write(batch) == Orvane::StoreDatabase::WriteResult::Committed;
    }

private:
    QTemporaryDir m_dir;
    Orvane::StoreFile m_file;
};

} // namespace

class TestTrend : public QObject
{
    Q_OBJECT
private slots:
    void windowReadsRangeAndGaps_data() { JsonCases::addRows(kCases, QStringLiteral("ranges")); }

    void windowReadsRangeAndGaps()
    {
        QFETCH(const QJsonObject, row);
        Store store;
        const QString point = QStringLiteral("Site:Meter1:Energy");
        QVERIFY(store.appendRuns(point, row[QStringLiteral("runs")].toArray()));

        TrendWindow window(QStringLiteral("Quillon"), std::make_unique<SqliteTrendReader>(store.path()));
        window.showPoints({point}, isoTime(row[QStringLiteral("from")]), isoTime(row[QStringLiteral("to")]));
        const TrendCurves &shown = window.shownCurves();
        QVERIFY2(shown.error.isEmpty(), qPrintable(shown.error));
        QCOMPARE(shown.curves.size(), 1);
        const TrendCurve &curve = shown.curves.first();
        QCOMPARE(curve.samples.size(), row[QStringLiteral("count")].toInt());
        QCOMPARE(isoText(curve.samples.first().timeMs), row[QStringLiteral("first")].toString());
        QCOMPARE(isoText(curve.samples.last().timeMs), row[QStringLiteral("last")].toString());
        QStringList segmentsAt;
        for (qsizetype start : curve.segmentStarts)
            segmentsAt.append(isoText(curve.samples[start].timeMs));
        QCOMPARE(segmentsAt, JsonCases::strings(row[QStringLiteral("segmentsAt")]));
        const auto marked = std::count_if(curve.samples.begin(), curve.samples.end(), TrendSeries::stateNotZero);
        QCOMPARE(int(marked), row[QStringLiteral("marked")].toInt(0));
        QVERIFY(window.statusLabel()->text().contains(QStringLiteral("%1 gap").arg(segmentsAt.size() - 1)));
    }

    // The list holds the points with trend rows that contain the filter in any case, with their
    // unit (the companion ":Unit" point); a chart takes the points with the first one's unit.
    void pointsAndUnitsShareAChart()
    {
        Store store;
        const QJsonArray day = {QJsonObject{{QStringLiteral("start"), QStringLiteral("2024-05-06T00:00:00Z")},
                                            {QStringLiteral("stepMinutes"), 15}, {QStringLiteral("count"), 4}}};
        const QList<std::pair<QString, QString>> points = {{QStringLiteral("Site:A:Energy"), QStringLiteral("kWh")},
                                                           {QStringLiteral("Site:B:Energy"), QStringLiteral("kWh")},
                                                           {QStringLiteral("Site:C:Volume"), QStringLiteral("m3")},
                                                           {QStringLiteral("Site:D:Count"), QString()},
                                                           {QStringLiteral("Site:E_Energy"), QStringLiteral("kWh")}};
        for (const auto &[name, unit] : points) {
            QVERIFY(store.addPoint(name, unit));
            QVERIFY(store.appendRuns(name, day));
        }
        QVERIFY(store.addPoint(QStringLiteral("Site:F:Energy"), QStringLiteral("kWh"))); // no trend rows

        TrendWindow window(QStringLiteral("Quillon"), std::make_unique<SqliteTrendReader>(store.path()));
        QCOMPARE(window.pointList()->count(), 5);
        window.showPoint(QStringLiteral("_energy"));
        QCOMPARE(window.pointList()->count(), 1);
        QCOMPARE(window.pointList()->item(0)->text(), QStringLiteral("Site:E_Energy  [kWh]"));
        window.showPoint(QStringLiteral("site:a"));
        QCOMPARE(window.shownCurves().curves.size(), 0); // no point is named so: listed, not shown
        window.showPoint(QStringLiteral("Site:A:Energy"));
        QCOMPARE(window.shownCurves().curves.size(), 1);

        const QDateTime from = QDateTime::fromString(QStringLiteral("2024-05-06T00:00:00Z"), Qt::ISODate);
        window.showPoints({QStringLiteral("Site:A:Energy"), QStringLiteral("Site:C:Volume"),
                           QStringLiteral("Site:B:Energy"), QStringLiteral("Site:D:Count")},
                          from, from.addDays(1));
        const TrendCurves &shown = window.shownCurves();
        QCOMPARE(shown.curves.size(), 2);
        QCOMPARE(shown.curves[1].point, QStringLiteral("Site:B:Energy"));
        QCOMPARE(shown.curves[1].unit, QStringLiteral("kWh"));
        QCOMPARE(shown.otherUnit, QStringList({QStringLiteral("Site:C:Volume"), QStringLiteral("Site:D:Count")}));
        QCOMPARE(shown.rowCount(), 8);
    }
};

int main(int argc, char **argv)
{
    // The clock-change rows name local days of this zone; window settings go to a folder of the test.
    qputenv("TZ", "Europe/Zurich");
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    QApplication app(argc, argv);
    TestTrend test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_trend.moc"
