#include "ui/ToolDialogs.h"

#include "ui/config/PageParts.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QFileDialog>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>

namespace {
QString textOf(const ToolDialog *dialog, const QString &key)
{
    return qobject_cast<QLineEdit *>(dialog->field(key))->text();
}
QDateTime dateTimeOf(const ToolDialog *dialog, const QString &key)
{
    return qobject_cast<QDateTimeEdit *>(dialog->field(key))->dateTime();
}
bool flagOf(const ToolDialog *dialog, const QString &key)
{
    return qobject_cast<QCheckBox *>(dialog->field(key))->isChecked();
}
void pickInto(ToolDialog *dialog, const QString &key)
{
    auto *edit = qobject_cast<QLineEdit *>(dialog->field(key));
    const QStringList chosen = ToolDialog::chooseDirectories(dialog, edit->text());
    if (!chosen.isEmpty())
        edit->setText(chosen.join(QLatin1Char(';')));
}
} // namespace

ImportCfg::ImportCfg(const QString &applicationName, QWidget *parent)
    : ToolDialog(applicationName, tr("Import"), QStringLiteral("/MailImpCfg"), parent)
{
    addDateTime(QStringLiteral("from"), tr("From"), defaultFrom());
    addDateTime(QStringLiteral("to"), tr("To"), defaultTo());
    QPushButton *picker = pickerButton();
    connect(picker, &QPushButton::clicked, this, &ImportCfg::onSelectImportPaths);
    addText(QStringLiteral("importPath"), tr("Import paths"), QString(), picker);
    addText(QStringLiteral("tempPath"), tr("Temporary / output path"), defaultPath(QStringLiteral("import/")));
    addCheck(QStringLiteral("directWrite"), tr("Direct write/merge .hdb files"));
    addText(QStringLiteral("backupDataPath"), tr("Backup data path"), defaultPath(QStringLiteral("hdbx/")));
    finish();
}

ImportParams ImportCfg::values() const
{
    return {dateTimeOf(this, QStringLiteral("from")), dateTimeOf(this, QStringLiteral("to")),
            textOf(this, QStringLiteral("importPath")), textOf(this, QStringLiteral("tempPath")),
            flagOf(this, QStringLiteral("directWrite")), textOf(this, QStringLiteral("backupDataPath"))};
}

void ImportCfg::onSelectImportPaths()
{
    pickInto(this, QStringLiteral("importPath"));
}

SearchCfg::SearchCfg(const QString &applicationName, QWidget *parent)
    : ToolDialog(applicationName, tr("Search"), QStringLiteral("/MailSrchCfg"), parent)
    , m_formats(new QListWidget(this))
{
    QPushButton *picker = pickerButton();
    connect(picker, &QPushButton::clicked, this, &SearchCfg::onSelectSearchPaths);
    addText(QStringLiteral("searchPath"), tr("Search paths"), QString(), picker);
    addDateTime(QStringLiteral("from"), tr("From"), defaultFrom());
    addDateTime(QStringLiteral("to"), tr("To"), defaultTo());
    addText(QStringLiteral("sFileFilter"), tr("File Filter") + QLatin1Char(' ') + tr("(contains)"), QString());
    addText(QStringLiteral("sImpRds"), tr("Imported Rds"), QString());
    addCheck(QStringLiteral("sImpRdsRegex"), tr("Regex"));
    addText(QStringLiteral("sMappedRds"), tr("Mapped Rds"), QString());
    addCheck(QStringLiteral("sMappedRdsRegex"), tr("Regex"));
    addText(QStringLiteral("sValue"), tr("Value"), QString());
    addText(QStringLiteral("sUnit"), tr("Unit"), QString());
    m_formats->addItems(PageParts::formatNames());
    m_formats->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_formats->setMinimumHeight(120);
    addField(QStringLiteral("sFormat"), tr("Format"), m_formats, QStringList());
    addText(QStringLiteral("output"), tr("Output"), defaultPath(QStringLiteral("SearchResult.csv")));
    finish();
}

SearchParams SearchCfg::values() const
{
    SearchParams p;
    p.sources = textOf(this, QStringLiteral("searchPath"));
    p.from = dateTimeOf(this, QStringLiteral("from"));
    p.to = dateTimeOf(this, QStringLiteral("to"));
    p.fileFilter = textOf(this, QStringLiteral("sFileFilter"));
    p.importFilter = textOf(this, QStringLiteral("sImpRds"));
    p.importRegex = flagOf(this, QStringLiteral("sImpRdsRegex"));
    p.mappedFilter = textOf(this, QStringLiteral("sMappedRds"));
    p.mappedRegex = flagOf(this, QStringLiteral("sMappedRdsRegex"));
    p.valueText = textOf(this, QStringLiteral("sValue"));
    p.unitText = textOf(this, QStringLiteral("sUnit"));
    QList<int> types;
    for (int row = 0; row < m_formats->count(); ++row) {
        if (m_formats->item(row)->isSelected())
            types.append(row);
    }
    if (!types.isEmpty())
        p.importTypes = types;
    p.resultFile = textOf(this, QStringLiteral("output"));
    return p;
}

QString SearchCfg::storedOutput(const QString &applicationName)
{
    QSettings settings(QStringLiteral("KYR"), applicationName + QStringLiteral("/MailSrchCfg"));
    return settings.value(QStringLiteral("output"), defaultPath(QStringLiteral("SearchResult.csv"))).toString();
}

void SearchCfg::onSelectSearchPaths()
{
    pickInto(this, QStringLiteral("searchPath"));
}

ExportFileToSQLiteCfg::ExportFileToSQLiteCfg(const QString &applicationName, QWidget *parent)
    : ToolDialog(applicationName, tr("Export EMails/Files to SQLite DB"), QStringLiteral("/MailExpCfg"), parent)
{
    QPushButton *picker = pickerButton();
    connect(picker, &QPushButton::clicked, this, &ExportFileToSQLiteCfg::onSelectExportPaths);
    addText(QStringLiteral("emailPath"), tr("EMail paths"), QString(), picker);
    auto *hint = new QLabel(tr("Ein oder mehrere Quellverzeichnisse, getrennt durch \";\", oder im "
                               "Ordnerdialog mit CTRL gemeinsam auswählen."),
                            this);
    hint->setWordWrap(true);
    form()->addRow(QString(), hint);
    addText(QStringLiteral("output"), tr("Output"), defaultPath(QStringLiteral("ExportDB.db")));
    finish();
}

ExportSqliteParams ExportFileToSQLiteCfg::values() const
{
    return {textOf(this, QStringLiteral("emailPath")), textOf(this, QStringLiteral("output"))};
}

void ExportFileToSQLiteCfg::onSelectExportPaths()
{
    pickInto(this, QStringLiteral("emailPath"));
}

ExportSQLiteToHdbxCfg::ExportSQLiteToHdbxCfg(const QString &applicationName, QWidget *parent)
    : ToolDialog(applicationName, tr("Export SQLite DB to PDBS .hdbx files"), QStringLiteral("/SQLiteExpCfg"), parent)
    , m_query(new QPlainTextEdit(this))
{
    QPushButton *dbPicker = pickerButton();
    connect(dbPicker, &QPushButton::clicked, this, &ExportSQLiteToHdbxCfg::onSelectDb);
    addText(QStringLiteral("inputDb"), tr("Source DB"), defaultPath(QStringLiteral("ExportDB.db")), dbPicker);
    QPushButton *folderPicker = pickerButton();
    connect(folderPicker, &QPushButton::clicked, this, &ExportSQLiteToHdbxCfg::onSelectBackupPath);
    addText(QStringLiteral("backupPath"), tr("Orvane backup path"), defaultPath(QStringLiteral("hdbx/")), folderPicker);
    QFont fixed(QStringLiteral("Courier New"));
    fixed.setStyleHint(QFont::TypeWriter);
    m_query->setFont(fixed);
    m_query->setMinimumSize(420, 160);
    addField(QStringLiteral("query"), tr("Query"), m_query, ExportHdbxParams::defaultQuery());
    auto *defaultButton = new QPushButton(tr("Default query"), this);
    connect(defaultButton, &QPushButton::clicked, this, &ExportSQLiteToHdbxCfg::onDefaultQuery);
    form()->addRow(QString(), defaultButton);
    finish();
}

ExportHdbxParams ExportSQLiteToHdbxCfg::values() const
{
    return {textOf(this, QStringLiteral("inputDb")), textOf(this, QStringLiteral("backupPath")), m_query->toPlainText()};
}

void ExportSQLiteToHdbxCfg::onSelectDb()
{
    auto *edit = qobject_cast<QLineEdit *>(field(QStringLiteral("inputDb")));
    const QString file = QFileDialog::getOpenFileName(this, tr("Choose DB"), edit->text(), tr("SQLite DB (*.db)"));
    if (!file.isEmpty())
        edit->setText(file);
}

void ExportSQLiteToHdbxCfg::onSelectBackupPath()
{
    auto *edit = qobject_cast<QLineEdit *>(field(QStringLiteral("backupPath")));
    const QString dir = QFileDialog::getExistingDirectory(this, tr("Choose Folder"), edit->text());
    if (!dir.isEmpty())
        edit->setText(dir);
}

void ExportSQLiteToHdbxCfg::onDefaultQuery()
{
    m_query->setPlainText(ExportHdbxParams::defaultQuery());
}
