#pragma once
// Reads the trend archive for a point's curve: the points that have trend rows, with their unit,
// and the rows of one point between two instants. One implementation per kind of point store;
// each reads over a connection of its own that never writes, so the store's writer goes on
// undisturbed.

#include <QList>
#include <QString>

// One trend row: the instant in milliseconds since the epoch (UTC), the value and the state word
// that was written with it (write reason in the low byte, 65536 when the value's state is not 0).
struct TrendSample
{
    qint64 timeMs = 0;
    double value = 0;
    quint32 state = 0;
};

struct TrendPointInfo
{
    QString name;
    QString unit; // empty when the store keeps none for the point
};

class TrendReader
{
public:
    // Bounds on what one call reads: a filter that matches more names lists the first ones; a
    // range with more rows (ten years of quarter-hour values fit) reads the first ones and says so.
    static constexpr int kMaxListedPoints = 500;
    static constexpr int kMaxRowsPerPoint = 400000;

    struct Rows
    {
        QList<TrendSample> samples; // ordered by time
        bool truncated = false;     // more than kMaxRowsPerPoint rows lie in the range
    };

    virtual ~TrendReader() = default;

    // Points with trend rows whose name contains filter (any case; all when empty), by name, at
    // most kMaxListedPoints.
    virtual QList<TrendPointInfo> points(const QString &filter) = 0;
    // The unit kept for one point; empty when there is none.
    virtual QString unitOf(const QString &point) = 0;
    // The rows of point with fromMs <= time <= toMs.
    virtual Rows rows(const QString &point, qint64 fromMs, qint64 toMs) = 0;
    // The reason the last call failed; empty after a call that succeeded.
    virtual QString errorText() const = 0;
};
