#pragma once
// The program's permanent user interface: the tray icon with its menu, an icon that shows the
// instance's health (normal, stopped, blinking on errors), a tool tip with the next mail check,
// and the state window with one row per subsystem, whose context menus open the monitors, force
// a mail check or a report and start the offline tools. Everything here runs on the main thread.

#include "dms/DmsHandler.h"
#include "ui/Config_UI.h"
#include "ui/DataMonitor.h"
#include "ui/MailMonitor.h"
#include "ui/StateRows.h"
#include "ui/ToolDialogs.h"
#include "ui/TrendWindow.h"

#include <QDateTime>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>

#include "KyrGui/State_UI.h"

class AppMain;
class QAction;
class QMenu;

class TrayMenu : public QObject
{
    Q_OBJECT
public:
    enum Row {
        RowMail = StateRows::Mail,
        RowDms = StateRows::Dms,
        RowReporter = StateRows::Reporter,
        RowImport = StateRows::Import,
        RowSearch = StateRows::Search,
        RowExport = StateRows::Export
    };
    enum class ShownIcon { Normal, Stopped, Error };

    static constexpr int kBlinkMs = 500;
    static const QString kToolTipTitle;

    explicit TrayMenu(AppMain *app, QObject *parent = nullptr);
    ~TrayMenu() override;

    QSystemTrayIcon *trayIcon() const { return m_trayIcon; }
    QMenu *menu() const { return m_menu; }
    QAction *runningAction() const { return m_running; }
    ShownIcon shownIcon() const { return m_shownIcon; }
    bool isBlinking() const { return m_blinkTimer.isActive(); }

    Kyr::State_UI *stateWindow() const { return m_stateWindow; }
    Config_UI *configWindow() const { return m_configWindow; }
    DataMonitor *mailDataMonitor() const { return m_mailDataMonitor; }
    DataMonitor *dbDataMonitor() const { return m_dbDataMonitor; }
    MailMonitor *mailMonitor() const { return m_mailMonitor; }
    TrendWindow *trendWindow() const { return m_trendWindow; }

    // The context menu of a state row as it would open now (the caller owns it); null for a row
    // without one.
    QMenu *createStateMenu(int idx);

    void openMailMonitor();
    void openMailDataMonitor();
    void openDbDataMonitor();
    // The trend window on the project's point store; with a point, showing that point's curve.
    void openTrendWindow(const QString &point = {});
    // Modal parameter dialogs; on acceptance the matching sigStart... signal carries the tool's
    // parameter record.
    void openImportDialog();
    void openSearchDialog();
    void openExportToSQLiteDialog();
    void openExportToHdbxDialog();
    // Writes the status report text next to the other temporary files and opens it.
    void showReportText(const QString &text);

signals:
    // Requests for the handlers of the mail intake, the reporter and the offline tools.
    void sigForceMailCheck();
    void sigForceReport();
    void sigCurrentReportRequested();
    void sigMailMonitorOpened(MailMonitor *monitor);
    void sigStartImport(const ImportParams &params);
    void sigStartSearch(const SearchParams &params);
    void sigStartExportToSQLite(const ExportSqliteParams &params);
    void sigStartExportToHdbx(const ExportHdbxParams &params);

public slots:
    void onIconActivated(QSystemTrayIcon::ActivationReason reason);
    void onConfigure();
    void onCfgClosed();
    void onRunning();
    void onShowState();
    void onStateContextMenuRequested(int idx, int subIdx, const QPoint &pos);
    void onStateClosed();
    void onDataMonitorMailClosed();
    void onDataMonitorDbClosed();
    void onMailMonitorClosed();
    void onAbout();
    void onStateChanged(bool paused, DmsHandler::DmsState dmsState, QString mailError, QString repError);
    void onNextMailCheckDt(QDateTime dt);
    void onMailStateInfo(QString info);
    void onImportStateInfo(QString info);
    void onSearchStateInfo(QString info);
    void onExportStateInfo(QString info);
    void onDmsStateInfo(QString info);
    void onBlinkTimer();

private:
    void linkRequestsToHandlers();
    void showIcon(ShownIcon icon);
    void refresh();
    QList<Kyr::State_UI::StateRecord> stateRecords() const;
    void setRowText(int idx, const QString &name, const QString &text);
    QString applicationName() const;

    AppMain *m_app;
    DmsHandler::DmsState m_dmsState = DmsHandler::Down;
    QString m_mailError;
    QString m_repError;
    QDateTime m_nextCheck;
    QString m_importInfo;
    QString m_searchInfo;
    QString m_exportInfo;

    QIcon m_normalIcon;
    QIcon m_stoppedIcon;
    QIcon m_errorIcon;
    ShownIcon m_shownIcon = ShownIcon::Normal;
    QSystemTrayIcon *m_trayIcon = nullptr;
    QMenu *m_menu = nullptr;
    QAction *m_running = nullptr;
    QTimer m_blinkTimer;
    int m_blinkPhase = 0;

    QPointer<Config_UI> m_configWindow;
    QPointer<Kyr::State_UI> m_stateWindow;
    QPointer<MailMonitor> m_mailMonitor;
    QPointer<DataMonitor> m_mailDataMonitor;
    QPointer<DataMonitor> m_dbDataMonitor;
    QPointer<TrendWindow> m_trendWindow;
};
