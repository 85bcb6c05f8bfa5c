// Test helper of tst_pgstore: one instance of the driver's store on a PostgreSQL URI (the
// argument). Once the store is linked to the server it writes the points "Shared:P0" ... "Shared:P9"
// (created when missing) and 1000 trend rows spread over them, then waits for the commit barrier;
// exit code 0 when everything is committed.

#include "KyrIpc/PointStore.h"

#include <QDeadlineTimer>
#include <QThread>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2;
    const auto store = Orvane::PointStore::forConnection(QString::fromLocal8Bit(argv[1]));
    const QDeadlineTimer linking(60000);
    while (!store->isLinkUp() && !linking.hasExpired())
        QThread::msleep(10);
    for (int i = 0; i < 1000; ++i) {
        const QString point = QStringLiteral("Shared:P%1").arg(i % 10);
        if (store->readType(point) != Orvane::FLT)
            store->createPoint(point, Orvane::FLT);
        if (store->write(point, Orvane::FLT, double(i), 1700000000000 + i) != 0
            || store->appendTrend(1700000000000 + i * 60000LL, double(i), 2, point) != 0)
            return 1;
    }
    QString error;
    if (!store->waitUntilCommitted(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
