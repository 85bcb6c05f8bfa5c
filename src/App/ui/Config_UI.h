#pragma once
// The configuration editor: one page per tab shows its keys of the configuration read from the
// file; saving writes that configuration back with only what the pages show changed, so keys no
// page shows keep their values. The window marks itself modified on any change. Saving changes
// the file, and the controller reloads on that; the editor never talks to the handlers. Before
// saving it runs the configuration checks and shows each problem beside its field instead of
// writing.

#include "config/ConfigFile.h"
#include "ui/config/CloudPage.h"
#include "ui/config/DmsPage.h"
#include "ui/config/MappingPage.h"
#include "ui/config/OptionsPage.h"
#include "ui/config/RangeCheckPage.h"
#include "ui/config/UsersPage.h"

#include <QMainWindow>

class QTabWidget;

class Config_UI : public QMainWindow
{
    Q_OBJECT
public:
    explicit Config_UI(const QString &configFilePath, QWidget *parent = nullptr);

    // Checks and writes the file; false (nothing written) when a field has a problem.
    bool save();
    // The problems found by the last save, one text per field or table.
    QStringList problems() const { return m_problems; }

    QTabWidget *tabs() const { return m_tabs; }
    template<typename Page>
    Page *page() const
    {
        return findChild<Page *>();
    }

signals:
    void sigClosed();

public slots:
    void onAnyChanged();
    void onOkPressed();
    void onCancelPressed();
    void onActionAbout();
    void onActionHelp();
    void onScriptTester();
    // The row actions of the tables, on their pages.
    void onAddDp() { page<DmsPage>()->onAddDp(); }
    void onAddDpTRD() { page<DmsPage>()->onAddDpTRD(); }
    void onAddDpALM() { page<DmsPage>()->onAddDpALM(); }
    void onAddMap() { page<MappingPage>()->onAddMap(); }
    void onAddOpt() { page<OptionsPage>()->onAddOpt(); }
    void onAddCheck() { page<RangeCheckPage>()->onAddCheck(); }
    void onAddUser() { page<UsersPage>()->onAddUser(); }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void addPages();
    void buildMenu();
    void load();
    bool checkPages(const Configuration &config);

    QString m_path;
    Configuration m_config; // as read from the file, or as last saved
    QList<ConfigPage *> m_pages;
    bool m_loading = false;
    QStringList m_problems;
    QTabWidget *m_tabs;
};
