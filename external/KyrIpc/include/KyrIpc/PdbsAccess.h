#pragma once
// A connection to the trend archive (PDBS): appends trend rows (time in milliseconds since the
// epoch, value, 32-bit state word, point) to the store of the connection string. Calls answer 0
// for success; a refused row also reaches the message handler.

#include "KyrIpc/Message.h"

#include <QObject>
#include <atomic>
#include <memory>

namespace Orvane {
class PointStore;
}

class PdbsAccess : public QObject
{
    Q_OBJECT
public:
    class MessageHandler
    {
    public:
        virtual ~MessageHandler() = default;
        // Called for every message of the connection; the receiver frees the message.
        virtual void messageReceived(PdbsAccess *access, Orvane::Message *message);
    };

    explicit PdbsAccess(const QString &name, QObject *parent = nullptr);
    ~PdbsAccess() override;

    QString name() const { return m_name; }

    // PointStore::StoreUnavailable when the store's file cannot be opened; lastError() says why.
    int Connect(const QString &connection, MessageHandler *handler, bool synchronous, int timeoutMs);
    QString lastError() const { return m_lastError; }
    // The store's commit barrier (PointStore::waitUntilCommitted): true when every trend row
    // appended before the call is in the store's file.
    bool waitUntilCommitted(QString *error = nullptr);
    bool Disconnect();
    // 0 = connected.
    int getConnectionState() const;
    int AppendTrendData(qint64 timeMs, double value, quint32 state, const QString &point);

private:
    friend class Orvane::PointStore;
    void setLinked(bool linked) { m_connected = linked; }

    const QString m_name;
    std::shared_ptr<Orvane::PointStore> m_store;
    MessageHandler *m_handler = nullptr;
    QString m_lastError;
    std::unique_ptr<QObject> m_context;
    std::atomic<bool> m_connected{false};
};
