#pragma once
// A point's curve: pick points from the trend archive (a filter over the names), a time range
// (the last day, week, month, or from/to) and see their trend rows as a line chart; points share
// the chart when their units agree. Gaps stay gaps, rows whose state is not 0 are marked, dragging
// zooms, and the values nearest to the pointer are shown under the chart. Reads through a
// TrendReader of its own, never writing.

#include "trend/TrendCurves.h"

#include <QDateTime>
#include <QTimer>
#include <QWidget>

#include <memory>

class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class TrendChartView;

class TrendWindow : public QWidget
{
    Q_OBJECT
public:
    enum Range { LastDay, LastWeek, LastMonth, FromTo };

    TrendWindow(const QString &applicationName, std::unique_ptr<TrendReader> reader, QWidget *parent = nullptr);
    ~TrendWindow() override;

    // Lists the points whose name contains point and shows the one named so, when it is listed.
    void showPoint(const QString &point);
    // Reads and shows the points over from..to (the range becomes from/to).
    void showPoints(const QStringList &points, const QDateTime &from, const QDateTime &to);

    const TrendCurves &shownCurves() const { return m_shown; }
    QListWidget *pointList() const { return m_points; }
    QLabel *statusLabel() const { return m_status; }
    QLabel *pointerLabel() const { return m_pointer; }
    TrendChartView *chartView() const { return m_view; }

signals:
    void sigClosed();

public slots:
    void onFilter();
    void onShow();
    void onPointerAt(qint64 timeMs);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *makeControls();
    void selectPoints(const QStringList &points);
    void draw(const QStringList &points, const QDateTime &from, const QDateTime &to);
    QString statusText(qint64 elapsedMs) const;

    std::unique_ptr<TrendReader> m_reader;
    QString m_settingsKey;
    QLineEdit *m_filter = nullptr;
    QComboBox *m_range = nullptr;
    QDateTimeEdit *m_from = nullptr;
    QDateTimeEdit *m_to = nullptr;
    QListWidget *m_points = nullptr;
    TrendChartView *m_view = nullptr;
    QLabel *m_status = nullptr;
    QLabel *m_pointer = nullptr;
    QTimer m_filterTimer;
    TrendCurves m_shown;
};
