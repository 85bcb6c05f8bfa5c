#include "ui/TrayMenu.h"

#include "AppMain.h"
#include "KyrGui/OrvaneAbout.h"
#include "config/ConfigFile.h"
#include "mail/MailHandler.h"
#include "report/MailSender.h"
#include "trend/SqliteTrendReader.h"
#include "ui/Config_UI.h"
#include "ui/DataMonitor.h"
#include "ui/MailMonitor.h"
#include "ui/StateRows.h"
#include "ui/StatusTexts.h"
#include "ui/UiResources.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QUrl>

#include <memory>

namespace {
bool serviceMode()
{
    return !qEnvironmentVariableIsEmpty("ServiceMode");
}

constexpr auto kQueuedUnique = Qt::ConnectionType(Qt::QueuedConnection | Qt::UniqueConnection);

template <typename Window>
void raise(Window *window)
{
    window->showNormal();
    window->activateWindow();
    window->raise();
}
} // namespace

const QString TrayMenu::kToolTipTitle = QStringLiteral("Orvane NG Quillon - 2.25");

TrayMenu::TrayMenu(AppMain *app, QObject *parent)
    : QObject(parent)
    , m_app(app)
    , m_importInfo(QStringLiteral("Idle"))
    , m_searchInfo(QStringLiteral("Idle"))
    , m_exportInfo(QStringLiteral("Idle"))
{
    m_menu = new QMenu;
    m_menu->addAction(tr("&Configure"), this, &TrayMenu::onConfigure);
    QAction *states = m_menu->addAction(tr("&States"), this, &TrayMenu::onShowState);
    m_menu->setDefaultAction(states);
    m_menu->addAction(tr("T&rend..."), this, [this] { openTrendWindow(); });
    m_menu->addSeparator();
    m_running = m_menu->addAction(tr("&Running"));
    m_running->setCheckable(true);
    m_running->setChecked(true);
    m_running->setEnabled(!serviceMode());
    connect(m_running, &QAction::triggered, this, &TrayMenu::onRunning);
    m_menu->addAction(tr("&Terminate"), qApp, &QCoreApplication::quit);
    m_menu->addSeparator();
    m_menu->addAction(tr("&About") + QLatin1Char(' ') + applicationName(), this, &TrayMenu::onAbout);

    m_trayIcon = new QSystemTrayIcon(this);
    m_trayIcon->setContextMenu(m_menu);
    connect(m_app, &AppMain::sigStateChanged, this, &TrayMenu::onStateChanged, Qt::QueuedConnection);
    connect(m_app, &AppMain::sigNextMailCheckDt, this, &TrayMenu::onNextMailCheckDt, kQueuedUnique);
    connect(m_trayIcon, &QSystemTrayIcon::activated, this, &TrayMenu::onIconActivated);
    m_normalIcon = UiResources::normalIcon();
    m_stoppedIcon = UiResources::stoppedIcon();
    m_errorIcon = UiResources::errorIcon();
    showIcon(ShownIcon::Normal);
    m_trayIcon->setToolTip(kToolTipTitle);
    linkRequestsToHandlers();
    QApplication::setWindowIcon(m_normalIcon);
    m_blinkTimer.setInterval(kBlinkMs);
    connect(&m_blinkTimer, &QTimer::timeout, this, &TrayMenu::onBlinkTimer);
    m_trayIcon->setVisible(true);
}

TrayMenu::~TrayMenu()
{
    delete m_configWindow;
    delete m_stateWindow;
    delete m_mailMonitor;
    delete m_mailDataMonitor;
    delete m_dbDataMonitor;
    delete m_trendWindow;
    delete m_menu;
}

QString TrayMenu::applicationName() const
{
    return m_app->applicationName();
}

void TrayMenu::showIcon(ShownIcon icon)
{
    m_shownIcon = icon;
    m_trayIcon->setIcon(icon == ShownIcon::Normal ? m_normalIcon : icon == ShownIcon::Stopped ? m_stoppedIcon : m_errorIcon);
}

// ---- tray and menu --------------------------------------------------------------------------

void TrayMenu::onIconActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::DoubleClick)
        onShowState();
    else if (reason == QSystemTrayIcon::MiddleClick)
        onConfigure();
}

void TrayMenu::onConfigure()
{
    if (!m_configWindow) {
        m_configWindow = new Config_UI(ConfigFile::configFilePath());
        connect(m_configWindow, &Config_UI::sigClosed, this, &TrayMenu::onCfgClosed);
    }
    raise(m_configWindow.data());
}

void TrayMenu::onCfgClosed()
{
    m_configWindow->deleteLater();
}

void TrayMenu::onRunning()
{
    if (m_running->isChecked())
        m_app->resume();
    else
        m_app->pause();
}

void TrayMenu::onAbout()
{
    Kyr::OrvaneAbout about(QStringLiteral("ORVANE-DMS/ISO 8859-1"), applicationName(), m_app->applicationVersion(),
                           m_normalIcon);
    about.exec();
}

// ---- state ----------------------------------------------------------------------------------

void TrayMenu::onStateChanged(bool paused, DmsHandler::DmsState dmsState, QString mailError, QString repError)
{
    m_dmsState = dmsState;
    m_mailError = mailError;
    m_repError = repError;
    // A pause or resume may come from the control channel as well as from the menu.
    m_running->setChecked(!paused);
    if (paused) {
        m_blinkTimer.stop();
        showIcon(ShownIcon::Stopped);
    } else if (!repError.isEmpty() || dmsState != DmsHandler::Idle || !mailError.isEmpty()) {
        if (!m_blinkTimer.isActive()) {
            showIcon(ShownIcon::Error);
            m_blinkPhase = 0;
            m_blinkTimer.start(kBlinkMs);
        }
    } else {
        m_blinkTimer.stop();
        showIcon(ShownIcon::Normal);
    }
    refresh();
}

void TrayMenu::onBlinkTimer()
{
    showIcon(m_blinkPhase == 1 ? ShownIcon::Error : ShownIcon::Normal);
    m_blinkPhase = 1 - m_blinkPhase;
}

void TrayMenu::onNextMailCheckDt(QDateTime dt)
{
    m_nextCheck = dt;
    refresh();
}

QList<Kyr::State_UI::StateRecord> TrayMenu::stateRecords() const
{
    return StateRows::build({m_running->isChecked(), m_dmsState, m_mailError, m_repError, m_nextCheck, m_importInfo,
                             m_searchInfo, m_exportInfo});
}

void TrayMenu::refresh()
{
    if (m_stateWindow)
        m_stateWindow->setStates(stateRecords());
    m_trayIcon->setToolTip(kToolTipTitle + QStringLiteral("\r\n") +
                           (m_nextCheck.isValid() ? tr("Next check ") + QLatin1Char(' ') + StateRows::checkTimeText(m_nextCheck)
                                                  : tr("Processing mails...")));
}

void TrayMenu::setRowText(int idx, const QString &name, const QString &text)
{
    if (m_stateWindow)
        m_stateWindow->setState({idx, -1, name, Kyr::State_UI::KindOk, text});
}

void TrayMenu::onMailStateInfo(QString info)
{
    setRowText(RowMail, tr("Mail"), StatusTexts::translated(info));
}

void TrayMenu::onDmsStateInfo(QString info)
{
    setRowText(RowDms, tr("DMS"), StatusTexts::translated(info));
}

void TrayMenu::onImportStateInfo(QString info)
{
    m_importInfo = info;
    setRowText(RowImport, tr("Import"), StatusTexts::translated(info));
}

void TrayMenu::onSearchStateInfo(QString info)
{
    m_searchInfo = info;
    setRowText(RowSearch, tr("Search"), StatusTexts::translated(info));
}

void TrayMenu::onExportStateInfo(QString info)
{
    m_exportInfo = info;
    setRowText(RowExport, tr("Export"), StatusTexts::translated(info));
}

// ---- state window ---------------------------------------------------------------------------

void TrayMenu::onShowState()
{
    if (!m_stateWindow) {
        const QString logFile = QDir(qEnvironmentVariable("ORVANE_CURRENT_LOG_LOCATION"))
                                    .filePath(applicationName() + QStringLiteral(".log"));
        m_stateWindow = new Kyr::State_UI(logFile);
        m_stateWindow->setWindowTitle(applicationName() + QStringLiteral(" - ") + tr("States"));
        m_stateWindow->setWindowIcon(m_normalIcon);
        connect(m_stateWindow, &Kyr::State_UI::sigClosed, this, &TrayMenu::onStateClosed);
        connect(m_stateWindow, &Kyr::State_UI::sigContextMenuRequested, this, &TrayMenu::onStateContextMenuRequested);
        if (DmsHandler *dms = m_app->dmsHandler())
            connect(dms, &DmsHandler::sigDmsInfo, this, &TrayMenu::onDmsStateInfo, kQueuedUnique);
        if (MailHandler *mail = m_app->mailHandler())
            connect(mail, &MailHandler::sigMailInfo, this, &TrayMenu::onMailStateInfo, kQueuedUnique);
        const auto showInfo = [this](ToolThread *tool, void (TrayMenu::*slot)(QString)) {
            if (tool)
                connect(tool, &ToolThread::sigInfo, this, slot, kQueuedUnique);
        };
        showInfo(m_app->importHandler(), &TrayMenu::onImportStateInfo);
        showInfo(m_app->searchHandler(), &TrayMenu::onSearchStateInfo);
        showInfo(m_app->exportFileToSQLiteHandler(), &TrayMenu::onExportStateInfo);
        showInfo(m_app->exportSQLiteToHdbxHandler(), &TrayMenu::onExportStateInfo);
    }
    refresh();
    raise(m_stateWindow.data());
}

void TrayMenu::onStateClosed()
{
    m_stateWindow->deleteLater();
}

// The requests go to whichever handler runs when they are made: a reload replaces the handlers.
void TrayMenu::linkRequestsToHandlers()
{
    connect(this, &TrayMenu::sigForceMailCheck, this, [this] {
        if (MailHandler *mail = m_app->mailHandler())
            mail->forceMailCheck();
    });
    connect(this, &TrayMenu::sigForceReport, this, [this] {
        if (MailSender *sender = m_app->mailSender())
            sender->forceReport();
    });
    connect(this, &TrayMenu::sigCurrentReportRequested, this, [this] {
        if (MailSender *sender = m_app->mailSender())
            showReportText(sender->lastReportText());
    });
    connect(this, &TrayMenu::sigMailMonitorOpened, this, [this](MailMonitor *monitor) {
        if (MailHandler *mail = m_app->mailHandler())
            connect(mail, &MailHandler::sigMailChecked, monitor, &MailMonitor::onMailChecked, kQueuedUnique);
    });
    connect(this, &TrayMenu::sigStartImport, this, [this](const ImportParams &p) {
        if (ImportHandler *tool = m_app->importHandler())
            tool->start(p);
    });
    connect(this, &TrayMenu::sigStartSearch, this, [this](const SearchParams &p) {
        if (SearchHandler *tool = m_app->searchHandler())
            tool->start(p);
    });
    connect(this, &TrayMenu::sigStartExportToSQLite, this, [this](const ExportSqliteParams &p) {
        if (ExportFileToSQLiteHandler *tool = m_app->exportFileToSQLiteHandler())
            tool->start(p);
    });
    connect(this, &TrayMenu::sigStartExportToHdbx, this, [this](const ExportHdbxParams &p) {
        if (ExportSQLiteToHdbxHandler *tool = m_app->exportSQLiteToHdbxHandler())
            tool->start(p);
    });
}

QMenu *TrayMenu::createStateMenu(int idx)
{
    DmsHandler *dms = m_app->dmsHandler();
    auto menu = std::make_unique<QMenu>();
    switch (idx) {
    case RowMail:
        if (serviceMode())
            return nullptr;
        menu->addAction(tr("Mail monitor"), this, &TrayMenu::openMailMonitor);
        menu->addAction(tr("Force mail check"), this, &TrayMenu::sigForceMailCheck);
        break;
    case RowDms:
        menu->addAction(tr("Mail Data monitor"), this, &TrayMenu::openMailDataMonitor);
        menu->addAction(tr("DB Data monitor"), this, &TrayMenu::openDbDataMonitor);
        break;
    case RowReporter:
        if (serviceMode())
            return nullptr;
        menu->addAction(tr("Current report"), this, &TrayMenu::sigCurrentReportRequested);
        menu->addAction(tr("Force report"), this, &TrayMenu::sigForceReport);
        break;
    case RowImport:
        menu->addAction(tr("Start import..."), this, &TrayMenu::openImportDialog)
            ->setEnabled(dms && m_app->dmsState() == DmsHandler::Idle && dms->isReady() && m_app->importHandler()
                         && !m_app->importHandler()->isBusy());
        break;
    case RowSearch:
        menu->addAction(tr("Start search..."), this, &TrayMenu::openSearchDialog)
            ->setEnabled(dms && m_app->searchHandler() && !m_app->searchHandler()->isBusy());
        menu->addAction(tr("Open result file"), this, [this] {
            QDesktopServices::openUrl(QUrl::fromLocalFile(SearchCfg::storedOutput(applicationName())));
        });
        break;
    case RowExport: {
        // Both exports share one database connection name: one runs at a time.
        const bool exportRunning = (m_app->exportFileToSQLiteHandler() && m_app->exportFileToSQLiteHandler()->isBusy())
                                   || (m_app->exportSQLiteToHdbxHandler() && m_app->exportSQLiteToHdbxHandler()->isBusy());
        menu->addAction(tr("Start export EMails/Files to SQLite DB..."), this, &TrayMenu::openExportToSQLiteDialog)
            ->setEnabled(dms && !exportRunning);
        menu->addAction(tr("Start export SQLite DB to PDBS .hdbx files..."), this, &TrayMenu::openExportToHdbxDialog)
            ->setEnabled(dms && !exportRunning);
        break;
    }
    default:
        return nullptr;
    }
    return menu.release();
}

void TrayMenu::onStateContextMenuRequested(int idx, int, const QPoint &pos)
{
    std::unique_ptr<QMenu> menu(createStateMenu(idx));
    if (menu)
        menu->exec(pos);
}

// ---- monitors -------------------------------------------------------------------------------

void TrayMenu::openMailMonitor()
{
    if (!m_mailMonitor) {
        m_mailMonitor = new MailMonitor(applicationName());
        m_mailMonitor->setWindowIcon(m_normalIcon);
        connect(m_mailMonitor, &MailMonitor::sigClosed, this, &TrayMenu::onMailMonitorClosed);
        emit sigMailMonitorOpened(m_mailMonitor);
    }
    raise(m_mailMonitor.data());
}

void TrayMenu::openMailDataMonitor()
{
    if (!m_mailDataMonitor) {
        m_mailDataMonitor = new DataMonitor(applicationName(), QStringLiteral("Mail Data monitor"), tr("Mail Data monitor"));
        m_mailDataMonitor->setWindowIcon(m_normalIcon);
        connect(m_mailDataMonitor, &DataMonitor::sigClosed, this, &TrayMenu::onDataMonitorMailClosed);
        connect(m_mailDataMonitor, &DataMonitor::sigTrendRequested, this, &TrayMenu::openTrendWindow);
        if (DmsHandler *dms = m_app->dmsHandler())
            connect(dms, &DmsHandler::sigValueFromMail, m_mailDataMonitor, &DataMonitor::onValueFromMail, kQueuedUnique);
    }
    raise(m_mailDataMonitor.data());
}

void TrayMenu::openDbDataMonitor()
{
    if (!m_dbDataMonitor) {
        m_dbDataMonitor = new DataMonitor(applicationName(), QStringLiteral("DB Data monitor"), tr("DB Data monitor"));
        m_dbDataMonitor->setWindowIcon(m_normalIcon);
        connect(m_dbDataMonitor, &DataMonitor::sigClosed, this, &TrayMenu::onDataMonitorDbClosed);
        connect(m_dbDataMonitor, &DataMonitor::sigTrendRequested, this, &TrayMenu::openTrendWindow);
        if (DmsHandler *dms = m_app->dmsHandler())
            connect(dms, &DmsHandler::sigValueToDb, m_dbDataMonitor, &DataMonitor::onValueToDb, kQueuedUnique);
    }
    raise(m_dbDataMonitor.data());
}

void TrayMenu::openTrendWindow(const QString &point)
{
    if (!m_trendWindow) {
        m_trendWindow = new TrendWindow(applicationName(),
                                        std::make_unique<SqliteTrendReader>(SqliteTrendReader::projectStorePath()));
        m_trendWindow->setWindowIcon(m_normalIcon);
        connect(m_trendWindow, &TrendWindow::sigClosed, m_trendWindow, &QObject::deleteLater);
    }
    if (!point.isEmpty())
        m_trendWindow->showPoint(point);
    raise(m_trendWindow.data());
}

void TrayMenu::onDataMonitorMailClosed()
{
    m_mailDataMonitor->deleteLater();
}

void TrayMenu::onDataMonitorDbClosed()
{
    m_dbDataMonitor->deleteLater();
}

void TrayMenu::onMailMonitorClosed()
{
    m_mailMonitor->deleteLater();
}

void TrayMenu::showReportText(const QString &text)
{
    QFile file(QDir::tempPath() + QLatin1Char('/') + applicationName() + QStringLiteral("_r.txt"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    file.write(text.toLatin1());
    file.close();
    QDesktopServices::openUrl(QUrl::fromLocalFile(file.fileName()));
}

// ---- tool dialogs ---------------------------------------------------------------------------

void TrayMenu::openImportDialog()
{
    ImportCfg dialog(applicationName());
    if (dialog.exec() == QDialog::Accepted)
        emit sigStartImport(dialog.values());
}

void TrayMenu::openSearchDialog()
{
    SearchCfg dialog(applicationName());
    if (dialog.exec() == QDialog::Accepted)
        emit sigStartSearch(dialog.values());
}

void TrayMenu::openExportToSQLiteDialog()
{
    ExportFileToSQLiteCfg dialog(applicationName());
    if (dialog.exec() == QDialog::Accepted)
        emit sigStartExportToSQLite(dialog.values());
}

void TrayMenu::openExportToHdbxDialog()
{
    ExportSQLiteToHdbxCfg dialog(applicationName());
    if (dialog.exec() == QDialog::Accepted)
        emit sigStartExportToHdbx(dialog.values());
}
