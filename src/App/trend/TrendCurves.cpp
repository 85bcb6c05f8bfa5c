#include "trend/TrendCurves.h"

#include "trend/TrendSeries.h"

int TrendCurves::gapCount() const
{
    int gaps = 0;
    for (const TrendCurve &curve : curves)
        gaps += int(std::max<qsizetype>(curve.segmentStarts.size() - 1, 0));
    return gaps;
}

qsizetype TrendCurves::rowCount() const
{
    qsizetype rows = 0;
    for (const TrendCurve &curve : curves)
        rows += curve.samples.size();
    return rows;
}

TrendCurves TrendCurves::read(TrendReader &reader, const QStringList &points, qint64 fromMs, qint64 toMs)
{
    TrendCurves read;
    for (const QString &point : points) {
        TrendCurve curve;
        curve.point = point;
        curve.unit = reader.unitOf(point);
        if (reader.errorText().isEmpty() && !read.curves.isEmpty() && curve.unit != read.curves.first().unit) {
            read.otherUnit.append(point);
            continue;
        }
        TrendReader::Rows rows;
        if (reader.errorText().isEmpty())
            rows = reader.rows(point, fromMs, toMs);
        if (!reader.errorText().isEmpty()) {
            read.error = reader.errorText();
            break;
        }
        curve.samples = std::move(rows.samples);
        curve.truncated = rows.truncated;
        curve.segmentStarts = TrendSeries::segmentStarts(curve.samples);
        read.curves.append(std::move(curve));
    }
    return read;
}
