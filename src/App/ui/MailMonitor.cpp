#include "ui/MailMonitor.h"

#include "ui/LocaleTexts.h"
#include "ui/WindowGeometry.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr int kRefreshMs = 300;
constexpr int kFullTextRole = Qt::UserRole;
constexpr int kMaxColumnWidth = 320;
} // namespace

MailMonitor::MailMonitor(const QString &applicationName, QWidget *parent)
    : QWidget(parent)
    , m_settingsKey(applicationName + QStringLiteral("/MailMon"))
    , m_table(new QTableWidget(0, 4, this))
    , m_hideSuccessful(new QCheckBox(tr("Do not show successful mails"), this))
{
    setObjectName(QStringLiteral("Mail monitor"));
    setWindowTitle(applicationName + QStringLiteral(" - ") + tr("Mail monitor"));
    m_table->setHorizontalHeaderLabels({tr("Timestamp"), tr("Info"), tr("Data"), tr("Result")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    connect(m_table, &QTableWidget::itemClicked, this, &MailMonitor::onItemClicked);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_hideSuccessful);
    layout->addWidget(m_table);
    resize(980, 420);
    QSettings settings(QStringLiteral("KYR"), m_settingsKey);
    WindowGeometry::restore(this, settings);
    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(kRefreshMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, &MailMonitor::onRefreshTimer);
}

MailMonitor::~MailMonitor()
{
    QSettings settings(QStringLiteral("KYR"), m_settingsKey);
    WindowGeometry::store(this, settings);
}

QString MailMonitor::shortText(const QString &text)
{
    QString flat = text;
    flat.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    return flat.left(kShownChars) + QStringLiteral("...");
}

QString MailMonitor::cellFilePath()
{
    return QDir::tempPath() + QStringLiteral("/Quillon.txt");
}

void MailMonitor::onMailChecked(QString info, QString data, QString result)
{
    if (m_hideSuccessful->isChecked() && result == QLatin1String("Ok"))
        return;
    m_table->insertRow(0);
    m_table->setItem(0, 0, new QTableWidgetItem(LocaleTexts::dateTime(QDateTime::currentDateTime())));
    int column = 1;
    for (const QString &text : {info, data}) {
        auto *item = new QTableWidgetItem(shortText(text));
        item->setData(kFullTextRole, text);
        m_table->setItem(0, column++, item);
    }
    m_table->setItem(0, 3, new QTableWidgetItem(result));
    while (m_table->rowCount() > kMaxRows)
        m_table->removeRow(m_table->rowCount() - 1);
    m_refreshTimer.start();
}

void MailMonitor::onItemClicked(QTableWidgetItem *item)
{
    const QVariant full = item->data(kFullTextRole);
    QFile file(cellFilePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    file.write((full.isValid() ? full.toString() : item->text()).toLatin1());
    file.close();
    QDesktopServices::openUrl(QUrl::fromLocalFile(file.fileName()));
}

void MailMonitor::onRefreshTimer()
{
    m_table->resizeColumnsToContents();
    for (int column = 0; column < m_table->columnCount(); ++column)
        m_table->setColumnWidth(column, std::min(m_table->columnWidth(column), kMaxColumnWidth));
    m_table->resizeRowsToContents();
}

void MailMonitor::closeEvent(QCloseEvent *event)
{
    event->accept();
    emit sigClosed();
}
