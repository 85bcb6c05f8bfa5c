// The windows of the program, driven as a user would under the offscreen platform: the editor
// writes what was edited and refuses what the program could not use, the monitors show values in
// their formats and within their limits, the script tester gives the naming scripts' results, the
// tray menu pauses and shows the instance's health, and a tool dialog hands its values on.

#include "../common/JsonCases.h"
#include "../common/LogCapture.h"
#include "../common/TestFiles.h"
#include "../common/RunInsideApp.h"
#include "fixtures/DovecotServer.h"
#include "config/ConfigFile.h"
#include "mail/CheckInterval.h"
#include "naming/NamingScript.h"
#include "ui/ConfigChecks.h"
#include "ui/Config_UI.h"
#include "ui/config/GeneralPage.h"
#include "ui/config/ImapPage.h"
#include "ui/config/PageParts.h"
#include "ui/config/ReportPage.h"
#include "ui/config/RowTable.h"
#include "ui/DataMonitor.h"
#include "ui/MailMonitor.h"
#include "ui/ScriptTest.h"
#include "ui/ToolDialogs.h"
#include "ui/TrayMenu.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <ctime>

namespace {
const QString kCases = QStringLiteral("tests/ui/data/ui.json");

// Every key of a configuration with its value as text: "Mail/Host", "DMS/Dps/2/ValType".
struct KeyValues
{
    QMap<QString, QString> values;

    template<typename Record>
    void add(const QString &prefix, const Record &record, std::span<const ConfigKeys::Key<Record>> keys)
    {
        for (const ConfigKeys::Key<Record> &key : keys)
            std::visit([&](auto member) { values[prefix + QLatin1String(key.name)] = QVariant(record.*member).toString(); },
                       key.member);
    }
    template<typename Record>
    void keys(const char *group, const Record &record, std::span<const ConfigKeys::Key<Record>> keys)
    {
        add(QLatin1String(group) + u'/', record, keys);
    }
    template<typename Record, typename Row>
    void table(const char *group, const Record &record, const ConfigKeys::Table<Record, Row> &table)
    {
        const QList<Row> &rows = record.*table.rows;
        for (qsizetype i = 0; i < rows.size(); ++i)
            add(QStringLiteral("%1/%2/%3/").arg(QLatin1String(group), QLatin1String(table.name)).arg(i + 1), rows.at(i),
                table.keys);
    }
};

QMap<QString, QString> keyValues(const Configuration &config)
{
    KeyValues walker;
    ConfigKeys::walkConfiguration(config, walker);
    return walker.values;
}

QMap<QString, QVariant> settingsOf(const QString &path)
{
    QSettings settings(path, QSettings::IniFormat);
    QMap<QString, QVariant> values;
    for (const QString &key : settings.allKeys())
        values.insert(key, settings.value(key));
    return values;
}
} // namespace

class TestUi : public QObject
{
    Q_OBJECT
public:
    TestUi(AppMain *app, QString project) : m_app(app), m_project(std::move(project)) {}

private slots:
    // The controller's own broadcasts (the DMS link coming up) are over before the tray tests start.
    void initTestCase()
    {
        QTRY_COMPARE_WITH_TIMEOUT(m_app->dmsState(), DmsHandler::Idle, 30000);
        QCoreApplication::processEvents();
        // Clock times are local times: the check-time cases hold on this zone's clock-change nights.
        qputenv("TZ", "Europe/Zurich");
        tzset();
    }

    // The editor opened on a file holding every key and pressed OK without a change leaves every
    // key and value as it was, also those of keys it shows in a form of its own (the cloud
    // addresses, the masked secret, point types, the plain-login flag).
    void editorSavesUnchangedFileAsItWas()
    {
        const QString path = configPath(QStringLiteral("full"));
        QFile::remove(path);
        QVERIFY(QFile::copy(QStringLiteral(QUILLON_SOURCE_DIR "/tests/config/data/full.ini"), path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        const QMap<QString, QVariant> settingsBefore = settingsOf(path);
        const QMap<QString, QString> before = keyValues(ConfigFile::read(path, ConfigFile::Rows::All));

        Config_UI editor(path);
        QVERIFY(editor.page<ImapPage>()->plainLoginWarning()->isVisibleTo(&editor));
        RowTable *points = editor.page<DmsPage>()->table();
        QCOMPARE(qobject_cast<QComboBox *>(points->cellWidget(2, 2))->count(), 9); // "DWU" is one of them
        editor.onOkPressed();
        QVERIFY(!editor.isVisible());

        const QMap<QString, QVariant> settingsAfter = settingsOf(path);
        QCOMPARE(settingsAfter.keys(), settingsBefore.keys());
        for (auto it = settingsBefore.cbegin(); it != settingsBefore.cend(); ++it)
            QCOMPARE(settingsAfter.value(it.key()), it.value());
        const QMap<QString, QString> after = keyValues(ConfigFile::read(path, ConfigFile::Rows::All));
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            QCOMPARE(after.value(it.key()), it.value());
    }

    // Removing a row asks first and No keeps it; an added mapping row and the trend data point rows
    // are written, and the masked secret is not touched: its stored text stays byte for byte.
    void editorSavesRowsAndKeepsSecret()
    {
        const QString path = configPath(QStringLiteral("mapping"));
        Configuration stored;
        stored.dms.mappings.append({true, QStringLiteral("A:*"), QStringLiteral("B"), QString()});
        ConfigFile::write(path, stored, QStringLiteral("s3cret"));
        const auto storedSecretLine = [&] {
            for (const QByteArray &line : readBytes(path).split('\n'))
                if (line.startsWith("oAuthClientSecret="))
                    return line;
            return QByteArray();
        };
        const QByteArray secretBefore = storedSecretLine();
        QVERIFY(!secretBefore.isEmpty());

        Config_UI editor(path);
        QSignalSpy closed(&editor, &Config_UI::sigClosed);
        editor.show();
        QTimer::singleShot(0, [] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            QCOMPARE(box->windowTitle(), QStringLiteral("Remove mapping"));
            QCOMPARE(box->text(), QStringLiteral("Remove 'A:*' ?"));
            box->button(QMessageBox::No)->click();
        });
        QTableWidget *table = editor.page<MappingPage>()->table();
        table->cellWidget(0, 0)->findChild<QToolButton *>()->click();
        QCOMPARE(table->rowCount(), 1);
        QVERIFY(!editor.isWindowModified());

        editor.onAddMap();
        QVERIFY(editor.isWindowModified());
        table->item(0, 1)->setText(QStringLiteral("Site:*:Energy"));
        table->item(0, 2)->setText(QStringLiteral("Plant:%IAKS2%:E"));
        table->item(0, 3)->setText(QStringLiteral("=Value/1000"));
        editor.onAddDpTRD();
        editor.onOkPressed();
        QCOMPARE(closed.size(), 1);

        const Configuration read = ConfigFile::read(path, ConfigFile::Rows::All);
        QCOMPARE(read.dms.mappings.size(), 2);
        QCOMPARE(read.dms.mappings[0].imported, QStringLiteral("Site:*:Energy"));
        QCOMPARE(read.dms.mappings[0].dmsAks, QStringLiteral("Plant:%IAKS2%:E"));
        QCOMPARE(read.dms.mappings[0].script, QStringLiteral("=Value/1000"));
        QVERIFY(read.dms.mappings[0].enabled);
        QCOMPARE(read.dms.mappings[1].imported, QStringLiteral("A:*"));
        const QList<DpEntry> &dps = read.dms.dps;
        QCOMPARE(dps.size(), 6);
        QCOMPARE(dps[0].aks, QStringLiteral("%AKS%:TRD:CHANGES"));
        QCOMPARE(dps[3].valType, QStringLiteral("DWS"));
        QCOMPARE(dps[3].value, QStringLiteral("900"));
        QCOMPARE(dps[5].aks, QStringLiteral("%AKS%:TRD:TOL"));
        QCOMPARE(dps[5].value, QStringLiteral("0.3"));
        QVERIFY(dps[5].enabled);
        QCOMPARE(storedSecretLine(), secretBefore);
    }

    // A check row with the interval and report host fields; a row with a problem names the text the
    // editor reports (the file stays as it was), and whether it shows at the interval field.
    void editorRefusesUnusableFields_data() { JsonCases::addRows(kCases, QStringLiteral("editorChecks")); }

    void editorRefusesUnusableFields()
    {
        QFETCH(const QJsonObject, row);
        const QString interval = row[QStringLiteral("interval")].toString();
        const QString problem = row[QStringLiteral("problem")].toString();
        const QString path = configPath(QStringLiteral("checks"));
        QFile::remove(path);
        ConfigFile::write(path, Configuration(), QString());

        Config_UI editor(path);
        editor.page<GeneralPage>()->checkIntervalField()->setText(interval);
        editor.page<ReportPage>()->smtpHostField()->setText(row[QStringLiteral("smtpHost")].toString());
        editor.onAddCheck();
        editor.page<RangeCheckPage>()->table()->item(0, 1)->setText(row[QStringLiteral("pattern")].toString());
        QCOMPARE(editor.save(), problem.isEmpty());
        const Configuration read = ConfigFile::read(path);
        if (problem.isEmpty()) {
            QCOMPARE(read.mail.checkInterval, interval);
            QCOMPARE(read.dms.checks.size(), 1);
            QVERIFY(editor.problems().isEmpty());
        } else {
            QCOMPARE(read.mail.checkInterval, QStringLiteral("15")); // nothing written
            QCOMPARE(editor.problems().size(), 1);
            QVERIFY2(editor.problems().first().contains(problem), qPrintable(editor.problems().first()));
            QCOMPARE(editor.page<GeneralPage>()->checkIntervalProblem()->isVisibleTo(&editor),
                     row[QStringLiteral("atInterval")].toBool());
        }
        editor.setWindowModified(false);
    }

    // One table of check-interval texts, each as the editor's check judges it and as the mail
    // intake schedules from it (a local time now; the warning it logs, if any).
    void checkIntervalRule_data() { JsonCases::addRows(kCases, QStringLiteral("checkInterval")); }

    void checkIntervalRule()
    {
        QFETCH(const QJsonObject, row);
        const QString text = row[QStringLiteral("text")].toString();
        const QString expectedProblem = row[QStringLiteral("problem")].toString();
        Configuration config;
        config.mail.checkInterval = text;
        const QString problem = PageParts::problemOf(ConfigChecks::problems(config), QStringLiteral("Mail"),
                                                     QStringLiteral("CheckInterval"));
        QCOMPARE(problem.isEmpty(), expectedProblem.isEmpty());
        QVERIFY2(problem.contains(expectedProblem), qPrintable(problem));

        LogCapture log;
        const QDateTime now = QDateTime::fromString(row[QStringLiteral("now")].toString(), Qt::ISODate);
        QVERIFY(now.isValid());
        QCOMPARE(CheckInterval::seconds(text, now), row[QStringLiteral("seconds")].toInteger());
        const QString warning = row[QStringLiteral("warning")].toString();
        QCOMPARE(log.count(Kyr::LogWarning, warning.isEmpty() ? QStringLiteral("nterval") : warning), warning.isEmpty() ? 0 : 1);
    }

    // A value as the mail monitor and the DB monitor show it, in the row's locale (C unless named).
    void dataMonitorFormats_data() { JsonCases::addRows(kCases, QStringLiteral("monitorFormats")); }

    void dataMonitorFormats()
    {
        QFETCH(const QJsonObject, row);
        const auto text = [&](const char *key) { return row[QLatin1String(key)].toString(); };
        QLocale::setDefault(QLocale(row[QStringLiteral("locale")].toString(QStringLiteral("C"))));
        const auto restoreLocale = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });
        DataParser::ValueRec rec;
        rec.iaks = QStringLiteral("A:B");
        rec.aks = text("aks");
        rec.value = row[QStringLiteral("value")].toDouble();
        rec.unit = text("unit");
        rec.increment = row[QStringLiteral("increment")].toBool();
        rec.state = 7;
        rec.timestamp = QDateTime(QDate(2024, 3, 31), QTime(2, 30), Qt::UTC);

        DataMonitor fromMail(QStringLiteral("Quillon"), QStringLiteral("Mail Data monitor"));
        fromMail.onValueFromMail(rec);
        QTableWidget *mail = fromMail.table();
        QCOMPARE(mail->item(0, 1)->text(), QStringLiteral("A:B"));
        QCOMPARE(mail->item(0, 2)->text(), QStringLiteral("2024-03-31T02:30:00Z"));
        QCOMPARE(mail->item(0, 3)->text(), text("valueText"));
        QCOMPARE(mail->item(0, 4)->text(), QStringLiteral("7"));

        DataMonitor toDb(QStringLiteral("Quillon"), QStringLiteral("DB Data monitor"));
        toDb.onValueToDb(rec, uint(row[QStringLiteral("dbState")].toInteger()));
        QCOMPARE(toDb.table()->item(0, 1)->text(), text("point"));
        QCOMPARE(toDb.table()->item(0, 4)->text(), text("stateText"));
    }

    void monitorsKeepTheirLimits()
    {
        DataMonitor data(QStringLiteral("Quillon"), QStringLiteral("Mail Data monitor"));
        DataParser::ValueRec rec;
        for (int n = 1; n <= DataMonitor::kMaxRows + 1; ++n) {
            rec.iaks = QStringLiteral("P%1").arg(n);
            data.onValueFromMail(rec);
        }
        data.onRefreshTimer(); // sorting back on keeps the newest on top
        QCOMPARE(data.table()->rowCount(), DataMonitor::kMaxRows);
        QCOMPARE(data.table()->item(0, 1)->text(), QStringLiteral("P801"));
        QCOMPARE(data.table()->item(DataMonitor::kMaxRows - 1, 1)->text(), QStringLiteral("P2"));

        MailMonitor mails(QStringLiteral("Quillon"));
        const QString info = QStringLiteral("Mail #0-1\r\nSubject:meter data of the 31st of March 2024\r\n");
        mails.onMailChecked(info, QStringLiteral("MAIL-SUMMARY"), QStringLiteral("Ok"));
        QCOMPARE(mails.table()->item(0, 1)->text(), QStringLiteral("Mail #0-1Subject:meter data of the 31st ..."));
        mails.hideSuccessful()->setChecked(true);
        mails.onMailChecked(info, QString(), QStringLiteral("Ok"));
        QCOMPARE(mails.table()->rowCount(), 1);
        for (int n = 0; n < MailMonitor::kMaxRows; ++n)
            mails.onMailChecked(QStringLiteral("-"), QString(), QStringLiteral("<Paused>"));
        QCOMPARE(mails.table()->rowCount(), MailMonitor::kMaxRows);
        QCOMPARE(mails.table()->item(0, 3)->text(), QStringLiteral("<Paused>"));
    }

    // The fields and the script; the detail text starts as the row says, the result is the library's.
    void scriptTester_data() { JsonCases::addRows(kCases, QStringLiteral("scriptTester")); }

    void scriptTester()
    {
        QFETCH(const QJsonObject, row);
        const QString iaks = row[QStringLiteral("iaks")].toString();
        const QString value = row[QStringLiteral("value")].toString();
        const QString script = row[QStringLiteral("script")].toString();
        ScriptTest tester(QStringLiteral("Quillon"));
        tester.field(QStringLiteral("IAKS"))->setText(iaks);
        tester.field(QStringLiteral("Value"))->setText(value);
        tester.scriptField()->setPlainText(script);
        tester.onEvaluate();
        QVERIFY2(tester.detailText().startsWith(row[QStringLiteral("detail")].toString()), qPrintable(tester.detailText()));
        if (!script.startsWith(QLatin1Char('=')))
            return;
        DataParser::ValueRec rec;
        rec.iaks = iaks;
        rec.value = value.toDouble();
        const NamingScript::Result expected = NamingScript::evaluate(script.mid(1), rec);
        QCOMPARE(tester.resultText(), expected.text);
        QVERIFY(expected.ok || tester.detailText().endsWith(expected.text));
        QVERIFY(tester.elapsedText().startsWith(QStringLiteral("Evaluated in ")));
    }

    // A state of the instance and what the tray shows for it.
    void trayIcon_data() { JsonCases::addRows(kCases, QStringLiteral("trayIcon")); }

    void trayIcon()
    {
        QFETCH(const QJsonObject, row);
        static const QHash<QString, TrayMenu::ShownIcon> icons = {{"Normal", TrayMenu::ShownIcon::Normal},
                                                                  {"Error", TrayMenu::ShownIcon::Error},
                                                                  {"Stopped", TrayMenu::ShownIcon::Stopped}};
        const auto dmsState = DmsHandler::DmsState(row[QStringLiteral("dmsState")].toInt());
        const bool blinking = row[QStringLiteral("blinking")].toBool();
        TrayMenu tray(m_app);
        tray.onShowState();
        const QDateTime next(QDate::currentDate(), QTime(14, 0));
        tray.onNextMailCheckDt(next);
        const QString mailError = row[QStringLiteral("mailError")].toString();
        tray.onStateChanged(row[QStringLiteral("paused")].toBool(), dmsState, mailError, QString());
        QVERIFY(icons.contains(row[QStringLiteral("icon")].toString()));
        QCOMPARE(tray.shownIcon(), icons.value(row[QStringLiteral("icon")].toString()));
        QCOMPARE(tray.isBlinking(), blinking);
        if (blinking) {
            QTRY_COMPARE_WITH_TIMEOUT(tray.shownIcon(), TrayMenu::ShownIcon::Normal, 30000);
            QTRY_COMPARE_WITH_TIMEOUT(tray.shownIcon(), TrayMenu::ShownIcon::Error, 30000);
        }
        const QList<Kyr::State_UI::StateRecord> rows = tray.stateWindow()->states();
        QCOMPARE(rows.size(), 5);
        QCOMPARE(rows[0].text, row[QStringLiteral("mailRow")].toString() + QStringLiteral(" - next check 14:00:00"));
        QCOMPARE(rows[1].text, DmsHandler::stateText(dmsState));
        QVERIFY(tray.trayIcon()->toolTip().endsWith(QStringLiteral("\r\nNext check  14:00:00")));
        tray.onNextMailCheckDt(next.addDays(1));
        QVERIFY(tray.stateWindow()->states()[0].text.endsWith(next.addDays(1).toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"))));
    }

    void runningPausesAndResumes()
    {
        TrayMenu tray(m_app);
        QSignalSpy states(m_app, &AppMain::sigStateChanged);
        tray.runningAction()->trigger();
        QVERIFY(m_app->isPaused());
        QCOMPARE(states.size(), 1);
        QCOMPARE(states.first().first().toBool(), true);
        QTRY_COMPARE_WITH_TIMEOUT(tray.shownIcon(), TrayMenu::ShownIcon::Stopped, 30000);
        tray.onShowState();
        QCOMPARE(tray.stateWindow()->states()[0].text, QStringLiteral("Stopped"));

        tray.runningAction()->trigger();
        QVERIFY(!m_app->isPaused());
        QCOMPARE(states.size(), 2);
        QCOMPARE(states.last().first().toBool(), false);
        QTRY_VERIFY_WITH_TIMEOUT(tray.shownIcon() != TrayMenu::ShownIcon::Stopped, 30000);
    }

    void supportInstanceRows()
    {
        qputenv("ServiceMode", "true");
        TrayMenu tray(m_app);
        tray.onShowState();
        qunsetenv("ServiceMode");
        QVERIFY(!tray.runningAction()->isEnabled());
        const QList<Kyr::State_UI::StateRecord> rows = tray.stateWindow()->states();
        QCOMPARE(rows.size(), 6);
        for (int row : {TrayMenu::RowMail, TrayMenu::RowReporter, TrayMenu::RowImport})
            QCOMPARE(rows[row].text, QStringLiteral("Disabled"));
        QCOMPARE(rows[TrayMenu::RowExport].text, QStringLiteral("Idle"));
    }

    void importDialogStartsAndShowsProgress()
    {
        TrayMenu tray(m_app);
        tray.onShowState();
        QSignalSpy started(&tray, &TrayMenu::sigStartImport);
        const QString source = m_project + QStringLiteral("/mails;") + m_project + QStringLiteral("/files");
        // The dialog is modal: fill it in and accept it once it shows.
        QTimer::singleShot(0, [source] {
            auto *dialog = qobject_cast<ImportCfg *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            // First use: paths in the project's tools folder, a month back to the end of today.
            QCOMPARE(qobject_cast<QLineEdit *>(dialog->field(QStringLiteral("tempPath")))->text(),
                     qEnvironmentVariable("ORVANE_CURRENT_PROJECT_LOCATION") + QStringLiteral("tools/import/"));
            QCOMPARE(qobject_cast<QDateTimeEdit *>(dialog->field(QStringLiteral("from")))->date(), QDate::currentDate().addMonths(-1));
            qobject_cast<QLineEdit *>(dialog->field(QStringLiteral("importPath")))->setText(source);
            dialog->accept();
        });
        tray.openImportDialog();
        QCOMPARE(started.size(), 1);
        QCOMPARE(started.first().first().value<ImportParams>().sources, source);

        // The tool's progress texts show in the Import row.
        tray.onImportStateInfo(QStringLiteral("Importing..."));
        QCOMPARE(tray.stateWindow()->states()[TrayMenu::RowImport].text, QStringLiteral("Importing..."));

        // Cancelled, nothing starts, and the next opening shows the values of the last run.
        QTimer::singleShot(0, [source] {
            auto *dialog = qobject_cast<ImportCfg *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QCOMPARE(qobject_cast<QLineEdit *>(dialog->field(QStringLiteral("importPath")))->text(), source);
            dialog->reject();
        });
        tray.openImportDialog();
        QCOMPARE(started.size(), 1);
    }

    // What crosses from the file to the running intake: a spaced list of clock times saved to the
    // instance's own file reaches the intake through the reload, and a check then schedules the
    // next one at one of those times. Last, for the intake now checks a real mailbox.
    void spacedCheckTimesScheduleTheIntake()
    {
        DovecotServer server;
        QString error;
        QVERIFY2(server.start(&error), qPrintable(error));
        const QString path = ConfigFile::configFilePath();
        const QString roots = QFileInfo(path).absolutePath() + QStringLiteral("/certs/ROOT");
        QVERIFY(QDir().mkpath(roots));
        QVERIFY(QFile::copy(server.certificatePath(), roots + QStringLiteral("/imap.pem")));
        Configuration config = ConfigFile::read(path, ConfigFile::Rows::All);
        config.mail.host = server.host();
        config.mail.port = server.imapsPort();
        config.mail.userName = server.user();
        config.mail.password = server.password();
        config.mail.checkInterval = QStringLiteral("06:00; 18:00");
        QSignalSpy next(m_app, &AppMain::sigNextMailCheckDt);
        ConfigFile::write(path, config, QString());
        QTRY_VERIFY_WITH_TIMEOUT(m_app->mailConfig().checkInterval == config.mail.checkInterval, 60000);
        const auto dmsReady = [this] {
            return m_app->dmsHandler() && m_app->dmsHandler()->isReady() && m_app->dmsState() == DmsHandler::Idle;
        };

        const auto atCheckTime = [](const QDateTime &at) {
            for (const QDate &day : {QDate::currentDate(), QDate::currentDate().addDays(1)}) {
                for (int hour : {6, 18}) {
                    if (std::abs(at.secsTo(QDateTime(day, QTime(hour, 0)))) <= 2)
                        return true;
                }
            }
            return false;
        };
        // A check the DMS link was not ready for yet is armed again shortly: then force another.
        for (int attempt = 0; attempt < 3 && (next.isEmpty() || !atCheckTime(next.last().at(0).toDateTime())); ++attempt) {
            QTRY_VERIFY_WITH_TIMEOUT(dmsReady() && !next.isEmpty() && next.last().at(0).toDateTime().isValid(), 60000);
            const qsizetype seen = next.size();
            m_app->mailHandler()->forceMailCheck();
            QTRY_VERIFY_WITH_TIMEOUT(next.size() > seen && next.last().at(0).toDateTime().isValid(), 120000);
        }
        QVERIFY2(atCheckTime(next.last().at(0).toDateTime()), qPrintable(next.last().at(0).toDateTime().toString()));
    }

private:
    QString configPath(const QString &name) const { return m_project + QStringLiteral("/") + name + QStringLiteral(".ini"); }

    AppMain *m_app;
    QString m_project;
};

int main(int argc, char **argv)
{
    return runInsideApp(argc, argv, {}, [](AppMain *app, const QString &project) {
        return std::make_unique<TestUi>(app, project);
    });
}

#include "tst_ui.moc"
