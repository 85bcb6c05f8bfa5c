#include "trend/TrendChart.h"

#include "trend/TrendSeries.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLegendMarker>
#include <QLocale>
#include <QLineSeries>
#include <QScatterSeries>
#include <QTimeZone>
#include <QValueAxis>

#include <algorithm>

namespace {

constexpr qint64 kDayMs = 24 * 3600 * 1000;
constexpr double kValueMargin = 0.05; // of the value span, above and below the curves
const QList<QColor> kCurveColors = {QColor(0x1f, 0x77, 0xb4), QColor(0x2c, 0xa0, 0x2c), QColor(0x94, 0x67, 0xbd),
                                    QColor(0xff, 0x7f, 0x0e), QColor(0x17, 0xbe, 0xcf), QColor(0x8c, 0x56, 0x4b)};
const QColor kMarkColor(0xd6, 0x27, 0x28);

struct Span
{
    qint64 firstMs = TrendChart::kOpenEnd;
    qint64 lastMs = TrendChart::kOpenStart;
    double low = 0;
    double high = 0;
};

Span spanOf(const TrendCurves &curves)
{
    Span span;
    bool any = false;
    for (const TrendCurve &curve : curves.curves) {
        for (const TrendSample &s : curve.samples) {
            span.low = any ? std::min(span.low, s.value) : s.value;
            span.high = any ? std::max(span.high, s.value) : s.value;
            any = true;
        }
        if (!curve.samples.isEmpty()) {
            span.firstMs = std::min(span.firstMs, curve.samples.first().timeMs);
            span.lastMs = std::max(span.lastMs, curve.samples.last().timeMs);
        }
    }
    const double margin = span.high > span.low ? (span.high - span.low) * kValueMargin : 1.0;
    span.low -= margin;
    span.high += margin;
    return span;
}

// A series on both axes, its legend entry shown only when it is the curve's first.
void attach(QChart *chart, QXYSeries *series, const QList<QAbstractAxis *> &axes, bool inLegend)
{
    chart->addSeries(series);
    for (QAbstractAxis *axis : axes)
        series->attachAxis(axis);
    if (!inLegend)
        for (QLegendMarker *marker : chart->legend()->markers(series))
            marker->setVisible(false);
}

QScatterSeries *dots(const QColor &color, qreal size)
{
    auto *series = new QScatterSeries;
    series->setColor(color);
    series->setBorderColor(color);
    series->setMarkerSize(size);
    return series;
}

// One curve: a line per segment, a dot for a row alone, a red mark per row whose state is not 0.
void addCurve(QChart *chart, const TrendCurve &curve, const QColor &color, const QList<QAbstractAxis *> &axes,
              bool severalCurves)
{
    const QList<qsizetype> &starts = curve.segmentStarts;
    QScatterSeries *single = dots(color, 5);
    bool named = false;
    for (qsizetype k = 0; k < starts.size(); ++k) {
        const qsizetype begin = starts[k];
        const qsizetype end = k + 1 < starts.size() ? starts[k + 1] : curve.samples.size();
        if (end - begin == 1) {
            single->append(double(curve.samples[begin].timeMs), curve.samples[begin].value);
            continue;
        }
        QList<QPointF> points;
        points.reserve(end - begin);
        for (qsizetype i = begin; i < end; ++i)
            points.append(QPointF(double(curve.samples[i].timeMs), curve.samples[i].value));
        auto *line = new QLineSeries;
        line->setName(curve.point);
        line->setPen(QPen(color, 1.5));
        line->replace(points);
        attach(chart, line, axes, !named);
        named = true;
    }
    single->setName(curve.point);
    attach(chart, single, axes, !named);

    QScatterSeries *marks = dots(kMarkColor, 8);
    marks->setName(severalCurves ? TrendChart::tr("%1: state not 0").arg(curve.point) : TrendChart::tr("State not 0"));
    for (const TrendSample &s : curve.samples)
        if (TrendSeries::stateNotZero(s))
            marks->append(double(s.timeMs), s.value);
    attach(chart, marks, axes, marks->count() > 0);
}

// The time axis over first..last widened to whole local hours (up to two days) or days, with a
// tick on every kth of them, so the labels read as round times. Ticks are spaced evenly in time:
// after a clock change in the range a day's tick sits an hour off midnight, and says so.
struct TimeTicks
{
    QDateTime begin;
    QDateTime end;
    int tickCount = 2;
    QString format;
};

TimeTicks roundTicks(qint64 first, qint64 last)
{
    constexpr int kMaxTicks = 13;
    constexpr qint64 kHourMs = 3600 * 1000;
    const qint64 span = last - first;
    const qint64 unit = span > 2 * kDayMs ? kDayMs : kHourMs;
    const QDateTime start = QDateTime::fromMSecsSinceEpoch(first);
    const QDateTime begin = unit == kDayMs ? start.date().startOfDay()
                                           : QDateTime(start.date(), QTime(start.time().hour(), 0));
    qint64 units = (last - begin.toMSecsSinceEpoch() + unit - 1) / unit;
    qint64 every = 1;
    while (units / every + 1 > kMaxTicks)
        ++every;
    units = (units + every - 1) / every * every;
    return {begin, begin.addMSecs(units * unit), int(units / every + 1),
            span > 62 * kDayMs ? QStringLiteral("dd.MM.yyyy") : QStringLiteral("dd.MM. HH:mm")};
}

} // namespace

QString TrendChart::localTimeText(qint64 timeMs)
{
    return QDateTime::fromMSecsSinceEpoch(timeMs).toString(QStringLiteral("dd.MM.yyyy HH:mm"));
}

QChart *TrendChart::build(const TrendCurves &curves, qint64 fromMs, qint64 toMs)
{
    const Span span = spanOf(curves);
    const qint64 first = fromMs != kOpenStart ? fromMs : span.firstMs;
    const qint64 last = toMs != kOpenEnd ? toMs : span.lastMs;
    const bool anyRows = curves.rowCount() > 0;

    auto *chart = new QChart;
    // Axis numbers in the chosen locale (a decimal comma in German); headless that is C.
    chart->setLocalizeNumbers(true);
    chart->setLocale(QLocale());
    QStringList names;
    for (const TrendCurve &curve : curves.curves)
        names.append(curve.point);
    const QString range = first <= last ? localTimeText(first) + QStringLiteral(" – ") + localTimeText(last) : QString();
    chart->setTitle(anyRows ? names.join(QStringLiteral(", ")) + QStringLiteral("   ") + range
                            : tr("No trend rows in this range") + QStringLiteral("   ") + range);
    chart->legend()->setAlignment(Qt::AlignBottom);

    auto *timeAxis = new QDateTimeAxis;
    timeAxis->setTitleText(tr("Local time (%1)").arg(QString::fromUtf8(QTimeZone::systemTimeZoneId())));
    auto *valueAxis = new QValueAxis;
    const QString unit = curves.curves.isEmpty() ? QString() : curves.curves.first().unit;
    valueAxis->setTitleText(unit.isEmpty() ? tr("Value (no unit)") : unit);
    chart->addAxis(timeAxis, Qt::AlignBottom);
    chart->addAxis(valueAxis, Qt::AlignLeft);
    for (qsizetype i = 0; i < curves.curves.size(); ++i)
        addCurve(chart, curves.curves[i], kCurveColors[i % kCurveColors.size()], {timeAxis, valueAxis},
                 curves.curves.size() > 1);
    if (first < last) {
        const TimeTicks ticks = roundTicks(first, last);
        timeAxis->setRange(ticks.begin, ticks.end);
        timeAxis->setTickCount(ticks.tickCount);
        timeAxis->setFormat(ticks.format);
    }
    valueAxis->setRange(span.low, span.high);
    valueAxis->applyNiceNumbers();
    return chart;
}

bool TrendChart::savePng(QChart *chart, const QSize &size, const QString &path)
{
    QChartView view(chart);
    view.setRenderHint(QPainter::Antialiasing);
    view.resize(size);
    return view.grab().save(path, "PNG");
}
