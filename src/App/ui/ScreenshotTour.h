#pragma once
// A walk through every window and dialog of the program that saves a picture of each into a
// folder, for the documentation and for a look at the layouts: started by the environment
// variable QUILLON_SCREENSHOTS (the folder). The monitors show real values: those of the first
// mail check, or, without a mail handler, those of the data files named in
// QUILLON_SCREENSHOT_DATA (separated by ";"), parsed and handed to the DMS handler. The trend
// window shows the point named in QUILLON_SCREENSHOT_TREND over the last week, with the values at
// the middle row under the pointer. The program ends when the walk is done.

#include <QDir>
#include <QObject>
#include <QStringList>

class AppMain;
class TrayMenu;
class QWidget;

class ScreenshotTour : public QObject
{
    Q_OBJECT
public:
    ScreenshotTour(AppMain *app, TrayMenu *tray, const QString &folder, const QStringList &dataFiles);

    // Starts the walk once the event loop runs and the DMS link is ready (or after a while without).
    void start();

private:
    void feedValues();
    void runOnce();
    void run();
    void saveTrendWindow();
    void save(QWidget *widget, const QString &name);

    AppMain *m_app;
    TrayMenu *m_tray;
    QDir m_folder;
    QStringList m_dataFiles;
    int m_waitRounds = 0;
    bool m_ran = false;
};
