#pragma once
// The chart of trend curves, the same in the trend window and in the pictures of
// quillon-points --png: time on the x axis in local time, the unit on the y axis, one line per
// stretch of rows without a gap (a row alone between two gaps is a dot), rows whose state is not
// 0 marked in red.

#include "trend/TrendCurves.h"

#include <QCoreApplication>
#include <QSize>

#include <limits>

class QChart;

class TrendChart
{
    Q_DECLARE_TR_FUNCTIONS(TrendChart)
public:
    // Range ends that stand for "where the rows begin" and "where they end".
    static constexpr qint64 kOpenStart = std::numeric_limits<qint64>::min();
    static constexpr qint64 kOpenEnd = std::numeric_limits<qint64>::max();

    // A new chart of the curves over fromMs..toMs; the caller owns it (a QChartView takes it over).
    static QChart *build(const TrendCurves &curves, qint64 fromMs, qint64 toMs);
    // Draws the chart (and deletes it) offscreen into a PNG file of the given size; false when the
    // file cannot be written.
    static bool savePng(QChart *chart, const QSize &size, const QString &path);
    // How an instant is written under the chart and in the window: local time.
    static QString localTimeText(qint64 timeMs);
};
