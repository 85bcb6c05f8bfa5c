#include "KyrIpc/PdbsAccess.h"
#include "KyrIpc/PointStore.h"

#include <QThread>

using Orvane::Message;
using Orvane::PointStore;

void PdbsAccess::MessageHandler::messageReceived(PdbsAccess *, Orvane::Message *message)
{
    delete message;
}

PdbsAccess::PdbsAccess(const QString &name, QObject *parent) : QObject(parent), m_name(name)
{
}

PdbsAccess::~PdbsAccess()
{
    if (m_store)
        m_store->detach(this);
}

int PdbsAccess::Connect(const QString &connection, MessageHandler *handler, bool, int)
{
    if (m_connected && m_store && m_store->connection() == connection)
        return 0;
    if (m_store)
        m_store->detach(this);
    m_store.reset(); // a store that failed to open is opened again when nobody else holds it
    m_handler = handler;
    if (!m_context || m_context->thread() != QThread::currentThread())
        m_context = std::make_unique<QObject>();
    m_store = PointStore::forConnection(connection);
    const int result = m_store->attach(this);
    m_lastError = m_store->openError();
    return result;
}

bool PdbsAccess::waitUntilCommitted(QString *error)
{
    if (!m_store) {
        if (error)
            *error = QStringLiteral("Not connected");
        return false;
    }
    return m_store->waitUntilCommitted(error);
}

bool PdbsAccess::Disconnect()
{
    if (m_store)
        m_store->detach(this);
    m_connected = false;
    return true;
}

int PdbsAccess::getConnectionState() const
{
    return m_connected ? 0 : 1;
}

int PdbsAccess::AppendTrendData(qint64 timeMs, double value, quint32 state, const QString &point)
{
    if (!m_connected)
        return PointStore::NotConnected;
    const int answer = m_store->appendTrend(timeMs, value, state, point);
    if (answer != Message::Positive && m_handler) {
        auto *message = new Message;
        message->subCode = Message::FailedOnWrite;
        message->setPointName(point);
        message->answerCode = answer;
        MessageHandler *handler = m_handler;
        QMetaObject::invokeMethod(
            m_context.get(), [this, handler, message] { handler->messageReceived(this, message); },
            Qt::QueuedConnection);
    }
    return answer;
}
