#include "ui/TrendChartView.h"

#include <QMouseEvent>

TrendChartView::TrendChartView(QWidget *parent) : QChartView(parent)
{
    setRubberBand(QChartView::HorizontalRubberBand);
    setRenderHint(QPainter::Antialiasing);
    setMouseTracking(true);
}

void TrendChartView::mouseMoveEvent(QMouseEvent *event)
{
    QChartView::mouseMoveEvent(event);
    const QPointF inChart = chart()->mapFromScene(mapToScene(event->position().toPoint()));
    if (chart()->series().isEmpty() || !chart()->plotArea().contains(inChart)) {
        emit sigPointerLeft();
        return;
    }
    emit sigPointerAt(qint64(chart()->mapToValue(inChart).x()));
}

void TrendChartView::leaveEvent(QEvent *event)
{
    QChartView::leaveEvent(event);
    emit sigPointerLeft();
}
