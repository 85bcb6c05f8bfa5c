#include "ui/ScreenshotTour.h"

#include "AppMain.h"
#include "KyrGui/OrvaneAbout.h"
#include "mail/MailHandler.h"
#include "parsing/DataFileReader.h"
#include "ui/Config_UI.h"
#include "ui/DataMonitor.h"
#include "ui/MailMonitor.h"
#include "ui/ScriptTest.h"
#include "ui/ToolDialogs.h"
#include "ui/TrayMenu.h"
#include "ui/TrendWindow.h"
#include "ui/UiResources.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>

namespace {
constexpr int kPollMs = 100;
constexpr int kMaxWaitRounds = 300; // 30 s for the DMS link and the values
constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024; // demo files are small
constexpr int kMailCheckWaitMs = 180000;           // the first mail check comes 20 s after the start
} // namespace

ScreenshotTour::ScreenshotTour(AppMain *app, TrayMenu *tray, const QString &folder, const QStringList &dataFiles)
    : QObject(tray)
    , m_app(app)
    , m_tray(tray)
    , m_folder(folder)
    , m_dataFiles(dataFiles)
{
    m_folder.mkpath(QStringLiteral("."));
}

void ScreenshotTour::start()
{
    DmsHandler *dms = m_app->dmsHandler();
    if ((!dms || !dms->isReady()) && ++m_waitRounds < kMaxWaitRounds) {
        QTimer::singleShot(kPollMs, this, &ScreenshotTour::start);
        return;
    }
    m_tray->onShowState();
    m_tray->openMailMonitor();
    m_tray->openMailDataMonitor();
    m_tray->openDbDataMonitor();
    m_waitRounds = 0;
    if (MailHandler *mail = m_app->mailHandler(); mail && m_dataFiles.isEmpty()) {
        // The walk starts when the first mail check has ended (or after a while without).
        connect(mail, &MailHandler::sigMailChecked, this, [this](const QString &info) {
            if (info.startsWith(QLatin1String("End of mail check")))
                runOnce();
        }, Qt::QueuedConnection);
        QTimer::singleShot(kMailCheckWaitMs, this, &ScreenshotTour::runOnce);
        return;
    }
    feedValues();
    runOnce();
}

void ScreenshotTour::runOnce()
{
    if (m_ran)
        return;
    m_ran = true;
    run();
}

// Values of the data files go the way of a mail's values; the mail monitor gets one line per file.
void ScreenshotTour::feedValues()
{
    DmsHandler *dms = m_app->dmsHandler();
    for (const QString &path : std::as_const(m_dataFiles)) {
        QFile file(path);
        DataFileInput input;
        input.name = QFileInfo(path).fileName();
        if (!file.open(QIODevice::ReadOnly))
            continue;
        input.bytes = file.read(kMaxFileBytes);
        const DataFileResult result = DataFileReader::read(input);
        m_tray->mailMonitor()->onMailChecked(QStringLiteral("File ") + input.name, QString::fromUtf8(result.data),
                                             result.parsed ? QStringLiteral("Ok") : result.errorText);
        if (!dms)
            continue;
        for (const DataParser::ValueRec &rec : result.records)
            dms->addMailValue(rec);
    }
    if (dms && !m_dataFiles.isEmpty()) {
        DataParser::ValueRec end;
        end.iaks = QStringLiteral("ENDMAILCHECK");
        dms->addMailValue(end);
    }
}

void ScreenshotTour::run()
{
    // Wait until the written values have reached the database monitor.
    if (!m_dataFiles.isEmpty() && m_tray->dbDataMonitor()->table()->rowCount() == 0 && ++m_waitRounds < kMaxWaitRounds) {
        QTimer::singleShot(kPollMs, this, &ScreenshotTour::run);
        return;
    }
    QApplication::processEvents();
    for (DataMonitor *monitor : {m_tray->mailDataMonitor(), m_tray->dbDataMonitor()})
        monitor->onRefreshTimer();
    m_tray->mailMonitor()->onRefreshTimer();

    m_tray->menu()->adjustSize();
    save(m_tray->menu(), QStringLiteral("tray-menu"));
    save(m_tray->stateWindow(), QStringLiteral("state-window"));
    save(m_tray->mailMonitor(), QStringLiteral("mail-monitor"));
    save(m_tray->mailDataMonitor(), QStringLiteral("mail-data-monitor"));
    save(m_tray->dbDataMonitor(), QStringLiteral("db-data-monitor"));
    saveTrendWindow();
    for (int row : {TrayMenu::RowMail, TrayMenu::RowDms, TrayMenu::RowImport, TrayMenu::RowSearch}) {
        std::unique_ptr<QMenu> menu(m_tray->createStateMenu(row));
        if (menu) {
            menu->adjustSize();
            save(menu.get(), QStringLiteral("state-menu-%1").arg(row));
        }
    }

    m_tray->onConfigure();
    Config_UI *editor = m_tray->configWindow();
    for (int tab = 0; tab < editor->tabs()->count(); ++tab) {
        editor->tabs()->setCurrentIndex(tab);
        QString name = editor->tabs()->tabBar()->tabData(tab).toString().toLower();
        name.replace(QRegularExpression(QStringLiteral("[^a-z]+")), QStringLiteral("-"));
        save(editor, QStringLiteral("config-") + name);
    }

    ScriptTest tester(m_app->applicationName());
    tester.field(QStringLiteral("IAKS"))->setText(QStringLiteral("Site:Meter7:Energy"));
    tester.field(QStringLiteral("Value"))->setText(QStringLiteral("1.5"));
    tester.scriptField()->setPlainText(QStringLiteral("=IAKS2 + ':' + (Value * 2)"));
    tester.show();
    tester.onEvaluate();
    save(&tester, QStringLiteral("script-tester"));

    ImportCfg import(m_app->applicationName());
    save(&import, QStringLiteral("dialog-import"));
    SearchCfg search(m_app->applicationName());
    save(&search, QStringLiteral("dialog-search"));
    ExportFileToSQLiteCfg toSQLite(m_app->applicationName());
    save(&toSQLite, QStringLiteral("dialog-export-sqlite"));
    ExportSQLiteToHdbxCfg toHdbx(m_app->applicationName());
    save(&toHdbx, QStringLiteral("dialog-export-hdbx"));
    Kyr::OrvaneAbout about(QStringLiteral("ORVANE-DMS/ISO 8859-1"), m_app->applicationName(),
                           m_app->applicationVersion(), UiResources::normalIcon());
    save(&about, QStringLiteral("about"));

    editor->setWindowModified(false);
    QCoreApplication::quit();
}

void ScreenshotTour::saveTrendWindow()
{
    m_tray->openTrendWindow(qEnvironmentVariable("QUILLON_SCREENSHOT_TREND"));
    TrendWindow *window = m_tray->trendWindow();
    for (const TrendCurve &curve : window->shownCurves().curves)
        if (!curve.samples.isEmpty())
            window->onPointerAt(curve.samples[curve.samples.size() / 2].timeMs);
    save(window, QStringLiteral("trend-window"));
}

void ScreenshotTour::save(QWidget *widget, const QString &name)
{
    if (!widget->isVisible() && !qobject_cast<QMenu *>(widget))
        widget->show();
    QApplication::processEvents();
    widget->grab().save(m_folder.filePath(name + QStringLiteral(".png")));
}
