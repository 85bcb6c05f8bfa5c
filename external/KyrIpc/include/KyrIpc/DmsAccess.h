#pragma once
// A connection to the process database (DMS). The driver opens an asynchronous one ("Async"),
// whose message handler receives registration answers and negative answers, and a synchronous one
// ("Sync") for reads and writes. Calls answer 0 for success.
//
// In this library the DMS is the embedded point store of the connection string (PointStore).
// Messages reach the handler through the event loop of the thread that opened the connection;
// the handler frees them. An asynchronous connection that lost its link comes back by itself
// (dmsConnected) when the DMS accepts connections again; DisconnectDms sends no signal.
// The arguments "code" and "flag" of CreatePoint and the Send calls, and the last argument of
// CreatePoint, are accepted as the DMS protocol has them; the embedded store does not use them.

#include "KyrIpc/Message.h"

#include <QDateTime>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QStringList>
#include <atomic>
#include <memory>

class DmsControl;
namespace Orvane {
class PointStore;
}

class DmsAccess : public QObject
{
    Q_OBJECT
public:
    // Receiver of a connection's messages.
    class MessageHandler
    {
    public:
        virtual ~MessageHandler() = default;
        // Called for every message of the connection; the receiver frees the message.
        virtual void messageReceived(DmsAccess *access, Orvane::Message *message);
        // True when the handler can receive messages (messages are queued, so always).
        bool waitReady(int timeoutMs = 0) const;
    };

    explicit DmsAccess(const QString &name, QObject *parent = nullptr);
    ~DmsAccess() override;

    QString name() const { return m_name; }

    // PointStore::StoreUnavailable when the store's file cannot be opened; lastError() says why.
    int ConnectDms(const QString &connection, MessageHandler *handler, bool synchronous, int timeoutMs);
    QString lastError() const { return m_lastError; }
    // The store's commit barrier (PointStore::waitUntilCommitted): true when every value written
    // before the call is in the store's file.
    bool waitUntilCommitted(QString *error = nullptr);
    bool DisconnectDms();
    // 0 = connected.
    int getConnectionState() const;
    int SendPrgName(const QString &programName);
    QString programName() const;

    // 1 BIT ... 9 STR (Orvane::PointType); 0 when the point does not exist.
    int ReadType(const QString &point);
    int CreatePoint(const QString &point, int type, int code, bool flag, int reserved);

    int SendBit(const QString &point, bool value, int code, bool flag);
    int SendBit(const QString &point, bool value, const QDateTime &stamp, int code, bool flag);
    int SendBys(const QString &point, qint8 value, int code, bool flag);
    int SendBys(const QString &point, qint8 value, const QDateTime &stamp, int code, bool flag);
    int SendWos(const QString &point, qint16 value, int code, bool flag);
    int SendWos(const QString &point, qint16 value, const QDateTime &stamp, int code, bool flag);
    int SendDws(const QString &point, qint32 value, int code, bool flag);
    int SendDws(const QString &point, qint32 value, const QDateTime &stamp, int code, bool flag);
    int SendByu(const QString &point, quint8 value, int code, bool flag);
    int SendByu(const QString &point, quint8 value, const QDateTime &stamp, int code, bool flag);
    int SendWou(const QString &point, quint16 value, int code, bool flag);
    int SendWou(const QString &point, quint16 value, const QDateTime &stamp, int code, bool flag);
    int SendDwu(const QString &point, quint32 value, int code, bool flag);
    int SendDwu(const QString &point, quint32 value, const QDateTime &stamp, int code, bool flag);
    int SendStr(const QString &point, const QString &value, int code, bool flag);
    int SendStr(const QString &point, const QString &value, const QDateTime &stamp, int code, bool flag);
    int SendFlt(const QString &point, double value, int code, bool flag);
    int SendFlt(const QString &point, double value, const QDateTime &stamp, int code, bool flag);

    int ReadBit(const QString &point, bool &value, QDateTime *stamp = nullptr);
    int ReadDws(const QString &point, qint32 &value, QDateTime *stamp = nullptr);
    int ReadDwu(const QString &point, quint32 &value, QDateTime *stamp = nullptr);
    int ReadFlt(const QString &point, double &value, QDateTime *stamp = nullptr);
    int ReadStr(const QString &point, QString &value, QDateTime *stamp = nullptr);

    // Point names matching the shell-style nameFilter (all when empty) whose last level equals
    // levelFilter (any when empty).
    QStringList enumNames(const QString &nameFilter, const QString &levelFilter);

    // The answer, and later every new value of the point, arrive as messages carrying the tag.
    int Register(const QString &point, int tag, bool synchronous);
    int Unregister(const QString &point, int tag, bool synchronous);

    static QString msgToString(const Orvane::Message *message);

signals:
    void dmsConnected();
    void dmsDisconnected();

private:
    friend class Orvane::PointStore;
    friend class DmsControl;

    int send(const QString &point, int type, const QVariant &value, const QDateTime &stamp);
    int read(const QString &point, int type, QVariant &value, QDateTime *stamp);
    // Called by the store under its lock.
    void setLinked(bool linked);
    bool wantsLink() const { return m_wantsLink; }
    void deliver(Orvane::Message *message);
    void sendQuitToControls();
    // DmsControl: whether the DMS answered a check now.
    bool dmsAnswers() const;
    void addControl(DmsControl *control);
    void removeControl(DmsControl *control);

    const QString m_name;
    std::shared_ptr<Orvane::PointStore> m_store;
    MessageHandler *m_handler = nullptr;
    std::unique_ptr<QObject> m_context; // lives in the thread that receives the messages
    std::atomic<bool> m_connected{false};
    bool m_wantsLink = false;
    QString m_programName;
    QString m_lastError;
    mutable QMutex m_controlsMutex;
    QList<DmsControl *> m_controls;
};
