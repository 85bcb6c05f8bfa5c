#pragma once
// The view of a trend chart: dragging across it zooms into that time span (right click zooms
// out), and the pointer's instant is reported while it is over the plot area, so the window can
// show the values there.

#include <QChartView>

class TrendChartView : public QChartView
{
    Q_OBJECT
public:
    explicit TrendChartView(QWidget *parent = nullptr);

signals:
    void sigPointerAt(qint64 timeMs);
    void sigPointerLeft();

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
};
