#pragma once
// The points in state error: point name -> last non-zero state code. A point is in state error
// exactly while it is in this table. Guarded by its own mutex (the status report reads it from
// its own thread).

#include <QHash>
#include <QMutex>
#include <QString>
#include <QStringList>

class StateErrorTable
{
public:
    // What the evaluation of one mail's statistics did to a point.
    enum class Change { None, Recovered, Entered, StillInError };

    void clear();
    void insert(const QString &aks, qint32 state);
    bool contains(const QString &aks) const;
    qint32 state(const QString &aks) const;
    int size() const;

    // Judges a point by the values of one mail: in error when (bad * 100) / values, in integer
    // arithmetic, reaches maxPercent. Enters, keeps (with lastBadState) or removes the point.
    Change evaluate(const QString &aks, int values, int badValues, qint32 lastBadState, int maxPercent);

    // "<point> State <code>[ - <text>]" for every point in error, sorted.
    QStringList stateErrorLines() const;

    // The text of a state code; empty when the code has none.
    static QString stateText(qint32 code);

private:
    mutable QMutex m_mutex;
    QHash<QString, qint32> m_states;
};
