#include "ui/DataMonitor.h"

#include "ui/LocaleTexts.h"
#include "ui/WindowGeometry.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QLocale>
#include <QMenu>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr int kRefreshMs = 300;
constexpr quint32 kInvalidBit = 0x10000;
constexpr int kMaxColumnWidth = 380;

// Sorts by the moment of arrival, whatever day the text form shows.
class ArrivalItem : public QTableWidgetItem
{
public:
    ArrivalItem()
        : QTableWidgetItem(LocaleTexts::dateTime(QDateTime::currentDateTime()))
        , m_msecs(QDateTime::currentMSecsSinceEpoch())
    {
    }
    bool operator<(const QTableWidgetItem &other) const override
    {
        if (const auto *arrival = dynamic_cast<const ArrivalItem *>(&other))
            return m_msecs < arrival->m_msecs;
        return QTableWidgetItem::operator<(other);
    }

private:
    qint64 m_msecs;
};
} // namespace

DataMonitor::DataMonitor(const QString &applicationName, const QString &name, const QString &title, QWidget *parent)
    : QWidget(parent)
    , m_settingsKey(applicationName + QStringLiteral("/DataMon/") + name)
    , m_table(new QTableWidget(0, 5, this))
{
    setWindowTitle(applicationName + QStringLiteral(" - ") + (title.isEmpty() ? name : title));
    m_table->setHorizontalHeaderLabels(
        {tr("Timestamp"), tr("DMS Point"), tr("ValueTimestamp"), tr("Value"), tr("State")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    // Newest on top also once sorting is back on; equal times keep their order.
    m_table->horizontalHeader()->setSortIndicator(0, Qt::DescendingOrder);
    m_table->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_table, &QWidget::customContextMenuRequested, this, &DataMonitor::onTableMenu);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    resize(980, 420);
    QSettings settings(QStringLiteral("KYR"), m_settingsKey);
    WindowGeometry::restore(this, settings);
    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(kRefreshMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, &DataMonitor::onRefreshTimer);
}

DataMonitor::~DataMonitor()
{
    QSettings settings(QStringLiteral("KYR"), m_settingsKey);
    WindowGeometry::store(this, settings);
}

QString DataMonitor::valueText(const DataParser::ValueRec &rec)
{
    QString text = QLocale().toString(rec.value, 'g', 15);
    if (!rec.unit.isEmpty())
        text += QStringLiteral(" (") + rec.unit + QLatin1Char(')');
    if (rec.increment)
        text += QStringLiteral(" [+]");
    return text;
}

QString DataMonitor::dbStateText(quint32 dbState)
{
    QString text;
    switch (dbState & 0xFF) {
    case 1:
        text = QStringLiteral("CYCLE");
        break;
    case 2:
        text = QStringLiteral("CHANGE");
        break;
    case 4:
        text = QStringLiteral("DIFF");
        break;
    case 16:
        text = QStringLiteral("NEWDATA");
        break;
    default:
        text = QStringLiteral("?");
    }
    if (dbState & kInvalidBit)
        text += QStringLiteral(" [INV]");
    return text;
}

void DataMonitor::onValueFromMail(DataParser::ValueRec valueRec)
{
    addRow(valueRec.iaks, valueRec, QString::number(valueRec.state));
}

void DataMonitor::onValueToDb(DataParser::ValueRec valueRec, quint32 dbState)
{
    const QString point = valueRec.iaks == valueRec.aks ? valueRec.aks
                                                        : valueRec.iaks + QStringLiteral("->") + valueRec.aks;
    addRow(point, valueRec, dbStateText(dbState));
}

void DataMonitor::addRow(const QString &point, const DataParser::ValueRec &rec, const QString &state)
{
    m_table->setSortingEnabled(false);
    m_table->insertRow(0);
    m_table->setItem(0, 0, new ArrivalItem);
    m_table->setItem(0, 1, new QTableWidgetItem(point));
    m_table->setItem(0, 2, new QTableWidgetItem(rec.timestamp.toString(Qt::ISODate)));
    m_table->setItem(0, 3, new QTableWidgetItem(valueText(rec)));
    m_table->setItem(0, 4, new QTableWidgetItem(state));
    while (m_table->rowCount() > kMaxRows)
        m_table->removeRow(m_table->rowCount() - 1);
    m_refreshTimer.start();
}

QString DataMonitor::pointOfRow(int row) const
{
    const QTableWidgetItem *item = m_table->item(row, 1);
    return item ? item->text().section(QStringLiteral("->"), -1) : QString();
}

void DataMonitor::onTableMenu(const QPoint &pos)
{
    const QTableWidgetItem *item = m_table->itemAt(pos);
    if (!item)
        return;
    const QString point = pointOfRow(item->row());
    QMenu menu;
    menu.addAction(tr("Show trend of %1").arg(point), this, [this, point] { emit sigTrendRequested(point); });
    menu.exec(m_table->viewport()->mapToGlobal(pos));
}

void DataMonitor::onRefreshTimer()
{
    m_table->resizeColumnsToContents();
    for (int column = 0; column < m_table->columnCount(); ++column)
        m_table->setColumnWidth(column, std::min(m_table->columnWidth(column), kMaxColumnWidth));
    m_table->resizeRowsToContents();
    m_table->setSortingEnabled(true);
}

void DataMonitor::closeEvent(QCloseEvent *event)
{
    event->accept();
    emit sigClosed();
}
