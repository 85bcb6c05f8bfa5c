#pragma once
// The curves of one chart, read for a time range: several points share a chart only when their
// units agree, so the first point's unit decides and a point with another unit is left out (and
// named). Both the trend window and quillon-points --png read their charts through here.

#include "trend/TrendReader.h"

#include <QStringList>

struct TrendCurve
{
    QString point;
    QString unit;
    QList<TrendSample> samples;
    QList<qsizetype> segmentStarts; // where the line begins again after a gap
    bool truncated = false;         // the range held more rows than one read takes
};

struct TrendCurves
{
    QList<TrendCurve> curves;
    QStringList otherUnit; // points left out because their unit differs from the first one's
    QString error;         // the reader's failure; the curves read before it stay

    int gapCount() const;
    qsizetype rowCount() const;

    // Reads the named points (in this order) for fromMs <= time <= toMs.
    static TrendCurves read(TrendReader &reader, const QStringList &points, qint64 fromMs, qint64 toMs);
};
