#pragma once
// A DMS handler in its own thread on the point stores of its connections: start it (and wait
// until ready), hand it a mail, read the points, trend rows and status-report entries it wrote,
// quit it. The stores are held: a test prepares them before the start, reads them after the stop.

#include "dms/DmsHandler.h"
#include "dms/StatusReportSink.h"

#include "KyrIpc/PointStore.h"

#include <QMutex>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <memory>

// Collects what a handler reports for the status report (from the handler's thread), and the
// mail entries of a mail handler given the same sink.
class CollectingSink : public StatusReportSink
{
public:
    void addCreatedAks(const QString &aks) override
    {
        QMutexLocker lock(&mutex);
        created.append(aks);
    }
    void addMiscMessage(const QString &text) override
    {
        QMutexLocker lock(&mutex);
        messages.append(text);
    }
    void addMailEntry(const QString &text, const QString &, const QString &) override
    {
        QMutexLocker lock(&mutex);
        mailEntries.append(text);
    }
    QMutex mutex;
    QStringList created;
    QStringList messages;
    QStringList mailEntries;
};

class DmsHandlerRun
{
public:
    DmsHandlerRun(const DmsConfig &config, const DmsTiming &timing)
        : config(config),
          timing(timing),
          store(Orvane::PointStore::forConnection(config.dmsConnection)),
          pdbs(Orvane::PointStore::forConnection(config.pdbsConnection))
    {
    }
    ~DmsHandlerRun() { stop(); }

    // The record a mail's intake sends after the mail's last value.
    static DataParser::ValueRec endOfMailMarker()
    {
        DataParser::ValueRec r;
        r.timestamp = QDateTime::currentDateTime();
        r.iaks = QStringLiteral("ENDMAILCHECK");
        r.aks = QStringLiteral("ENDMAILCHECK");
        return r;
    }

    void start()
    {
        handler = std::make_unique<DmsHandler>(config, timing);
        handler->setStatusReportSink(&sink);
        ready = std::make_unique<QSignalSpy>(handler.get(), &DmsHandler::sigDmsReady);
        disconnected = std::make_unique<QSignalSpy>(handler.get(), &DmsHandler::sigDmsDisconnected);
        quitReceived = std::make_unique<QSignalSpy>(handler.get(), &DmsHandler::sigDmsQuitReceived);
        handler->start();
    }
    // Starts the handler; true once it reported ready.
    bool startReady()
    {
        start();
        return QTest::qWaitFor([this] { return !ready->isEmpty(); }, 10000);
    }
    void stop()
    {
        if (!handler)
            return;
        handler->quit();
        handler->wait();
        ready.reset();
        disconnected.reset();
        quitReceived.reset();
        handler.reset();
    }

    // Hands the records and the end-of-mail marker to the handler; true once the mail is done.
    bool mail(const QList<DataParser::ValueRec> &records)
    {
        QSignalSpy info(handler.get(), &DmsHandler::sigDmsInfo);
        for (const DataParser::ValueRec &r : records)
            handler->addMailValue(r);
        handler->addMailValue(endOfMailMarker());
        const auto idle = [](const QList<QVariant> &args) { return args.at(0).toString() == QStringLiteral("Idle"); };
        return QTest::qWaitFor([&] { return std::any_of(info.cbegin(), info.cend(), idle); }, 20000);
    }

    QVariant pointValue(const QString &point) const
    {
        const auto p = store->point(point);
        return p ? p->value : QVariant();
    }
    int pointType(const QString &point) const { return store->readType(point); }
    QList<Orvane::StoreFile::TrendRow> trend(const QString &point) const { return pdbs->trendRows(point); }

    const DmsConfig config;
    const DmsTiming timing;
    const std::shared_ptr<Orvane::PointStore> store;
    const std::shared_ptr<Orvane::PointStore> pdbs;
    CollectingSink sink;
    std::unique_ptr<DmsHandler> handler;
    std::unique_ptr<QSignalSpy> ready, disconnected, quitReceived;
};
