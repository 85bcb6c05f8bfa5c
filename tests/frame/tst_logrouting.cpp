// Qt's messages routed into the logger: level table, line format, filters; the logger's
// placeholders and its log file.

#include "../common/LogCapture.h"
#include "KyrLogger/Logger.h"
#include "KyrLogger/QtMsgHandler.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

namespace {
// The text after "file:line " of a logged line.
QString textOf(const QString &line)
{
    const qsizetype space = line.indexOf(u' ', line.indexOf(u':'));
    return line.mid(space + 1);
}
} // namespace

class TestLogRouting : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void routing_data();
    void routing();
    void placeholders_data();
    void placeholders();
    void fileLinesFromSeveralThreads();
};

void TestLogRouting::initTestCase()
{
    qunsetenv("ORVANE_CURRENT_LOG_LOCATION");
}

void TestLogRouting::routing_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("category");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("function");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("text");

    QTest::newRow("two-line warning without context")
        << int(QtWarningMsg) << "a\nb" << QByteArray() << QByteArray() << QByteArray() << 0 << 4 << "[WARNING] 'a - b'";
    QTest::newRow("libpng warning is dropped")
        << int(QtWarningMsg) << "libpng warning: iCCP: known incorrect sRGB profile" << QByteArray() << QByteArray()
        << QByteArray() << 0 << 0 << "";
    QTest::newRow("libpng later in the text is kept")
        << int(QtWarningMsg) << "decoder: libpng warning" << QByteArray() << QByteArray() << QByteArray() << 0 << 4
        << "[WARNING] 'decoder: libpng warning'";
    QTest::newRow("debug with category")
        << int(QtDebugMsg) << "connecting" << QByteArray("qt.network") << QByteArray() << QByteArray() << 0 << 7
        << "[DEBUG-'qt.network'] 'connecting'";
    QTest::newRow("script console output")
        << int(QtDebugMsg) << "x = 5" << QByteArray("js") << QByteArray() << QByteArray() << 0 << 6
        << "[DEBUG-'js'] 'x = 5'";
    QTest::newRow("full location")
        << int(QtCriticalMsg) << "boom" << QByteArray() << QByteArray("f.cpp") << QByteArray("fn") << 12 << 2
        << "[CRITICAL] 'boom' in 'f.cpp' - 'fn' , line:12";
    QTest::newRow("line only")
        << int(QtInfoMsg) << "note" << QByteArray() << QByteArray() << QByteArray() << 7 << 6 << "[INFO] 'note' , line:7";
    QTest::newRow("function without file")
        << int(QtWarningMsg) << "w" << QByteArray("default") << QByteArray() << QByteArray("run") << 0 << 4
        << "[WARNING-'default'] 'w' - 'run'";
}

void TestLogRouting::routing()
{
    QFETCH(int, type);
    QFETCH(QString, message);
    QFETCH(QByteArray, category);
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, function);
    QFETCH(int, line);
    QFETCH(int, level);
    QFETCH(QString, text);

    QMessageLogContext context(file.isEmpty() ? nullptr : file.constData(), line,
                               function.isEmpty() ? nullptr : function.constData(),
                               category.isEmpty() ? nullptr : category.constData());
    LogCapture capture;
    Kyr::qtMessageHandler(QtMsgType(type), context, message);
    if (level == 0) {
        QVERIFY(capture.lines().isEmpty());
        return;
    }
    QCOMPARE(capture.lines().size(), 1);
    QCOMPARE(int(capture.lines().first().level), level);
    QCOMPARE(textOf(capture.lines().first().text), text);
    // The location of the line is the handler's own source file.
    QVERIFY(capture.lines().first().text.contains(QStringLiteral("QtMsgHandler.cpp:")));
}

void TestLogRouting::placeholders_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QVariantList>("args");
    QTest::addColumn<QString>("text");
    QTest::newRow("in order") << "DMS:'%1', PDBS:'%2'" << QVariantList{"a", "b"} << "DMS:'a', PDBS:'b'";
    QTest::newRow("value holding a placeholder") << "%1 and %2" << QVariantList{"%2", "x"} << "%2 and x";
    QTest::newRow("numbers and booleans") << "%1/%2" << QVariantList{42, true} << "42/true";
    QTest::newRow("missing argument stays") << "%1 %2" << QVariantList{"only"} << "only %2";
    QTest::newRow("percent sign alone") << "100% of %1" << QVariantList{"x"} << "100% of x";
    QTest::newRow("two-digit placeholder") << "%10" << QVariantList{1, 2, 3, 4, 5, 6, 7, 8, 9, "ten"} << "ten";
}

void TestLogRouting::placeholders()
{
    QFETCH(QString, format);
    QFETCH(QVariantList, args);
    QFETCH(QString, text);
    LogCapture capture;
    {
        Kyr::LogMessage message = LOG_OUT(Kyr::LogNotice, format);
        for (const QVariant &arg : args)
            message.arg(arg);
        QCOMPARE(message.text(), text);
    } // a message without endl() is still written when it goes out of scope
    QCOMPARE(capture.lines().size(), 1);
    QCOMPARE(int(capture.lines().first().level), 5);
    QVERIFY(capture.lines().first().text.endsWith(text));
}

void TestLogRouting::fileLinesFromSeveralThreads()
{
    QTemporaryDir dir;
    qputenv("ORVANE_CURRENT_LOG_LOCATION", (dir.path() + QStringLiteral("/log/")).toUtf8());
    QCoreApplication::setApplicationName(QStringLiteral("quillon_logtest"));
    Kyr::Logger::instance().reopen();

    constexpr int kThreads = 4;
    constexpr int kLines = 250;
    QList<QThread *> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.append(QThread::create([t] {
            for (int i = 0; i < kLines; ++i)
                LOG_OUT(Kyr::LogDebug, "thread %1 line %2").arg(t).arg(i).endl();
        }));
        threads.last()->start();
    }
    for (QThread *thread : threads) {
        thread->wait();
        delete thread;
    }
    Kyr::Logger::instance().reopen();
    qunsetenv("ORVANE_CURRENT_LOG_LOCATION");

    QFile file(dir.filePath(QStringLiteral("log/quillon_logtest.log")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), kThreads * kLines);
    // time, thread, level, source file and line, text: one whole line each
    static const QRegularExpression shape(
        QStringLiteral(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[\d+\] DEBUG  tests/frame/tst_logrouting\.cpp:\d+ thread \d line \d+$)"));
    for (const QString &line : lines)
        QVERIFY2(shape.match(line).hasMatch(), qPrintable(line));
}

QTEST_GUILESS_MAIN(TestLogRouting)
#include "tst_logrouting.moc"
