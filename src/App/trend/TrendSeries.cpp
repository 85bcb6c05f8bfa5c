#include "trend/TrendSeries.h"

#include <algorithm>
#include <vector>

namespace TrendSeries {

qint64 usualStepMs(const QList<TrendSample> &samples)
{
    std::vector<qint64> steps;
    steps.reserve(size_t(std::max<qsizetype>(samples.size() - 1, 0)));
    for (qsizetype i = 1; i < samples.size(); ++i) {
        const qint64 step = samples[i].timeMs - samples[i - 1].timeMs;
        if (step > 0)
            steps.push_back(step);
    }
    if (steps.empty())
        return 0;
    const auto middle = steps.begin() + std::ptrdiff_t(steps.size() / 2);
    std::nth_element(steps.begin(), middle, steps.end());
    return *middle;
}

QList<qsizetype> segmentStarts(const QList<TrendSample> &samples)
{
    QList<qsizetype> starts;
    if (samples.isEmpty())
        return starts;
    starts.append(0);
    const double limit = kGapFactor * double(usualStepMs(samples));
    for (qsizetype i = 1; i < samples.size(); ++i) {
        if (double(samples[i].timeMs - samples[i - 1].timeMs) > limit)
            starts.append(i);
    }
    return starts;
}

qsizetype nearestIndex(const QList<TrendSample> &samples, qint64 timeMs)
{
    if (samples.isEmpty())
        return -1;
    const auto after = std::lower_bound(samples.begin(), samples.end(), timeMs,
                                        [](const TrendSample &s, qint64 t) { return s.timeMs < t; });
    if (after == samples.begin())
        return 0;
    if (after == samples.end())
        return samples.size() - 1;
    const auto before = after - 1;
    return (timeMs - before->timeMs <= after->timeMs - timeMs ? before : after) - samples.begin();
}

} // namespace TrendSeries
