#pragma once
// The application object comes from the frame, as in the program, and a test object runs inside
// it. The project is a temporary folder ("-m -p <project>" and the further arguments), and window
// and dialog settings go to that folder too, not to the user's.

#include "AppMain.h"

#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

inline int runInsideApp(int argc, char **argv, const QByteArrayList &furtherArguments,
                        const std::function<std::unique_ptr<QObject>(AppMain *, const QString &project)> &makeTest)
{
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("settings")).toLocal8Bit());
    QByteArrayList arguments = QByteArrayList{argv[0], "-m", "-p", dir.path().toLocal8Bit()} + furtherArguments;
    std::vector<char *> appArgv;
    for (QByteArray &a : arguments)
        appArgv.push_back(a.data());
    int appArgc = int(appArgv.size());
    auto *app = new AppMain(appArgc, appArgv.data(), QStringLiteral("Quillon"), QStringLiteral("Quillon Data Tool"), 20);
    if (!app->init())
        return 1;
    const std::unique_ptr<QObject> test = makeTest(app, dir.path());
    const int failures = QTest::qExec(test.get(), argc, argv);
    delete app;
    return failures;
}
