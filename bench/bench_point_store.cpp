// links: KyrIpc quillon_test_fixtures
// Trend rows through the point store's writer with a commit barrier after every mail's worth of
// rows, into each kind of database in the same run: the SQLite file once with synchronous=NORMAL
// (a commit reaches the disk at the next checkpoint) and once with FULL (every commit reaches the
// disk before the barrier returns), and a PostgreSQL server. Prints rows per second and the mean
// barrier time for each.
// Usage: bench_point_store [folder] [postgresql-uri]  (the folder for the files, default the
// current one; put it on the disk the store will live on. Without a URI, a local server is started
// in a temporary folder when the bench runs as root.)

#include "KyrIpc/PostgresStore.h"
#include "KyrIpc/StoreFile.h"
#include "KyrIpc/StoreWriter.h"
#include "fixtures/PostgresServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <cstdio>

namespace {

constexpr int Rows = 200000;

void measure(const QString &label, std::unique_ptr<Orvane::StoreDatabase> database, int rowsPerBarrier)
{
    static qint64 run = 0; // each run its own times, so that no run merges into another's rows
    const qint64 firstMs = 1700000000000 + run++ * Rows * 900000LL;
    Orvane::StoreWriter writer(std::move(database));
    // A server is connected by the writer's thread: the barrier holds once it is.
    const QDeadlineTimer connecting(15000);
    writer.appendTrend({QStringLiteral("PDBS"), firstMs - 900000, 0, 0, QStringLiteral("SITE:START")});
    while (!writer.waitUntilCommitted() && !connecting.hasExpired())
        QThread::msleep(10);
    QElapsedTimer total;
    total.start();
    qint64 barrierNs = 0;
    QString error;
    for (int i = 0; i < Rows; ++i) {
        writer.appendTrend({QStringLiteral("PDBS"), firstMs + i * 900000LL, i * 0.5, 0,
                            QStringLiteral("SITE:BLD%1:M%2:1.8.0").arg(i % 50).arg(i % 1000)});
        if ((i + 1) % rowsPerBarrier == 0) {
            QElapsedTimer barrier;
            barrier.start();
            if (!writer.waitUntilCommitted(&error)) {
                std::printf("%s: commit failed: %s\n", qPrintable(label), qPrintable(error));
                return;
            }
            barrierNs += barrier.nsecsElapsed();
        }
    }
    const double seconds = total.nsecsElapsed() / 1e9;
    std::printf("%-18s barrier every %5d rows: %9.0f rows/s, barrier %7.2f ms on average\n", qPrintable(label),
                rowsPerBarrier, Rows / seconds, barrierNs / 1e6 / (Rows / rowsPerBarrier));
    std::fflush(stdout);
}

void measureFile(const QString &folder, bool full, int rowsPerBarrier)
{
    const QString path = QDir(folder).filePath(QStringLiteral("bench_point_store.sqlite"));
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
    auto file = std::make_unique<Orvane::StoreFile>(path);
    if (!file->isOpen() || !file->setSynchronousFull(full)) {
        std::printf("cannot open %s: %s\n", qPrintable(path), qPrintable(file->errorText()));
        return;
    }
    measure(full ? QStringLiteral("SQLite FULL") : QStringLiteral("SQLite NORMAL"), std::move(file), rowsPerBarrier);
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
}

} // namespace

int main(int argc, char **argv)
{
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QString uri = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    PostgresServer server;
    if (uri.isEmpty()) {
        QString error;
        if (server.start(&error) && server.createDatabase(QStringLiteral("bench"), &error))
            uri = server.uri(QStringLiteral("bench"));
        else
            std::printf("no PostgreSQL server: %s\n", qPrintable(error));
    }
    for (const int rowsPerBarrier : {100, 1000, 10000}) {
        measureFile(folder, false, rowsPerBarrier);
        measureFile(folder, true, rowsPerBarrier);
        if (!uri.isEmpty())
            measure(QStringLiteral("PostgreSQL"), std::make_unique<Orvane::PostgresStore>(uri), rowsPerBarrier);
    }
    return 0;
}
