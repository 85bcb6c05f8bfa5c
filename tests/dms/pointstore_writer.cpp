// Test helper of tst_pointstore: writes the point "Kill:Value" and a trend row of it with the
// values 0, 1, 2, ... for ever, and after every N values (the argument) waits for the store's
// commit barrier and prints the count of values acknowledged, one number a line.

#include "KyrIpc/PointStore.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    const long every = argc > 1 ? std::atol(argv[1]) : 100;
    const auto store = Orvane::PointStore::forConnection(QStringLiteral("local"));
    const QString point = QStringLiteral("Kill:Value");
    store->createPoint(point, Orvane::FLT);
    for (qint64 i = 0;; ++i) {
        if (store->write(point, Orvane::FLT, double(i), i) != 0 || store->appendTrend(i, double(i), 0, point) != 0)
            return 1;
        if ((i + 1) % every == 0) {
            QString error;
            if (!store->waitUntilCommitted(&error)) {
                std::fprintf(stderr, "%s\n", qPrintable(error));
                return 1;
            }
            std::printf("%lld\n", static_cast<long long>(i + 1));
            std::fflush(stdout);
        }
    }
}
