#pragma once
// The shape of one point's trend rows on a chart: where the line breaks, which rows are marked,
// which row lies nearest to an instant.
//
// Gap rule: a series has a usual step, the median of the positive steps between successive rows
// (a quarter-hour load profile: 15 minutes). A step of more than kGapFactor times the usual step
// means rows are missing there, and the line breaks instead of joining across the hole. Steps are
// taken between instants, so the short and the long day of the clock changes are no gaps.

#include "trend/TrendReader.h"

namespace TrendSeries {

constexpr double kGapFactor = 1.5;
// Bit of the state word written with a value whose own state was not 0.
constexpr quint32 kStateNotZeroBit = 0x10000;

// The median of the positive steps in milliseconds; 0 with fewer than two distinct times.
qint64 usualStepMs(const QList<TrendSample> &samples);

// The index of the first row of each line segment: 0 and every row that follows a gap. Empty for
// no rows.
QList<qsizetype> segmentStarts(const QList<TrendSample> &samples);

inline bool stateNotZero(const TrendSample &sample)
{
    return (sample.state & kStateNotZeroBit) != 0;
}

// The index of the row nearest to timeMs (the earlier one on a tie); -1 for no rows. The rows are
// ordered by time.
qsizetype nearestIndex(const QList<TrendSample> &samples, qint64 timeMs);

} // namespace TrendSeries
