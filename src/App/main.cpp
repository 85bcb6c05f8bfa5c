// Entry point of Quillon: derives the application name from the executable and the optional
// instance argument, builds the controller and runs the event loop.

#include "AppMain.h"
#include "AppName.h"

#include <QApplication>

#include <memory>

int main(int argc, char **argv)
{
    const QString name = applicationNameFromArguments(argc, argv);
    auto app = std::make_unique<AppMain>(argc, argv, name, QStringLiteral("Quillon Data Tool"), 20);
    if (!app->init())
        return 1;
    // The support instance runs without mail handling.
    if (name.toLower() == QLatin1String("quillon_support"))
        qputenv("ServiceMode", "true");
    const int exitCode = QApplication::exec();
    app.reset();
    return exitCode;
}
