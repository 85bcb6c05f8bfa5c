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

// A Qt message with its context, the level it is logged at (0: not logged) and the text after
// the location.
struct Message
{
    QtMsgType type;
    QString message;
    QByteArray category, file, function;
    int line, level;
    QString text;
};
} // namespace

Q_DECLARE_METATYPE(Message)

class TestLogRouting : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qunsetenv("ORVANE_CURRENT_LOG_LOCATION");
    }

    void routing_data()
    {
        QTest::addColumn<Message>("m");
        QTest::newRow("two-line warning without context") << Message{QtWarningMsg, "a\nb", {}, {}, {}, 0, 4, "[WARNING] 'a - b'"};
        QTest::newRow("libpng warning is dropped")
            << Message{QtWarningMsg, "libpng warning: iCCP: known incorrect sRGB profile", {}, {}, {}, 0, 0, ""};
        QTest::newRow("libpng later in the text is kept")
            << Message{QtWarningMsg, "decoder: libpng warning", {}, {}, {}, 0, 4, "[WARNING] 'decoder: libpng warning'"};
        QTest::newRow("debug with category")
            << Message{QtDebugMsg, "connecting", "qt.network", {}, {}, 0, 7, "[DEBUG-'qt.network'] 'connecting'"};
        QTest::newRow("script console output") << Message{QtDebugMsg, "x = 5", "js", {}, {}, 0, 6, "[DEBUG-'js'] 'x = 5'"};
        QTest::newRow("full location")
            << Message{QtCriticalMsg, "boom", {}, "f.cpp", "fn", 12, 2, "[CRITICAL] 'boom' in 'f.cpp' - 'fn' , line:12"};
        QTest::newRow("line only") << Message{QtInfoMsg, "note", {}, {}, {}, 7, 6, "[INFO] 'note' , line:7"};
        QTest::newRow("function without file")
            << Message{QtWarningMsg, "w", "default", {}, "run", 0, 4, "[WARNING-'default'] 'w' - 'run'"};
    }

    void routing()
    {
        QFETCH(Message, m);
        QMessageLogContext context(m.file.isEmpty() ? nullptr : m.file.constData(), m.line,
                                   m.function.isEmpty() ? nullptr : m.function.constData(),
                                   m.category.isEmpty() ? nullptr : m.category.constData());
        LogCapture capture;
        Kyr::qtMessageHandler(m.type, context, m.message);
        if (m.level == 0) {
            QVERIFY(capture.lines().isEmpty());
            return;
        }
        QCOMPARE(capture.lines().size(), 1);
        QCOMPARE(int(capture.lines().first().level), m.level);
        QCOMPARE(textOf(capture.lines().first().text), m.text);
        // The location of the line is the handler's own source file.
        QVERIFY(capture.lines().first().text.contains(QStringLiteral("QtMsgHandler.cpp:")));
    }

    void placeholders_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<QString>("text");
        QTest::newRow("value holding a placeholder") << "%1 and %2" << QVariantList{"%2", "x"} << "%2 and x";
        QTest::newRow("numbers and booleans") << "%1/%2" << QVariantList{42, true} << "42/true";
        QTest::newRow("missing argument stays") << "%1 %2" << QVariantList{"only"} << "only %2";
        QTest::newRow("percent sign alone") << "100% of %1" << QVariantList{"x"} << "100% of x";
        QTest::newRow("two-digit placeholder") << "%10" << QVariantList{1, 2, 3, 4, 5, 6, 7, 8, 9, "ten"} << "ten";
    }

    void placeholders()
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

    void fileLinesFromSeveralThreads()
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
};

QTEST_GUILESS_MAIN(TestLogRouting)
#include "tst_logrouting.moc"
