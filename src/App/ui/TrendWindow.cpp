#include "ui/TrendWindow.h"

#include "trend/TrendChart.h"
#include "trend/TrendSeries.h"
#include "ui/TrendChartView.h"
#include "ui/WindowGeometry.h"

#include <QChart>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

namespace {
constexpr int kFilterDelayMs = 250; // typing a name reads the list once, after a pause
const QString kEditFormat = QStringLiteral("dd.MM.yyyy HH:mm");
} // namespace

TrendWindow::TrendWindow(const QString &applicationName, std::unique_ptr<TrendReader> reader, QWidget *parent)
    : QWidget(parent)
    , m_reader(std::move(reader))
    , m_settingsKey(applicationName + QStringLiteral("/Trend"))
    , m_points(new QListWidget)
    , m_view(new TrendChartView)
    , m_status(new QLabel)
    , m_pointer(new QLabel)
{
    setWindowTitle(applicationName + QStringLiteral(" - ") + tr("Trend"));
    m_points->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto *splitter = new QSplitter;
    splitter->addWidget(m_points);
    splitter->addWidget(m_view);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({260, 900});
    m_pointer->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(makeControls());
    layout->addWidget(splitter, 1);
    layout->addWidget(m_pointer);
    layout->addWidget(m_status);
    resize(1200, 640);
    QSettings settings(QStringLiteral("KYR"), m_settingsKey);
    WindowGeometry::restore(this, settings);

    m_filterTimer.setSingleShot(true);
    m_filterTimer.setInterval(kFilterDelayMs);
    connect(&m_filterTimer, &QTimer::timeout, this, &TrendWindow::onFilter);
    connect(m_filter, &QLineEdit::textChanged, &m_filterTimer, qOverload<>(&QTimer::start));
    connect(m_points, &QListWidget::itemSelectionChanged, this, &TrendWindow::onShow);
    connect(m_view, &TrendChartView::sigPointerAt, this, &TrendWindow::onPointerAt);
    connect(m_view, &TrendChartView::sigPointerLeft, m_pointer, &QLabel::clear);
    onFilter();
    draw({}, QDateTime::currentDateTime().addDays(-7), QDateTime::currentDateTime());
}

TrendWindow::~TrendWindow()
{
    QSettings settings(QStringLiteral("KYR"), m_settingsKey);
    WindowGeometry::store(this, settings);
}

QWidget *TrendWindow::makeControls()
{
    m_filter = new QLineEdit;
    m_filter->setPlaceholderText(tr("Filter point names"));
    m_filter->setClearButtonEnabled(true);
    m_range = new QComboBox;
    m_range->addItems({tr("Last day"), tr("Last week"), tr("Last month"), tr("From/to")});
    m_range->setCurrentIndex(LastWeek);
    const QDateTime now = QDateTime::currentDateTime();
    m_from = new QDateTimeEdit(now.addDays(-7));
    m_to = new QDateTimeEdit(now);
    for (QDateTimeEdit *edit : {m_from, m_to}) {
        edit->setDisplayFormat(kEditFormat);
        edit->setCalendarPopup(true);
        edit->setEnabled(false);
    }
    auto *show = new QPushButton(tr("Show"));
    auto *resetZoom = new QPushButton(tr("Reset zoom"));
    resetZoom->setToolTip(tr("Drag across the chart to zoom into a time span; right click zooms out."));
    connect(m_range, &QComboBox::currentIndexChanged, this, [this](int range) {
        m_from->setEnabled(range == FromTo);
        m_to->setEnabled(range == FromTo);
        onShow();
    });
    connect(show, &QPushButton::clicked, this, &TrendWindow::onShow);
    connect(resetZoom, &QPushButton::clicked, this, [this] { m_view->chart()->zoomReset(); });

    auto *controls = new QWidget;
    auto *row = new QHBoxLayout(controls);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(new QLabel(tr("Points:")));
    row->addWidget(m_filter, 1);
    row->addWidget(new QLabel(tr("Range:")));
    row->addWidget(m_range);
    row->addWidget(new QLabel(tr("From:")));
    row->addWidget(m_from);
    row->addWidget(new QLabel(tr("To:")));
    row->addWidget(m_to);
    row->addWidget(show);
    row->addWidget(resetZoom);
    return controls;
}

void TrendWindow::onFilter()
{
    m_points->blockSignals(true);
    m_points->clear();
    for (const TrendPointInfo &point : m_reader->points(m_filter->text())) {
        auto *item = new QListWidgetItem(point.unit.isEmpty() ? point.name
                                                              : point.name + QStringLiteral("  [") + point.unit + u']');
        item->setData(Qt::UserRole, point.name);
        m_points->addItem(item);
    }
    m_points->blockSignals(false);
    if (!m_reader->errorText().isEmpty())
        m_status->setText(m_reader->errorText());
}

void TrendWindow::selectPoints(const QStringList &points)
{
    m_points->blockSignals(true);
    for (int i = 0; i < m_points->count(); ++i)
        m_points->item(i)->setSelected(points.contains(m_points->item(i)->data(Qt::UserRole).toString()));
    m_points->blockSignals(false);
}

void TrendWindow::showPoint(const QString &point)
{
    m_filterTimer.stop();
    m_filter->blockSignals(true);
    m_filter->setText(point);
    m_filter->blockSignals(false);
    onFilter();
    selectPoints({point});
    onShow();
}

void TrendWindow::showPoints(const QStringList &points, const QDateTime &from, const QDateTime &to)
{
    m_range->blockSignals(true);
    m_range->setCurrentIndex(FromTo);
    m_range->blockSignals(false);
    m_from->setEnabled(true);
    m_to->setEnabled(true);
    m_from->setDateTime(from);
    m_to->setDateTime(to);
    selectPoints(points);
    draw(points, from, to);
}

void TrendWindow::onShow()
{
    QStringList points;
    for (int i = 0; i < m_points->count(); ++i)
        if (m_points->item(i)->isSelected())
            points.append(m_points->item(i)->data(Qt::UserRole).toString());
    const QDateTime now = QDateTime::currentDateTime();
    switch (m_range->currentIndex()) {
    case LastDay:
        draw(points, now.addSecs(-24 * 3600), now);
        break;
    case LastWeek:
        draw(points, now.addDays(-7), now);
        break;
    case LastMonth:
        draw(points, now.addMonths(-1), now);
        break;
    default:
        draw(points, m_from->dateTime(), m_to->dateTime());
    }
}

void TrendWindow::draw(const QStringList &points, const QDateTime &from, const QDateTime &to)
{
    QElapsedTimer elapsed;
    elapsed.start();
    m_shown = TrendCurves::read(*m_reader, points, from.toMSecsSinceEpoch(), to.toMSecsSinceEpoch());
    QChart *chart = TrendChart::build(m_shown, from.toMSecsSinceEpoch(), to.toMSecsSinceEpoch());
    if (points.isEmpty())
        chart->setTitle(tr("Pick one or more points on the left"));
    QChart *previous = m_view->chart();
    m_view->setChart(chart);
    delete previous;
    m_pointer->clear();
    m_status->setText(statusText(elapsed.elapsed()));
}

QString TrendWindow::statusText(qint64 elapsedMs) const
{
    if (!m_shown.error.isEmpty())
        return m_shown.error;
    QStringList parts{tr("%n row(s)", nullptr, int(m_shown.rowCount())), tr("%n gap(s)", nullptr, m_shown.gapCount()),
                      tr("read in %1 ms").arg(elapsedMs)};
    if (!m_shown.otherUnit.isEmpty())
        parts.append(tr("left out for another unit: %1").arg(m_shown.otherUnit.join(QStringLiteral(", "))));
    for (const TrendCurve &curve : m_shown.curves)
        if (curve.truncated)
            parts.append(tr("%1: more than %2 rows in this range, the first ones are shown")
                             .arg(curve.point).arg(TrendReader::kMaxRowsPerPoint));
    return parts.join(QStringLiteral("; "));
}

void TrendWindow::onPointerAt(qint64 timeMs)
{
    QStringList texts;
    for (const TrendCurve &curve : std::as_const(m_shown.curves)) {
        const qsizetype i = TrendSeries::nearestIndex(curve.samples, timeMs);
        if (i < 0)
            continue;
        const TrendSample &s = curve.samples[i];
        QString text = curve.point + QStringLiteral(": ") + QLocale().toString(s.value, 'g', 15);
        if (!curve.unit.isEmpty())
            text += u' ' + curve.unit;
        text += QStringLiteral("  ") + TrendChart::localTimeText(s.timeMs);
        if (TrendSeries::stateNotZero(s))
            text += QStringLiteral("  ") + tr("(state not 0)");
        texts.append(text);
    }
    m_pointer->setText(texts.join(QStringLiteral("    ")));
}

void TrendWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
    emit sigClosed();
}
