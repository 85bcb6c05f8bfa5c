// The windows of the program, driven as a user would under the offscreen platform: the editor
// writes what was edited and refuses what the program could not use, the monitors show values in
// their formats and within their limits, the script tester gives the naming scripts' results, the
// tray menu pauses and shows the instance's health, and a tool dialog hands its values on.

#include "../common/TestFiles.h"
#include "AppMain.h"
#include "config/ConfigFile.h"
#include "naming/NamingScript.h"
#include "ui/Config_UI.h"
#include "ui/DataMonitor.h"
#include "ui/MailMonitor.h"
#include "ui/ScriptTest.h"
#include "ui/ToolDialogs.h"
#include "ui/TrayMenu.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
// A value as the mail monitor and the DB monitor show it.
struct MonitorCase
{
    double value;
    QString unit;
    bool increment;
    QString aks;
    uint dbState;
    QString point, valueText, stateText;
};

// A state of the instance and what the tray shows for it.
struct TrayCase
{
    bool paused;
    int dmsState;
    QString mailError;
    TrayMenu::ShownIcon icon;
    bool blinking;
    QString mailRow;
};
} // namespace

Q_DECLARE_METATYPE(MonitorCase)
Q_DECLARE_METATYPE(TrayCase)

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
        QTableWidget *table = editor.mappingTable();
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

    void editorRefusesUnusableFields_data()
    {
        QTest::addColumn<QString>("interval");
        QTest::addColumn<QString>("smtpHost");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("problem"); // empty: the file is written

        const QString host = QStringLiteral("smtp.example.org");
        QTest::newRow("clock times") << "08:00;12:30" << "" << "A:*" << "";
        QTest::newRow("interval not a number") << "abc" << "" << "A:*" << "Enter minutes";
        QTest::newRow("interval with a bad time") << "08:00;25:00" << "" << "A:*" << "'25:00' is not a clock time hh:mm";
        QTest::newRow("port 0 with a host") << "15" << host << "A:*" << "Port must be between 1 and 65535";
        QTest::newRow("reversed range") << "15" << "" << "A:[z-a]" << "can never match";
        QTest::newRow("empty pattern") << "15" << "" << "" << "An empty pattern matches no identifier";
    }

    void editorRefusesUnusableFields()
    {
        QFETCH(QString, interval);
        QFETCH(QString, smtpHost);
        QFETCH(QString, pattern);
        QFETCH(QString, problem);
        const QString path = configPath(QStringLiteral("checks"));
        QFile::remove(path);
        ConfigFile::write(path, Configuration(), QString());

        Config_UI editor(path);
        editor.checkIntervalField()->setText(interval);
        editor.smtpHostField()->setText(smtpHost);
        editor.onAddCheck();
        editor.checkTable()->item(0, 1)->setText(pattern);
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
            QCOMPARE(editor.checkIntervalProblem()->isVisibleTo(&editor), problem == "Enter minutes" || problem.startsWith("'25"));
        }
        editor.setWindowModified(false);
    }

    void dataMonitorFormats_data()
    {
        QTest::addColumn<MonitorCase>("row");
        QTest::newRow("interval amount, change, invalid")
            << MonitorCase{12.5, "kWh", true, "Plant:E", 0x10002u, "A:B->Plant:E", "12.5 (kWh) [+]", "CHANGE [INV]"};
        QTest::newRow("reading, new data, same name") << MonitorCase{1e20, "", false, "A:B", 16u, "A:B", "1e+20", "NEWDATA"};
        QTest::newRow("15 digits, unknown reason") << MonitorCase{0.1 + 0.2, "m3", false, "A:B", 3u, "A:B", "0.3 (m3)", "?"};
    }

    void dataMonitorFormats()
    {
        QFETCH(MonitorCase, row);
        DataParser::ValueRec rec;
        rec.iaks = QStringLiteral("A:B");
        rec.aks = row.aks;
        rec.value = row.value;
        rec.unit = row.unit;
        rec.increment = row.increment;
        rec.state = 7;
        rec.timestamp = QDateTime(QDate(2024, 3, 31), QTime(2, 30), Qt::UTC);

        DataMonitor fromMail(QStringLiteral("Quillon"), QStringLiteral("Mail Data monitor"));
        fromMail.onValueFromMail(rec);
        QTableWidget *mail = fromMail.table();
        QCOMPARE(mail->item(0, 1)->text(), QStringLiteral("A:B"));
        QCOMPARE(mail->item(0, 2)->text(), QStringLiteral("2024-03-31T02:30:00Z"));
        QCOMPARE(mail->item(0, 3)->text(), row.valueText);
        QCOMPARE(mail->item(0, 4)->text(), QStringLiteral("7"));

        DataMonitor toDb(QStringLiteral("Quillon"), QStringLiteral("DB Data monitor"));
        toDb.onValueToDb(rec, row.dbState);
        QCOMPARE(toDb.table()->item(0, 1)->text(), row.point);
        QCOMPARE(toDb.table()->item(0, 4)->text(), row.stateText);
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

    void scriptTester_data()
    {
        QTest::addColumn<QString>("iaks");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("detail"); // start of the detail text; the result is the library's

        QTest::newRow("IAKS part") << "A:B:C" << "" << "=IAKS2" << "Evaluating...";
        QTest::newRow("Value number") << "" << "1.5" << "=Value*2" << "Evaluating...";
        QTest::newRow("without =") << "A" << "" << "IAKS" << "Error: Script must start with '='!";
        QTest::newRow("empty") << "A" << "" << "" << "Error: Script is empty!";
        QTest::newRow("syntax error") << "A" << "" << "=IAKS +\n(" << "Uncaught exception at line 2:";
    }

    void scriptTester()
    {
        QFETCH(QString, iaks);
        QFETCH(QString, value);
        QFETCH(QString, script);
        QFETCH(QString, detail);
        ScriptTest tester(QStringLiteral("Quillon"));
        tester.field(QStringLiteral("IAKS"))->setText(iaks);
        tester.field(QStringLiteral("Value"))->setText(value);
        tester.scriptField()->setPlainText(script);
        tester.onEvaluate();
        QVERIFY2(tester.detailText().startsWith(detail), qPrintable(tester.detailText()));
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

    void trayIcon_data()
    {
        QTest::addColumn<TrayCase>("row");
        QTest::newRow("all well") << TrayCase{false, 0, "", TrayMenu::ShownIcon::Normal, false, "Idle"};
        QTest::newRow("connecting blinks") << TrayCase{false, 2, "", TrayMenu::ShownIcon::Error, true, "Idle"};
        QTest::newRow("mail error blinks")
            << TrayCase{false, 0, "Missing configuration", TrayMenu::ShownIcon::Error, true, "Missing configuration"};
        QTest::newRow("paused stops whatever the errors") << TrayCase{true, 5, "x", TrayMenu::ShownIcon::Stopped, false, "x"};
    }

    void trayIcon()
    {
        QFETCH(TrayCase, row);
        TrayMenu tray(m_app);
        tray.onShowState();
        const QDateTime next(QDate::currentDate(), QTime(14, 0));
        tray.onNextMailCheckDt(next);
        tray.onStateChanged(row.paused, DmsHandler::DmsState(row.dmsState), row.mailError, QString());
        QCOMPARE(tray.shownIcon(), row.icon);
        QCOMPARE(tray.isBlinking(), row.blinking);
        if (row.blinking) {
            QTRY_COMPARE_WITH_TIMEOUT(tray.shownIcon(), TrayMenu::ShownIcon::Normal, 30000);
            QTRY_COMPARE_WITH_TIMEOUT(tray.shownIcon(), TrayMenu::ShownIcon::Error, 30000);
        }
        const QList<Kyr::State_UI::StateRecord> rows = tray.stateWindow()->states();
        QCOMPARE(rows.size(), 5);
        QCOMPARE(rows[0].text, row.mailRow + QStringLiteral(" - next check 14:00:00"));
        QCOMPARE(rows[1].text, DmsHandler::stateText(DmsHandler::DmsState(row.dmsState)));
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
            QCOMPARE(qobject_cast<QLineEdit *>(dialog->field(QStringLiteral("tempPath")))->text(), QStringLiteral("C:/temp/"));
            qobject_cast<QLineEdit *>(dialog->field(QStringLiteral("importPath")))->setText(source);
            dialog->accept();
        });
        tray.openImportDialog();
        QCOMPARE(started.size(), 1);
        QCOMPARE(started.first().first().value<ImportCfg::Values>().importPaths, source);

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

private:
    QString configPath(const QString &name) const { return m_project + QStringLiteral("/") + name + QStringLiteral(".ini"); }

    AppMain *m_app;
    QString m_project;
};

// The application object comes from the frame, as in the program; the tests run inside it.
int main(int argc, char **argv)
{
    QTemporaryDir dir;
    // Window and dialog settings go to the test's own folder, not to the user's.
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("settings")).toLocal8Bit());
    const QByteArray project = dir.path().toLocal8Bit();
    QByteArrayList arguments = {argv[0], "-m", "-p", project};
    std::vector<char *> appArgv;
    for (QByteArray &a : arguments)
        appArgv.push_back(a.data());
    int appArgc = int(appArgv.size());
    auto *app = new AppMain(appArgc, appArgv.data(), QStringLiteral("Quillon"), QStringLiteral("Quillon Data Tool"), 20);
    if (!app->init())
        return 1;
    TestUi test(app, dir.path());
    const int failures = QTest::qExec(&test, argc, argv);
    delete app;
    return failures;
}

#include "tst_ui.moc"
