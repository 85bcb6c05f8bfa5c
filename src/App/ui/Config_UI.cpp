#include "ui/Config_UI.h"

#include "KyrGui/OrvaneAbout.h"
#include "ui/ConfigChecks.h"
#include "ui/ScriptTest.h"
#include "ui/UiResources.h"
#include "ui/WindowGeometry.h"
#include "ui/config/CryptoPage.h"
#include "ui/config/GeneralPage.h"
#include "ui/config/ImapPage.h"
#include "ui/config/ReportPage.h"
#include "ui/config/ServicePage.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QTabBar>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

Config_UI::Config_UI(const QString &configFilePath, QWidget *parent)
    : QMainWindow(parent)
    , m_path(configFilePath)
    , m_tabs(new QTabWidget(this))
{
    UiResources::init();
    setWindowTitle(QCoreApplication::applicationName() + QStringLiteral(" - ") + tr("Configuration") +
                   QStringLiteral(" [*]"));
    setWindowIcon(UiResources::normalIcon());
    QApplication::setWindowIcon(UiResources::normalIcon());
    addPages();

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->addWidget(m_tabs);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, central);
    connect(buttons, &QDialogButtonBox::accepted, this, &Config_UI::onOkPressed);
    connect(buttons, &QDialogButtonBox::rejected, this, &Config_UI::onCancelPressed);
    layout->addWidget(buttons);
    setCentralWidget(central);
    buildMenu();

    resize(860, 600);
    QSettings settings(QStringLiteral("KYR"), QStringLiteral("Rev2Od"));
    WindowGeometry::restore(this, settings);
    load();
}

void Config_UI::addPages()
{
    // Each tab keeps its English title as its data, which names it independent of the language.
    const std::pair<ConfigPage *, const char *> pages[] = {
        {new ImapPage, QT_TR_NOOP("IMAP")},
        {new CloudPage, QT_TR_NOOP("Cloud connection")},
        {new GeneralPage, QT_TR_NOOP("General")},
        {new CryptoPage, QT_TR_NOOP("Crypto")},
        {new DmsPage, QT_TR_NOOP("DMS / PDBS")},
        {new MappingPage, QT_TR_NOOP("Mapping")},
        {new OptionsPage, QT_TR_NOOP("Options")},
        {new RangeCheckPage, QT_TR_NOOP("Range check")},
        {new UsersPage, QT_TR_NOOP("Users")},
        {new ReportPage, QT_TR_NOOP("Mail reporting")},
        {new ServicePage, QT_TR_NOOP("Service")},
    };
    for (const auto &[page, title] : pages) {
        m_tabs->tabBar()->setTabData(m_tabs->addTab(page, tr(title)), QString::fromLatin1(title));
        m_pages.append(page);
        connect(page, &ConfigPage::changed, this, &Config_UI::onAnyChanged);
    }
}

void Config_UI::buildMenu()
{
    QMenu *file = menuBar()->addMenu(tr("&File"));
    file->addAction(tr("Close Window"), QKeySequence::Close, this, &QWidget::close);
    file->addAction(tr("Help"), QKeySequence::HelpContents, this, &Config_UI::onActionHelp);
    file->addAction(tr("About"), this, &Config_UI::onActionAbout);
    file->addAction(tr("Script Tester"), QKeySequence(Qt::CTRL | Qt::Key_T), this, &Config_UI::onScriptTester);
}

void Config_UI::load()
{
    m_loading = true;
    m_config = ConfigFile::read(m_path, ConfigFile::Rows::All);
    for (ConfigPage *page : std::as_const(m_pages))
        page->load(m_config);
    page<CloudPage>()->showSecretStored(ConfigFile::hasStoredSecret(m_path));
    m_loading = false;
    setWindowModified(false);
}

// Shows each problem on its page and turns to the first page that has one.
bool Config_UI::checkPages(const Configuration &config)
{
    const QList<ConfigProblem> problems = ConfigChecks::problems(config);
    m_problems.clear();
    for (const ConfigProblem &problem : problems)
        m_problems.append(problem.text);
    ConfigPage *first = nullptr;
    for (ConfigPage *page : std::as_const(m_pages)) {
        if (page->showProblems(problems) > 0 && !first)
            first = page;
    }
    if (first)
        m_tabs->setCurrentWidget(first);
    return problems.isEmpty();
}

bool Config_UI::save()
{
    Configuration config = m_config;
    for (const ConfigPage *page : std::as_const(m_pages))
        page->store(config);
    // Marking problem cells changes items; that is no edit of the user's.
    const bool modified = isWindowModified();
    m_loading = true;
    const bool ok = checkPages(config);
    m_loading = false;
    setWindowModified(modified);
    if (!ok)
        return false;
    CloudPage *cloud = page<CloudPage>();
    ConfigFile::write(m_path, config, cloud->secretField());
    m_config = config;
    m_loading = true;
    cloud->secretSaved();
    m_loading = false;
    setWindowModified(false);
    return true;
}

void Config_UI::onAnyChanged()
{
    if (!m_loading)
        setWindowModified(true);
}

void Config_UI::onOkPressed()
{
    if (save())
        close();
}

void Config_UI::onCancelPressed()
{
    setWindowModified(false);
    close();
}

void Config_UI::onActionAbout()
{
    Kyr::OrvaneAbout about(page<DmsPage>()->dmsConnection(), QCoreApplication::applicationName(),
                           QCoreApplication::applicationVersion(), windowIcon(), this);
    about.exec();
}

void Config_UI::onActionHelp()
{
    const QString dir = QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../hlp"));
    const QString code = QLocale().name().section(QLatin1Char('_'), 0, 0);
    const QStringList candidates = {dir + QStringLiteral("/Quillon_") + code + QStringLiteral(".chm"),
                                    dir + QStringLiteral("/Quillon_de.chm"), dir + QStringLiteral("/Quillon_en.chm")};
    for (const QString &file : candidates) {
        if (QFileInfo::exists(file)) {
            QDesktopServices::openUrl(QUrl::fromLocalFile(file));
            return;
        }
    }
    QMessageBox::information(this, QStringLiteral("Quillon"), tr("%1 not found").arg(candidates.first()));
}

void Config_UI::onScriptTester()
{
    auto *tester = new ScriptTest(QCoreApplication::applicationName(), this);
    tester->setAttribute(Qt::WA_DeleteOnClose);
    tester->show();
}

void Config_UI::closeEvent(QCloseEvent *event)
{
    QSettings settings(QStringLiteral("KYR"), QStringLiteral("Rev2Od"));
    WindowGeometry::store(this, settings);
    if (isWindowModified()) {
        const auto answer = QMessageBox::question(this, QStringLiteral("Quillon"),
                                                  tr("Configuration has changed - save now ?"),
                                                  QMessageBox::Yes | QMessageBox::No);
        if (answer == QMessageBox::Yes && !save()) {
            event->ignore(); // the problems are shown beside their fields
            return;
        }
    }
    event->accept();
    emit sigClosed();
}
