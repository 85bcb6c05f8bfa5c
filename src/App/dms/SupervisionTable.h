#pragma once
// The supervision records of the points the DMS handler writes, kept across mails: the time of
// each point's last update and its trend state. Guarded by its own mutex: the value path and the
// last-update timer change it, the status report reads it from its own thread.

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>

struct SupervisionRecord
{
    // Times are seconds since the epoch in 64 bits, so that they hold beyond 2038.
    qint64 lastUpdate = 0;     // negative: expired (the negated time)
    qint32 cycle = 900;        // trend cycle, seconds
    double tolerance = 0.0;    // trend tolerance
    double heldValue = 0.0;    // value repeated on the trend grid
    qint64 slot = 0;           // current grid slot
    double lastTrendValue = 0.0;
    qint64 lastTrendTime = 0;
};

class SupervisionTable
{
public:
    struct Expired
    {
        QString aks;
        qint64 lastUpdate; // the time that expired (positive)
    };

    void clear();
    void insert(const QString &aks, const SupervisionRecord &rec);
    // Copies the record of a point; false when there is none.
    bool find(const QString &aks, SupervisionRecord &rec) const;
    bool contains(const QString &aks) const;
    int size() const;

    // Marks every record whose positive last update plus maxAgeSeconds lies before now as
    // expired (negates it) and returns those points.
    QList<Expired> expire(qint64 now, qint64 maxAgeSeconds);
    // Sets a point's last update, creating its record when missing.
    void setLastUpdate(const QString &aks, qint64 lastUpdate);
    // Number of expired points.
    int expiredCount() const;
    // "Last update: <ISO 8601 local time> - <point>" for every expired point, sorted.
    QStringList expiredPointLines() const;

private:
    mutable QMutex m_mutex;
    QHash<QString, SupervisionRecord> m_records;
};
