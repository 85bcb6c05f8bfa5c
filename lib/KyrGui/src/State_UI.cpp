#include "KyrGui/State_UI.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace Kyr {

namespace {
QColor kindColor(int kind)
{
    switch (kind) {
    case State_UI::KindOk:
        return QColor(46, 139, 87);
    case State_UI::KindInactive:
        return QColor(128, 128, 128);
    case State_UI::KindInProgress:
        return QColor(218, 165, 32);
    default:
        return QColor(200, 40, 40);
    }
}
} // namespace

State_UI::State_UI(const QString &logFilePath, QWidget *parent)
    : QWidget(parent)
    , m_table(new QTableWidget(0, 3, this))
    , m_logLabel(new QLabel(this))
{
    setWindowTitle(tr("States"));
    m_table->setHorizontalHeaderLabels({tr("Name"), tr("State"), tr("Info")});
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_table, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        const int row = m_table->rowAt(pos.y());
        if (row >= 0 && row < m_records.size())
            emit sigContextMenuRequested(m_records[row].idx, m_records[row].subIdx,
                                         m_table->viewport()->mapToGlobal(pos));
    });
    m_logLabel->setText(tr("Log file: %1").arg(logFilePath));
    m_logLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_logLabel->setWordWrap(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addWidget(m_logLabel);
    resize(560, 260);
}

QString State_UI::kindText(int kind)
{
    switch (kind) {
    case KindOk:
        return tr("OK");
    case KindInactive:
        return tr("Inactive");
    case KindInProgress:
        return tr("In progress");
    default:
        return tr("Error");
    }
}

void State_UI::setStates(const QList<StateRecord> &records)
{
    m_records = records;
    m_table->setRowCount(int(m_records.size()));
    for (int row = 0; row < m_records.size(); ++row)
        showRow(row);
    m_table->resizeColumnsToContents();
}

void State_UI::setState(const StateRecord &record)
{
    for (int row = 0; row < m_records.size(); ++row) {
        if (m_records[row].idx == record.idx && m_records[row].subIdx == record.subIdx) {
            m_records[row] = record;
            showRow(row);
            return;
        }
    }
    m_records.append(record);
    m_table->setRowCount(int(m_records.size()));
    showRow(int(m_records.size()) - 1);
}

void State_UI::showRow(int row)
{
    const StateRecord &record = m_records[row];
    auto *state = new QTableWidgetItem(kindText(record.kind));
    state->setForeground(Qt::white);
    state->setBackground(kindColor(record.kind));
    state->setTextAlignment(Qt::AlignCenter);
    m_table->setItem(row, 0, new QTableWidgetItem(record.name));
    m_table->setItem(row, 1, state);
    auto *text = new QTableWidgetItem(record.text);
    text->setToolTip(record.text);
    m_table->setItem(row, 2, text);
}

void State_UI::closeEvent(QCloseEvent *event)
{
    event->accept();
    emit sigClosed();
}

} // namespace Kyr
