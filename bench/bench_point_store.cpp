// links: KyrIpc
// Cost of durability in the point store's file: trend rows appended through the store's writer
// with a commit barrier after every mail's worth of rows, once with synchronous=NORMAL (a commit
// reaches the disk at the next checkpoint) and once with FULL (every commit reaches the disk
// before the barrier returns). Prints rows per second and the mean barrier time for each.
// Usage: bench_point_store [folder]  (the folder for the files, default the current one; put it
// on the disk the store will live on).

#include "KyrIpc/StoreWriter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>

namespace {

constexpr int Rows = 200000;

void measure(const QString &folder, bool full, int rowsPerBarrier)
{
    const QString path = QDir(folder).filePath(QStringLiteral("bench_point_store.sqlite"));
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
    auto file = std::make_unique<Orvane::StoreFile>(path);
    if (!file->isOpen() || !file->setSynchronousFull(full)) {
        std::printf("cannot open %s: %s\n", qPrintable(path), qPrintable(file->errorText()));
        return;
    }
    Orvane::StoreWriter writer(std::move(file));
    QElapsedTimer total;
    total.start();
    qint64 barrierNs = 0;
    for (int i = 0; i < Rows; ++i) {
        writer.appendTrend({QStringLiteral("PDBS"), 1700000000000 + i * 900000LL, i * 0.5, 0,
                            QStringLiteral("SITE:BLD%1:M%2:1.8.0").arg(i % 50).arg(i % 1000)});
        if ((i + 1) % rowsPerBarrier == 0) {
            QElapsedTimer barrier;
            barrier.start();
            if (!writer.waitUntilCommitted())
                std::printf("commit failed\n");
            barrierNs += barrier.nsecsElapsed();
        }
    }
    const double seconds = total.nsecsElapsed() / 1e9;
    std::printf("synchronous=%-6s barrier every %5d rows: %9.0f rows/s, barrier %7.2f ms on average\n",
                full ? "FULL" : "NORMAL", rowsPerBarrier, Rows / seconds, barrierNs / 1e6 / (Rows / rowsPerBarrier));
    std::fflush(stdout);
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
}

} // namespace

int main(int argc, char **argv)
{
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    for (const int rowsPerBarrier : {100, 1000, 10000}) {
        measure(folder, false, rowsPerBarrier);
        measure(folder, true, rowsPerBarrier);
    }
    return 0;
}
