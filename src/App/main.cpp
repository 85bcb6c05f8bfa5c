// Entry point of Quillon: derives the application name from the executable and the optional
// instance argument, builds the controller and runs the event loop.

#include "AppMain.h"
#include "AppName.h"
#include "service/ConfigCheckCommand.h"
#include "service/ServiceFrontEnd.h"
#include "ui/ScreenshotTour.h"
#include "ui/TrayMenu.h"

#include <QApplication>
#include <QTimer>

#include <memory>

int main(int argc, char **argv)
{
    const QString name = applicationNameFromArguments(argc, argv);
    // Checking the configuration starts nothing else: no instance guard, no handlers.
    if (ConfigCheckCommand::requested(argc, argv))
        return ConfigCheckCommand::run(argc, argv, name);
    auto app = std::make_unique<AppMain>(argc, argv, name, QStringLiteral("Quillon Data Tool"), 20);
    app->addOption({QStringLiteral("check-config")},
                   QStringLiteral("Check the configuration file and exit: 0 without problems, 1 with."));
    if (!app->init())
        return 1;
    // The support instance runs without mail handling.
    if (name.toLower() == QLatin1String("quillon_support"))
        qputenv("ServiceMode", "true");

    // The windows need a display; headless, the program runs without them. Without a system
    // tray the state window is the one way in, so it opens at start.
    const bool display = QGuiApplication::platformName() != QLatin1String("offscreen")
                         && QGuiApplication::platformName() != QLatin1String("minimal");
    const QString screenshots = qEnvironmentVariable("QUILLON_SCREENSHOTS");
    std::unique_ptr<TrayMenu> tray;
    if (display || !screenshots.isEmpty()) {
        tray = std::make_unique<TrayMenu>(app.get());
        if (!screenshots.isEmpty()) {
            auto *tour = new ScreenshotTour(app.get(), tray.get(), screenshots,
                                            qEnvironmentVariable("QUILLON_SCREENSHOT_DATA")
                                                .split(QLatin1Char(';'), Qt::SkipEmptyParts));
            QTimer::singleShot(0, tour, &ScreenshotTour::start);
        } else if (!QSystemTrayIcon::isSystemTrayAvailable()) {
            QTimer::singleShot(0, tray.get(), &TrayMenu::onShowState);
        }
    }
    // The operator's ways in without a display: control channel, SIGHUP, systemd, metrics.
    auto service = std::make_unique<ServiceFrontEnd>(app.get());
    const int exitCode = QApplication::exec();
    service.reset();
    tray.reset();
    app.reset();
    return exitCode;
}
