#include "ui/Config_UI.h"

#include "KyrGui/OrvaneAbout.h"
#include "parsing/DataParser.h"
#include "ui/ConfigChecks.h"
#include "ui/ScriptTest.h"
#include "ui/UiResources.h"
#include "ui/WindowGeometry.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QStringList kValueTypes = {QStringLiteral("BIT"), QStringLiteral("DWS"), QStringLiteral("FLT"), QStringLiteral("STR")};

// Texts of the AKS option codes 0 to 5.
const QStringList kOptionTexts = {
    QStringLiteral("Ignore UTC timstamp"),
    QStringLiteral("Set IP to modBus configuration"),
    QStringLiteral("Ignore 0 values"),
    QStringLiteral("Do not send values with state != 0"),
    QStringLiteral("Use %ISN% as %IAKS% suffix"),
    QStringLiteral("Use %ISN% as %IAKS% second last part"),
};

struct DpTemplate
{
    const char *aks;
    const char *type;
    const char *value;
};

const DpTemplate kTrdRows[] = {
    {"%AKS%:TRD:CHANGES", "BIT", "0"}, {"%AKS%:TRD:DIFF", "BIT", "0"},      {"%AKS%:TRD:TIME", "BIT", "0"},
    {"%AKS%:TRD:CYCLE", "DWS", "900"}, {"%AKS%:TRD:LIFETIME", "DWS", "31"}, {"%AKS%:TRD:TOL", "FLT", "0.3"},
};

const DpTemplate kAlmRows[] = {
    {"%AKS%:ALM:Alarm1", "BIT", "0"},
    {"%AKS%:ALM:Alarm1:Activ", "BIT", "0"},
    {"%AKS%:ALM:Alarm1:DBGRP", "DWS", "0"},
    {"%AKS%:ALM:Alarm1:Format", "STR", "AlarmGeneral@#c #Z(Kommt:Geht:Quit) #V^NAME #T"},
    {"%AKS%:ALM:Alarm1:Group", "DWS", "998"},
    {"%AKS%:ALM:Alarm1:Pri", "DWS", "0"},
    {"%AKS%:ALM:Alarm1:Prot", "STR", "ALARM"},
    {"%AKS%:ALM:Alarm1:Text", "STR", ""},
    {"%AKS%:ALM:Alarm1:Type", "STR", ">="},
    {"%AKS%:ALM:Alarm1:Value", "FLT", "1.0"},
};

// Shown for absent cloud settings: the Microsoft identity platform and the Graph scope.
const QString kDefaultAuthUrl = QStringLiteral("https://login.microsoftonline.com/{TENANT_ID}/oauth2/authorize");
const QString kDefaultTokenUrl = QStringLiteral("https://login.microsoftonline.com/{TENANT-ID}/oauth2/token");
const QString kDefaultScope = QStringLiteral("https://graph.microsoft.com/.default");

QSpinBox *spinBox(QWidget *parent, int maximum)
{
    auto *box = new QSpinBox(parent);
    box->setRange(0, maximum);
    return box;
}

QLabel *problemLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setStyleSheet(QStringLiteral("color: #c82828;"));
    label->setWordWrap(true);
    label->hide();
    return label;
}

// A field followed by a unit text and, hidden until a check fails, its problem.
QWidget *withSuffix(QWidget *field, const QString &suffix, QLabel *problem = nullptr)
{
    auto *box = new QWidget(field->parentWidget());
    auto *row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(field);
    if (!suffix.isEmpty())
        row->addWidget(new QLabel(suffix, box));
    if (problem)
        row->addWidget(problem);
    row->addStretch(1);
    return box;
}

void showProblem(QLabel *label, const QString &problem)
{
    label->setText(problem);
    label->setVisible(!problem.isEmpty());
}

QTableWidget *makeTable(QWidget *parent, const QStringList &headers)
{
    auto *table = new QTableWidget(0, int(headers.size()) + 1, parent);
    table->setHorizontalHeaderLabels(QStringList{QString()} + headers);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->hide();
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    return table;
}

QCheckBox *enabledBox(const QTableWidget *table, int row)
{
    QWidget *cell = table->cellWidget(row, 0);
    return cell ? cell->findChild<QCheckBox *>() : nullptr;
}

QString cellText(const QTableWidget *table, int row, int column)
{
    if (auto *combo = qobject_cast<QComboBox *>(table->cellWidget(row, column)))
        return combo->currentText();
    const QTableWidgetItem *item = table->item(row, column);
    return item ? item->text() : QString();
}

int comboIndex(const QTableWidget *table, int row, int column)
{
    auto *combo = qobject_cast<QComboBox *>(table->cellWidget(row, column));
    return combo ? combo->currentIndex() : 0;
}

void markCell(QTableWidget *table, int row, int column, const QString &problem)
{
    QTableWidgetItem *item = table->item(row, column);
    if (!item)
        return;
    item->setBackground(problem.isEmpty() ? QBrush() : QBrush(QColor(255, 210, 210)));
    item->setToolTip(problem);
}

} // namespace

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

    m_tabs->addTab(buildImapTab(), tr("IMAP"));
    m_tabs->addTab(buildCloudTab(), tr("Cloud connection"));
    m_tabs->addTab(buildGeneralTab(), tr("General"));
    m_tabs->addTab(buildCryptoTab(), tr("Crypto"));
    m_tabs->addTab(buildDmsTab(), tr("DMS / PDBS"));
    m_tabs->addTab(buildMappingTab(), tr("Mapping"));
    m_tabs->addTab(buildOptionsTab(), tr("Options"));
    m_tabs->addTab(buildRangeCheckTab(), tr("Range check"));
    m_tabs->addTab(buildUsersTab(), tr("Users"));
    m_tabs->addTab(buildReportingTab(), tr("Mail reporting"));

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
    connectChanges();
    load();
}

// ---- building -------------------------------------------------------------------------------

QWidget *Config_UI::buildImapTab()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);

    auto *connection = new QGroupBox(tr("IMAP connection"), page);
    auto *form = new QFormLayout(connection);
    m_host = new QLineEdit(connection);
    m_port = spinBox(connection, 65535);
    m_portProblem = problemLabel(connection);
    m_userName = new QLineEdit(connection);
    m_password = new QLineEdit(connection);
    m_password->setEchoMode(QLineEdit::Password);
    m_ssl = new QCheckBox(tr("SSL"), connection);
    form->addRow(tr("Host"), m_host);
    form->addRow(tr("Port"), withSuffix(m_port, QString(), m_portProblem));
    form->addRow(tr("Username"), m_userName);
    form->addRow(tr("Password"), m_password);
    form->addRow(QString(), m_ssl);
    layout->addWidget(connection);

    auto folderRow = [](QGridLayout *grid, int row, QCheckBox *box, QLineEdit *field, QPushButton *picker) {
        grid->addWidget(box, row, 0);
        grid->addWidget(field, row, 1);
        if (picker)
            grid->addWidget(picker, row, 2);
    };
    auto *success = new QGroupBox(tr("On success"), page);
    auto *grid = new QGridLayout(success);
    m_successToImap = new QCheckBox(tr("Copy original EMail to Server folder"), success);
    m_successImapFolder = new QLineEdit(success);
    m_successToLocal = new QCheckBox(tr("Copy original or decrypted EMail to local folder"), success);
    m_successLocalFolder = new QLineEdit(success);
    auto *successPicker = new QPushButton(QStringLiteral("..."), success);
    connect(successPicker, &QPushButton::clicked, this, &Config_UI::onImapFolderClicked);
    m_successDecrypted = new QCheckBox(tr("Copy decrypted EMail to Server folder"), success);
    m_successDecryptedFolder = new QLineEdit(success);
    m_ignoreEncrypted = new QCheckBox(tr("Ignore encrypted EMail"), success);
    folderRow(grid, 0, m_successToImap, m_successImapFolder, nullptr);
    folderRow(grid, 1, m_successToLocal, m_successLocalFolder, successPicker);
    folderRow(grid, 2, m_successDecrypted, m_successDecryptedFolder, nullptr);
    grid->addWidget(m_ignoreEncrypted, 3, 0);
    grid->setColumnStretch(1, 1);
    layout->addWidget(success);

    auto *failure = new QGroupBox(tr("On failure"), page);
    grid = new QGridLayout(failure);
    m_failedToImap = new QCheckBox(tr("Copy original EMail to Server folder"), failure);
    m_failedImapFolder = new QLineEdit(failure);
    m_failedToLocal = new QCheckBox(tr("Copy original or decrypted EMail to local folder"), failure);
    m_failedLocalFolder = new QLineEdit(failure);
    auto *failedPicker = new QPushButton(QStringLiteral("..."), failure);
    connect(failedPicker, &QPushButton::clicked, this, &Config_UI::onLocalFolderClicked);
    folderRow(grid, 0, m_failedToImap, m_failedImapFolder, nullptr);
    folderRow(grid, 1, m_failedToLocal, m_failedLocalFolder, failedPicker);
    grid->setColumnStretch(1, 1);
    layout->addWidget(failure);
    layout->addStretch(1);

    for (QCheckBox *box : {m_successToImap, m_successToLocal, m_successDecrypted, m_failedToImap, m_failedToLocal})
        connect(box, &QCheckBox::stateChanged, this, &Config_UI::onSetDependecies);
    return page;
}

QWidget *Config_UI::buildCloudTab()
{
    auto *page = new QWidget;
    auto *group = new QGroupBox(tr("Cloud connection"), page);
    auto *form = new QFormLayout(group);
    m_clientId = new QLineEdit(group);
    m_clientSecret = new QLineEdit(group);
    m_authUrl = new QLineEdit(group);
    m_tokenUrl = new QLineEdit(group);
    m_scope = new QLineEdit(group);
    m_oAuthUser = new QLineEdit(group);
    form->addRow(tr("Client Id"), m_clientId);
    form->addRow(tr("Client Secret"), m_clientSecret);
    form->addRow(tr("Authorization URL"), m_authUrl);
    form->addRow(tr("Token URL"), m_tokenUrl);
    form->addRow(tr("Scope"), m_scope);
    form->addRow(tr("User Id"), m_oAuthUser);
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(group);
    layout->addStretch(1);
    return page;
}

QWidget *Config_UI::buildGeneralTab()
{
    auto *page = new QWidget;
    auto *group = new QGroupBox(tr("General"), page);
    auto *form = new QFormLayout(group);
    m_inbox = new QLineEdit(group);
    m_checkInterval = new QLineEdit(group);
    m_checkInterval->setToolTip(tr("Minutes between checks, or clock times hh:mm separated by \";\""));
    m_checkIntervalProblem = problemLabel(group);
    m_maxMails = spinBox(group, 1000000);
    form->addRow(tr("Inbox"), m_inbox);
    form->addRow(tr("Check mails every"), withSuffix(m_checkInterval, tr("min / time"), m_checkIntervalProblem));
    form->addRow(tr("Limit to"), withSuffix(m_maxMails, tr("Mails per session")));
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(group);
    layout->addStretch(1);
    return page;
}

QWidget *Config_UI::buildCryptoTab()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    m_cryptoVerifyApi = new QCheckBox(tr("Use MS Crypto API (Verify Signature)"), page);
    m_verifySignature = new QCheckBox(tr("Verify Signature"), page);
    m_cryptoDecryptApi = new QCheckBox(tr("Use MS Crypto API (Decrypt)"), page);
    layout->addWidget(m_cryptoVerifyApi);
    layout->addWidget(m_verifySignature);
    layout->addWidget(m_cryptoDecryptApi);
    // The whitelist is shown for entering conditions only; the file does not hold it.
    auto *whitelist = new QGroupBox(tr("EMail Whitelist"), page);
    auto *box = new QVBoxLayout(whitelist);
    auto *table = new QTableWidget(0, 4, whitelist);
    table->setHorizontalHeaderLabels({tr("idx"), tr("Enabled"), tr("Header"), tr("Address")});
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->hide();
    box->addWidget(table);
    auto *hint = new QLabel(tr("And conditions separated by \",\", or contitions separated by \"|\""), whitelist);
    hint->setWordWrap(true);
    box->addWidget(hint);
    layout->addWidget(whitelist, 1);
    return page;
}

QWidget *Config_UI::buildDmsTab()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    auto *form = new QFormLayout;
    m_dmsConnection = new QLineEdit(page);
    m_dmsConnection->setToolTip(
        tr("'.' or 'local' or 'ORVANE-DMS' for pipe connection or 'ip:port' for tcp connection"));
    m_pdbsConnection = new QLineEdit(page);
    m_prefix = new QLineEdit(page);
    m_uppercase = new QCheckBox(tr("Make AKS uppercase"), page);
    m_writePdbs = new QCheckBox(tr("Write data to PDBS"), page);
    m_lastToDms = new QCheckBox(tr("Last entry to DMS"), page);
    m_useTrd = new QCheckBox(tr("Use trend configuration"), page);
    m_maxLastUpdate = spinBox(page, 1000000);
    m_stateErrorPercent = spinBox(page, 100);
    form->addRow(tr("DMS"), m_dmsConnection);
    form->addRow(tr("PDBS"), m_pdbsConnection);
    form->addRow(tr("DMS-Name prefix"), m_prefix);
    form->addRow(tr("Max last update"), withSuffix(m_maxLastUpdate, tr("minutes")));
    form->addRow(tr("State error on"), withSuffix(m_stateErrorPercent, tr("% errors/mail")));
    auto *flags = new QHBoxLayout;
    for (QCheckBox *box : {m_uppercase, m_writePdbs, m_lastToDms, m_useTrd})
        flags->addWidget(box);
    flags->addStretch(1);
    form->addRow(flags);
    layout->addLayout(form);

    auto *group = new QGroupBox(tr("Data points"), page);
    auto *box = new QVBoxLayout(group);
    m_dpTable = makeTable(group, {tr("AKS"), tr("Type"), tr("Value")});
    m_dpTable->setColumnWidth(1, 320);
    m_dpTable->setSortingEnabled(true);
    box->addWidget(m_dpTable);
    auto *buttons = new QHBoxLayout;
    m_checkAlways = new QCheckBox(tr("Check always"), group);
    buttons->addWidget(m_checkAlways);
    buttons->addStretch(1);
    for (auto [text, slot] : {std::pair{tr("Add"), &Config_UI::onAddDp}, std::pair{tr("Add TRD"), &Config_UI::onAddDpTRD},
                              std::pair{tr("Add ALM"), &Config_UI::onAddDpALM}}) {
        auto *button = new QPushButton(text, group);
        connect(button, &QPushButton::clicked, this, slot);
        buttons->addWidget(button);
    }
    box->addLayout(buttons);
    layout->addWidget(group, 1);
    return page;
}

QWidget *Config_UI::buildMappingTab()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    m_mapTable = makeTable(page, {tr("from Import"), tr("to DMS AKS"), tr("Script")});
    m_mapTable->setColumnWidth(1, 240);
    m_mapTable->setColumnWidth(2, 240);
    m_mapTable->horizontalHeader()->setSortIndicatorShown(true);
    m_mapTable->horizontalHeader()->setSectionsClickable(true);
    connect(m_mapTable->horizontalHeader(), &QHeaderView::sortIndicatorChanged, this,
            &Config_UI::onMapTableHeaderSortIndicatorChanged);
    layout->addWidget(m_mapTable, 1);
    m_mapProblem = problemLabel(page);
    layout->addWidget(m_mapProblem);
    auto *row = new QHBoxLayout;
    auto *hint = new QLabel(tr("Any configured DMS-name prefix (tab \"DMS / PDBS\") is already prepended to %IAKSx%"), page);
    hint->setWordWrap(true);
    row->addWidget(hint, 1);
    auto *add = new QPushButton(tr("Add"), page);
    connect(add, &QPushButton::clicked, this, &Config_UI::onAddMap);
    row->addWidget(add);
    layout->addLayout(row);
    return page;
}

QWidget *Config_UI::buildOptionsTab()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    m_optTable = makeTable(page, {tr("Import-Format"), tr("Pattern"), tr("Option")});
    m_optTable->setColumnWidth(1, 220);
    m_optTable->setColumnWidth(2, 240);
    layout->addWidget(m_optTable, 1);
    m_optProblem = problemLabel(page);
    layout->addWidget(m_optProblem);
    auto *add = new QPushButton(tr("Add"), page);
    connect(add, &QPushButton::clicked, this, &Config_UI::onAddOpt);
    layout->addWidget(add, 0, Qt::AlignRight);
    return page;
}

QWidget *Config_UI::buildRangeCheckTab()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    m_checkTable = makeTable(page, {tr("Pattern"), tr("Min"), tr("Max")});
    m_checkTable->setColumnWidth(1, 320);
    layout->addWidget(m_checkTable, 1);
    m_checkProblem = problemLabel(page);
    layout->addWidget(m_checkProblem);
    auto *add = new QPushButton(tr("Add"), page);
    connect(add, &QPushButton::clicked, this, &Config_UI::onAddCheck);
    layout->addWidget(add, 0, Qt::AlignRight);
    return page;
}

QWidget *Config_UI::buildUsersTab()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    m_userTable = makeTable(page, {tr("Name"), tr("Address")});
    m_userTable->setHorizontalHeaderItem(0, new QTableWidgetItem(tr("Enabled")));
    m_userTable->setColumnWidth(1, 240);
    layout->addWidget(m_userTable, 1);
    auto *add = new QPushButton(tr("Add"), page);
    connect(add, &QPushButton::clicked, this, &Config_UI::onAddUser);
    layout->addWidget(add, 0, Qt::AlignRight);
    return page;
}

QWidget *Config_UI::buildReportingTab()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    auto *subjects = new QGroupBox(tr("Subjects"), page);
    auto *form = new QFormLayout(subjects);
    m_subjectOk = new QLineEdit(subjects);
    m_subjectError = new QLineEdit(subjects);
    form->addRow(tr("On ok"), m_subjectOk);
    form->addRow(tr("On new status"), m_subjectError);
    layout->addWidget(subjects);

    auto *smtp = new QGroupBox(tr("SMTP connection"), page);
    form = new QFormLayout(smtp);
    m_smtpHost = new QLineEdit(smtp);
    m_smtpPort = spinBox(smtp, 65535);
    m_smtpPortProblem = problemLabel(smtp);
    m_connType = new QComboBox(smtp);
    m_connType->addItem(QStringLiteral("TCP"), QStringLiteral("TCP"));
    m_connType->addItem(QStringLiteral("SSL"), QStringLiteral("SSL"));
    m_connType->addItem(QStringLiteral("STARTTLS"), QStringLiteral("TLS"));
    m_authType = new QComboBox(smtp);
    m_authType->addItem(tr("Plain"), QStringLiteral("PLAIN"));
    m_authType->addItem(tr("Login"), QStringLiteral("LOGIN"));
    m_smtpLogin = new QLineEdit(smtp);
    m_smtpPassword = new QLineEdit(smtp);
    m_smtpPassword->setEchoMode(QLineEdit::Password);
    m_sender = new QLineEdit(smtp);
    m_clientName = new QLineEdit(smtp);
    m_reportInterval = spinBox(smtp, 1000000);
    form->addRow(tr("Host"), m_smtpHost);
    form->addRow(tr("Port"), withSuffix(m_smtpPort, QString(), m_smtpPortProblem));
    form->addRow(tr("Connection type"), m_connType);
    form->addRow(tr("Auth method"), m_authType);
    form->addRow(tr("Loginname"), m_smtpLogin);
    form->addRow(tr("Password"), m_smtpPassword);
    form->addRow(tr("Sender"), m_sender);
    form->addRow(tr("Name"), m_clientName);
    form->addRow(tr("Send status change every"), withSuffix(m_reportInterval, tr("minutes")));
    layout->addWidget(smtp);
    layout->addStretch(1);
    return page;
}

void Config_UI::buildMenu()
{
    QMenu *file = menuBar()->addMenu(tr("&File"));
    file->addAction(tr("Close Window"), QKeySequence::Close, this, &QWidget::close);
    file->addAction(tr("Help"), QKeySequence::HelpContents, this, &Config_UI::onActionHelp);
    file->addAction(tr("About"), this, &Config_UI::onActionAbout);
    file->addAction(tr("Script Tester"), QKeySequence(Qt::CTRL | Qt::Key_T), this, &Config_UI::onScriptTester);
}

void Config_UI::connectChanges()
{
    for (auto *edit : findChildren<QLineEdit *>())
        connect(edit, &QLineEdit::textChanged, this, &Config_UI::onAnyChanged);
    for (auto *box : findChildren<QCheckBox *>())
        connect(box, &QCheckBox::toggled, this, &Config_UI::onAnyChanged);
    for (auto *box : findChildren<QSpinBox *>())
        connect(box, &QSpinBox::valueChanged, this, &Config_UI::onAnyChanged);
    for (auto *box : findChildren<QComboBox *>())
        connect(box, &QComboBox::currentIndexChanged, this, &Config_UI::onAnyChanged);
    for (QTableWidget *table : {m_dpTable, m_mapTable, m_optTable, m_checkTable, m_userTable})
        connect(table, &QTableWidget::itemChanged, this, &Config_UI::onAnyChanged);
}

// ---- rows -----------------------------------------------------------------------------------

namespace {
// Rows are inserted with sorting switched off, so that they stay where they are put.
class SortingPause
{
public:
    explicit SortingPause(QTableWidget *table)
        : m_table(table)
        , m_sorting(table->isSortingEnabled())
    {
        table->setSortingEnabled(false);
    }
    ~SortingPause() { m_table->setSortingEnabled(m_sorting); }

private:
    QTableWidget *m_table;
    bool m_sorting;
};

// The row of the remove button that was clicked.
int senderRow(QTableWidget *table, QObject *sender)
{
    auto *button = qobject_cast<QWidget *>(sender);
    if (!button || !button->parentWidget())
        return -1;
    return table->indexAt(button->parentWidget()->pos()).row();
}
} // namespace

int Config_UI::insertRow(QTableWidget *table, int row, bool enabled, const QStringList &cells, const char *removeSlot)
{
    table->insertRow(row);
    auto *cell = new QWidget(table);
    auto *layout = new QHBoxLayout(cell);
    layout->setContentsMargins(4, 0, 4, 0);
    auto *box = new QCheckBox(cell);
    box->setChecked(enabled);
    box->setToolTip(tr("Enabled"));
    connect(box, &QCheckBox::toggled, this, &Config_UI::onAnyChanged);
    auto *remove = new QToolButton(cell);
    remove->setIcon(UiResources::trashIcon());
    remove->setAutoRaise(true);
    remove->setToolTip(tr("Remove"));
    connect(remove, SIGNAL(clicked()), this, removeSlot);
    layout->addWidget(box);
    layout->addWidget(remove);
    table->setCellWidget(row, 0, cell);
    table->setItem(row, 0, new QTableWidgetItem);
    for (int column = 0; column < cells.size(); ++column)
        table->setItem(row, column + 1, new QTableWidgetItem(cells[column]));
    table->setColumnWidth(0, cell->sizeHint().width());
    return row;
}

void Config_UI::addDp(int row, bool enabled, const QString &aks, const QString &type, const QString &value)
{
    insertRow(m_dpTable, row, enabled, {aks, QString(), value}, SLOT(onRemoveDp()));
    auto *combo = new QComboBox(m_dpTable);
    combo->addItems(kValueTypes);
    combo->setCurrentIndex(std::max<qsizetype>(0, kValueTypes.indexOf(type)));
    connect(combo, &QComboBox::currentIndexChanged, this, &Config_UI::onAnyChanged);
    m_dpTable->setCellWidget(row, 2, combo);
}

void Config_UI::addOption(const OptionEntry &entry)
{
    const int row = insertRow(m_optTable, m_optTable->rowCount(), entry.enabled, {QString(), entry.dmsAks, QString()},
                              SLOT(onRemoveOpt()));
    auto *format = new QComboBox(m_optTable);
    format->addItems(DataParser::displayNames());
    format->setCurrentIndex(std::clamp(entry.importType, 0, int(format->count()) - 1));
    auto *option = new QComboBox(m_optTable);
    option->addItems(kOptionTexts);
    option->setCurrentIndex(std::clamp(entry.option, 0, int(kOptionTexts.size()) - 1));
    for (QComboBox *combo : {format, option})
        connect(combo, &QComboBox::currentIndexChanged, this, &Config_UI::onAnyChanged);
    m_optTable->setCellWidget(row, 1, format);
    m_optTable->setCellWidget(row, 3, option);
}

void Config_UI::removeRow(QTableWidget *table, int idColumn, const QString &title)
{
    const int row = senderRow(table, sender());
    if (row < 0)
        return;
    const QString id = cellText(table, row, idColumn);
    if (QMessageBox::question(this, title, tr("Remove '%1' ?").arg(id), QMessageBox::Yes | QMessageBox::No) !=
        QMessageBox::Yes)
        return;
    table->removeRow(row);
    onAnyChanged();
}

void Config_UI::onAddDp()
{
    {
        SortingPause pause(m_dpTable);
        addDp(0, true, QStringLiteral("%AKS%:"), QStringLiteral("STR"), QString());
    }
    m_dpTable->editItem(m_dpTable->item(0, 3));
    onAnyChanged();
}

void Config_UI::onAddDpTRD()
{
    SortingPause pause(m_dpTable);
    for (const DpTemplate &t : kTrdRows)
        addDp(m_dpTable->rowCount(), true, QString::fromUtf8(t.aks), QString::fromUtf8(t.type), QString::fromUtf8(t.value));
    onAnyChanged();
}

void Config_UI::onAddDpALM()
{
    SortingPause pause(m_dpTable);
    for (const DpTemplate &t : kAlmRows)
        addDp(m_dpTable->rowCount(), true, QString::fromUtf8(t.aks), QString::fromUtf8(t.type), QString::fromUtf8(t.value));
    onAnyChanged();
}

void Config_UI::onRemoveDp()
{
    removeRow(m_dpTable, 1, tr("Remove Datapoint"));
}

void Config_UI::onAddMap()
{
    {
        SortingPause pause(m_mapTable);
        insertRow(m_mapTable, 0, true, {QString(), QString(), QString()}, SLOT(onRemoveMap()));
    }
    m_mapTable->editItem(m_mapTable->item(0, 3));
    onAnyChanged();
}

void Config_UI::onRemoveMap()
{
    removeRow(m_mapTable, 1, tr("Remove mapping"));
}

void Config_UI::onAddOpt()
{
    addOption(OptionEntry{true, 0, QStringLiteral("*"), 2});
    m_optTable->editItem(m_optTable->item(m_optTable->rowCount() - 1, 2));
    onAnyChanged();
}

void Config_UI::onRemoveOpt()
{
    removeRow(m_optTable, 2, tr("Remove option"));
}

void Config_UI::onAddCheck()
{
    const int row = insertRow(m_checkTable, m_checkTable->rowCount(), true,
                              {QStringLiteral("*:"), QStringLiteral("0"), QStringLiteral("100")}, SLOT(onRemoveCheck()));
    m_checkTable->editItem(m_checkTable->item(row, 1));
    onAnyChanged();
}

void Config_UI::onRemoveCheck()
{
    removeRow(m_checkTable, 1, tr("Remove Check"));
}

void Config_UI::onAddUser()
{
    const int row = insertRow(m_userTable, m_userTable->rowCount(), true, {QString(), QString()}, SLOT(onRemoveUser()));
    m_userTable->editItem(m_userTable->item(row, 1));
    onAnyChanged();
}

void Config_UI::onRemoveUser()
{
    removeRow(m_userTable, 1, tr("Remove User"));
}

// ---- reading and writing --------------------------------------------------------------------

void Config_UI::load()
{
    m_loading = true;
    const Configuration config = ConfigFile::read(m_path, ConfigFile::Rows::All);
    const MailConfig &mail = config.mail;
    m_host->setText(mail.host);
    m_port->setValue(mail.port);
    m_ssl->setChecked(mail.ssl);
    m_userName->setText(mail.userName);
    m_password->setText(mail.password);
    m_clientId->setText(mail.oAuthClientId);
    m_clientSecret->setText(mail.oAuthClientSecret.isEmpty() ? QString() : ConfigFile::kSecretMask);
    // An empty setting cannot be told from an absent one once read: both show the defaults.
    m_authUrl->setText(mail.oAuthServerAuthURL.isEmpty() ? kDefaultAuthUrl : mail.oAuthServerAuthURL);
    m_tokenUrl->setText(mail.oAuthServerTokenURL.isEmpty() ? kDefaultTokenUrl : mail.oAuthServerTokenURL);
    m_scope->setText(mail.oAuthAuthorizationScope.isEmpty() ? kDefaultScope : mail.oAuthAuthorizationScope);
    m_oAuthUser->setText(mail.oAuthConfigUserId);
    m_inbox->setText(mail.inboxFolder);
    m_checkInterval->setText(mail.checkInterval);
    m_maxMails->setValue(mail.maxMailsPerSession);
    m_successToImap->setChecked(mail.successCopyToImap);
    m_ignoreEncrypted->setChecked(mail.successCopyToImapWithoutEncrypted);
    m_successImapFolder->setText(mail.successImapFolder);
    m_successDecrypted->setChecked(mail.successCopyToImapDecrypted);
    m_successDecryptedFolder->setText(mail.successImapFolderDecrypted);
    m_successToLocal->setChecked(mail.successCopyToLocal);
    m_successLocalFolder->setText(mail.successLocalFolder);
    m_failedToImap->setChecked(mail.failedCopyToImap);
    m_failedImapFolder->setText(mail.failedImapFolder);
    m_failedToLocal->setChecked(mail.failedCopyToLocal);
    m_failedLocalFolder->setText(mail.failedLocalFolder);
    m_cryptoVerifyApi->setChecked(mail.useMSCryptoAPI_VerifySignature);
    m_cryptoDecryptApi->setChecked(mail.useMSCryptoAPI_Decrypt);
    m_verifySignature->setChecked(mail.verifySignature);

    const DmsConfig &dms = config.dms;
    m_dmsConnection->setText(dms.dmsConnection);
    m_pdbsConnection->setText(dms.pdbsConnection);
    m_prefix->setText(dms.prefix);
    m_writePdbs->setChecked(dms.writeDataToPdbs);
    m_lastToDms->setChecked(dms.writeLastEntryToDms);
    m_useTrd->setChecked(dms.useTrdConfig);
    m_uppercase->setChecked(dms.aksToUppercase);
    m_maxLastUpdate->setValue(dms.maxLastUpdate);
    m_stateErrorPercent->setValue(dms.maxStateErrorPercent);
    m_checkAlways->setChecked(dms.alwaysCheckDps);
    {
        SortingPause dpPause(m_dpTable);
        SortingPause mapPause(m_mapTable);
        for (const DpEntry &dp : dms.dps)
            addDp(m_dpTable->rowCount(), dp.enabled, dp.aks, dp.valType, dp.value);
        for (const MappingEntry &map : dms.mappings)
            insertRow(m_mapTable, m_mapTable->rowCount(), map.enabled, {map.imported, map.dmsAks, map.script},
                      SLOT(onRemoveMap()));
    }
    for (const OptionEntry &option : dms.options)
        addOption(option);
    for (const CheckEntry &check : dms.checks)
        insertRow(m_checkTable, m_checkTable->rowCount(), check.enabled,
                  {check.aks, QString::number(check.min, 'g', 15), QString::number(check.max, 'g', 15)},
                  SLOT(onRemoveCheck()));

    const ReportConfig &report = config.report;
    m_smtpHost->setText(report.host);
    m_smtpPort->setValue(report.port);
    m_connType->setCurrentIndex(std::max(0, m_connType->findData(report.connType)));
    m_clientName->setText(report.name);
    m_smtpLogin->setText(report.userName);
    m_smtpPassword->setText(report.password);
    m_authType->setCurrentIndex(std::max(0, m_authType->findData(report.authType)));
    m_sender->setText(report.sender);
    m_reportInterval->setValue(report.checkInterval);
    m_subjectError->setText(report.subjectOnError);
    m_subjectOk->setText(report.subjectOnOk);
    for (const ReportUser &user : report.users)
        insertRow(m_userTable, m_userTable->rowCount(), user.enabled, {user.name, user.address}, SLOT(onRemoveUser()));

    onSetDependecies(0);
    m_loading = false;
    setWindowModified(false);
}

Configuration Config_UI::collect() const
{
    Configuration config;
    MailConfig &mail = config.mail;
    mail.host = m_host->text();
    mail.port = m_port->value();
    mail.ssl = m_ssl->isChecked();
    mail.userName = m_userName->text();
    mail.password = m_password->text();
    mail.oAuthClientId = m_clientId->text();
    mail.oAuthServerAuthURL = m_authUrl->text();
    mail.oAuthServerTokenURL = m_tokenUrl->text();
    mail.oAuthAuthorizationScope = m_scope->text();
    mail.oAuthConfigUserId = m_oAuthUser->text();
    mail.inboxFolder = m_inbox->text();
    mail.checkInterval = m_checkInterval->text();
    mail.maxMailsPerSession = m_maxMails->value();
    mail.successCopyToImap = m_successToImap->isChecked();
    mail.successCopyToImapWithoutEncrypted = m_ignoreEncrypted->isChecked();
    mail.successImapFolder = m_successImapFolder->text();
    mail.successCopyToImapDecrypted = m_successDecrypted->isChecked();
    mail.successImapFolderDecrypted = m_successDecryptedFolder->text();
    mail.successCopyToLocal = m_successToLocal->isChecked();
    mail.successLocalFolder = m_successLocalFolder->text();
    mail.failedCopyToImap = m_failedToImap->isChecked();
    mail.failedImapFolder = m_failedImapFolder->text();
    mail.failedCopyToLocal = m_failedToLocal->isChecked();
    mail.failedLocalFolder = m_failedLocalFolder->text();
    mail.useMSCryptoAPI_VerifySignature = m_cryptoVerifyApi->isChecked();
    mail.useMSCryptoAPI_Decrypt = m_cryptoDecryptApi->isChecked();
    mail.verifySignature = m_verifySignature->isChecked();

    DmsConfig &dms = config.dms;
    dms.dmsConnection = m_dmsConnection->text();
    dms.pdbsConnection = m_pdbsConnection->text();
    dms.prefix = m_prefix->text();
    dms.writeDataToPdbs = m_writePdbs->isChecked();
    dms.writeLastEntryToDms = m_lastToDms->isChecked();
    dms.useTrdConfig = m_useTrd->isChecked();
    dms.aksToUppercase = m_uppercase->isChecked();
    dms.maxLastUpdate = m_maxLastUpdate->value();
    dms.maxStateErrorPercent = m_stateErrorPercent->value();
    dms.alwaysCheckDps = m_checkAlways->isChecked();
    for (int row = 0; row < m_dpTable->rowCount(); ++row)
        dms.dps.append({enabledBox(m_dpTable, row)->isChecked(), cellText(m_dpTable, row, 1),
                        cellText(m_dpTable, row, 2), cellText(m_dpTable, row, 3)});
    for (int row = 0; row < m_mapTable->rowCount(); ++row)
        dms.mappings.append({enabledBox(m_mapTable, row)->isChecked(), cellText(m_mapTable, row, 1),
                             cellText(m_mapTable, row, 2), cellText(m_mapTable, row, 3)});
    for (int row = 0; row < m_optTable->rowCount(); ++row)
        dms.options.append({enabledBox(m_optTable, row)->isChecked(), comboIndex(m_optTable, row, 1),
                            cellText(m_optTable, row, 2), comboIndex(m_optTable, row, 3)});
    for (int row = 0; row < m_checkTable->rowCount(); ++row)
        dms.checks.append({enabledBox(m_checkTable, row)->isChecked(), cellText(m_checkTable, row, 1),
                           cellText(m_checkTable, row, 2).toDouble(), cellText(m_checkTable, row, 3).toDouble()});

    ReportConfig &report = config.report;
    report.host = m_smtpHost->text();
    report.port = m_smtpPort->value();
    report.connType = m_connType->currentData().toString();
    report.name = m_clientName->text();
    report.userName = m_smtpLogin->text();
    report.password = m_smtpPassword->text();
    report.authType = m_authType->currentData().toString();
    report.sender = m_sender->text();
    report.checkInterval = m_reportInterval->value();
    report.subjectOnError = m_subjectError->text();
    report.subjectOnOk = m_subjectOk->text();
    for (int row = 0; row < m_userTable->rowCount(); ++row)
        report.users.append({enabledBox(m_userTable, row)->isChecked(), cellText(m_userTable, row, 1),
                             cellText(m_userTable, row, 2)});
    return config;
}

bool Config_UI::checkFields()
{
    m_problems.clear();
    QWidget *firstPage = nullptr;
    auto note = [&](QLabel *label, const QString &problem) {
        showProblem(label, problem);
        if (problem.isEmpty())
            return;
        m_problems.append(problem);
        for (int tab = 0; tab < m_tabs->count() && !firstPage; ++tab) {
            if (m_tabs->widget(tab)->isAncestorOf(label))
                firstPage = m_tabs->widget(tab);
        }
    };
    note(m_checkIntervalProblem, ConfigChecks::checkInterval(m_checkInterval->text()));
    note(m_portProblem, ConfigChecks::serverPort(m_host->text(), m_port->value()));
    note(m_smtpPortProblem, ConfigChecks::serverPort(m_smtpHost->text(), m_smtpPort->value()));
    // Patterns of enabled rows; a disabled row is not used and may hold anything.
    for (auto [table, label] : {std::pair{m_mapTable, m_mapProblem}, std::pair{m_optTable, m_optProblem},
                                std::pair{m_checkTable, m_checkProblem}}) {
        const int column = table == m_optTable ? 2 : 1;
        QString first;
        for (int row = 0; row < table->rowCount(); ++row) {
            const QString problem = enabledBox(table, row)->isChecked()
                                        ? ConfigChecks::wildcardPattern(cellText(table, row, column))
                                        : QString();
            markCell(table, row, column, problem);
            if (first.isEmpty() && !problem.isEmpty())
                first = tr("Row %1: %2").arg(row + 1).arg(problem);
        }
        note(label, first);
    }
    if (firstPage)
        m_tabs->setCurrentWidget(firstPage);
    return m_problems.isEmpty();
}

bool Config_UI::save()
{
    // Marking problem cells changes items; that is no edit of the user's.
    const bool modified = isWindowModified();
    m_loading = true;
    const bool ok = checkFields();
    m_loading = false;
    setWindowModified(modified);
    if (!ok)
        return false;
    ConfigFile::write(m_path, collect(), m_clientSecret->text());
    if (!m_clientSecret->text().isEmpty())
        m_clientSecret->setText(ConfigFile::kSecretMask);
    setWindowModified(false);
    return true;
}

// ---- slots ----------------------------------------------------------------------------------

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

void Config_UI::onMapTableHeaderSortIndicatorChanged(int logicalIndex, Qt::SortOrder order)
{
    if (logicalIndex > 0)
        m_mapTable->sortItems(logicalIndex, order);
}

void Config_UI::onImapFolderClicked()
{
    pickLocalFolder(m_successLocalFolder);
}

void Config_UI::onLocalFolderClicked()
{
    pickLocalFolder(m_failedLocalFolder);
}

void Config_UI::pickLocalFolder(QLineEdit *field)
{
    const QString dir = QFileDialog::getExistingDirectory(this, tr("Open Directory"), field->text());
    // As the stored defaults: a backslash before the date part ("'dir\\'yyyyMMdd"), on every
    // platform; the mail intake decides how it reads the pattern.
    if (!dir.isEmpty())
        field->setText(QStringLiteral("'") + dir + QStringLiteral("\\'yyyyMMdd"));
}

void Config_UI::onSetDependecies(int)
{
    m_successImapFolder->setEnabled(m_successToImap->isChecked());
    m_successLocalFolder->setEnabled(m_successToLocal->isChecked());
    m_successDecryptedFolder->setEnabled(m_successDecrypted->isChecked());
    m_failedImapFolder->setEnabled(m_failedToImap->isChecked());
    m_failedLocalFolder->setEnabled(m_failedToLocal->isChecked());
}

void Config_UI::onActionAbout()
{
    Kyr::OrvaneAbout about(m_dmsConnection->text(), QCoreApplication::applicationName(),
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
