// Qt's messages routed into the logger: level table, line format, filters; the logger's
// placeholders, excerpts of outside text and its log file.

#include "../common/JsonCases.h"
#include "../common/LogCapture.h"
#include "KyrLogger/LogExcerpt.h"
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

const QString kCases = QStringLiteral("tests/frame/data/logrouting.json");
} // namespace

class TestLogRouting : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qunsetenv("ORVANE_CURRENT_LOG_LOCATION");
    }

    // A Qt message of a type with its context, the level it is logged at (0: not logged) and the
    // text after the location.
    void routing_data() { JsonCases::addRows(kCases, QStringLiteral("routing")); }

    void routing()
    {
        QFETCH(const QJsonObject, row);
        static const QHash<QString, QtMsgType> types = {
            {"debug", QtDebugMsg}, {"info", QtInfoMsg}, {"warning", QtWarningMsg}, {"critical", QtCriticalMsg}};
        // Absent parts of the context are null pointers, as Qt gives them.
        const auto part = [&](const char *key) { return row[QLatin1String(key)].toString().toUtf8(); };
        const QByteArray file = part("file"), function = part("function"), category = part("category");
        QMessageLogContext context(file.isEmpty() ? nullptr : file.constData(), row[QStringLiteral("line")].toInt(),
                                   function.isEmpty() ? nullptr : function.constData(),
                                   category.isEmpty() ? nullptr : category.constData());
        LogCapture capture;
        QVERIFY(types.contains(row[QStringLiteral("type")].toString()));
        Kyr::qtMessageHandler(types.value(row[QStringLiteral("type")].toString()), context,
                              row[QStringLiteral("message")].toString());
        const int level = row[QStringLiteral("level")].toInt();
        if (level == 0) {
            QVERIFY(capture.lines().isEmpty());
            return;
        }
        QCOMPARE(capture.lines().size(), 1);
        QCOMPARE(int(capture.lines().first().level), level);
        QCOMPARE(textOf(capture.lines().first().text), row[QStringLiteral("text")].toString());
        // The location of the line is the handler's own source file.
        QVERIFY(capture.lines().first().text.contains(QStringLiteral("QtMsgHandler.cpp:")));
    }

    void placeholders_data() { JsonCases::addRows(kCases, QStringLiteral("placeholders")); }

    void placeholders()
    {
        QFETCH(const QJsonObject, row);
        const QString text = row[QStringLiteral("text")].toString();
        LogCapture capture;
        {
            Kyr::LogMessage message = LOG_OUT(Kyr::LogNotice, row[QStringLiteral("format")].toString());
            for (const QVariant &arg : row[QStringLiteral("args")].toArray().toVariantList())
                message.arg(arg);
            QCOMPARE(message.text(), text);
        } // a message without endl() is still written when it goes out of scope
        QCOMPARE(capture.lines().size(), 1);
        QCOMPARE(int(capture.lines().first().level), 5);
        QVERIFY(capture.lines().first().text.endsWith(text));
    }

    // Text from outside as a log line carries it: escaped, and cut past the limit.
    void excerpts_data() { JsonCases::addRows(kCases, QStringLiteral("excerpts")); }

    void excerpts()
    {
        QFETCH(const QJsonObject, row);
        const qsizetype max = row[QStringLiteral("max")].toInt(int(Kyr::LogExcerptChars));
        QCOMPARE(Kyr::logExcerpt(row[QStringLiteral("text")].toString(), max), row[QStringLiteral("expected")].toString());
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
