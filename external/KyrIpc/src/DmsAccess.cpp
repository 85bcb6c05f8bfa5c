#include "KyrIpc/DmsAccess.h"
#include "KyrIpc/DmsControl.h"
#include "KyrIpc/PointStore.h"

#include <QThread>

using Orvane::Message;
using Orvane::PointStore;

void DmsAccess::MessageHandler::messageReceived(DmsAccess *, Orvane::Message *message)
{
    delete message;
}

bool DmsAccess::MessageHandler::waitReady(int) const
{
    return true;
}

DmsAccess::DmsAccess(const QString &name, QObject *parent) : QObject(parent), m_name(name)
{
}

DmsAccess::~DmsAccess()
{
    if (m_store)
        m_store->detach(this);
}

int DmsAccess::ConnectDms(const QString &connection, MessageHandler *handler, bool synchronous, int)
{
    if (m_connected && m_store && m_store->connection() == connection)
        return 0;
    if (m_store)
        m_store->detach(this);
    m_store.reset(); // a store that failed to open is opened again when nobody else holds it
    m_handler = handler;
    if (!m_context || m_context->thread() != QThread::currentThread())
        m_context = std::make_unique<QObject>();
    m_wantsLink = !synchronous;
    m_store = PointStore::forConnection(connection);
    const int result = m_store->attach(this);
    m_lastError = m_store->openError();
    // An asynchronous connect is a request: it is accepted now and completes with dmsConnected.
    return synchronous || result == PointStore::StoreUnavailable ? result : 0;
}

bool DmsAccess::waitUntilCommitted(QString *error)
{
    if (!m_store) {
        if (error)
            *error = QStringLiteral("Not connected");
        return false;
    }
    return m_store->waitUntilCommitted(error);
}

bool DmsAccess::DisconnectDms()
{
    if (m_store)
        m_store->detach(this);
    m_wantsLink = false;
    m_connected = false;
    return true;
}

int DmsAccess::getConnectionState() const
{
    return m_connected ? 0 : 1;
}

int DmsAccess::SendPrgName(const QString &programName)
{
    if (!m_connected)
        return PointStore::NotConnected;
    m_programName = programName;
    return 0;
}

QString DmsAccess::programName() const
{
    return m_programName;
}

int DmsAccess::ReadType(const QString &point)
{
    return m_connected ? m_store->readType(point) : 0;
}

int DmsAccess::CreatePoint(const QString &point, int type, int, bool, int)
{
    if (!m_connected)
        return PointStore::NotConnected;
    if (type < Orvane::BIT || type > Orvane::STR)
        return Message::Refused;
    return m_store->createPoint(point, type);
}

int DmsAccess::send(const QString &point, int type, const QVariant &value, const QDateTime &stamp)
{
    if (!m_connected)
        return PointStore::NotConnected;
    const int answer = m_store->write(point, type, value, stamp.toMSecsSinceEpoch());
    if (answer != Message::Positive) {
        auto *message = new Message;
        message->subCode = Message::FailedOnWrite;
        message->setPointName(point);
        message->answerCode = answer;
        deliver(message);
    }
    return answer;
}

int DmsAccess::read(const QString &point, int type, QVariant &value, QDateTime *stamp)
{
    if (!m_connected)
        return PointStore::NotConnected;
    qint64 stampMs = 0;
    const int answer = m_store->read(point, type, value, stampMs);
    if (answer == Message::Positive && stamp)
        *stamp = QDateTime::fromMSecsSinceEpoch(stampMs);
    return answer;
}

#define KYRIPC_SEND_PAIR(Name, CType, TypeCode, Stored)                                                      \
    int DmsAccess::Name(const QString &point, CType value, int, bool)                                        \
    {                                                                                                        \
        return send(point, TypeCode, QVariant(Stored(value)), QDateTime::currentDateTime());                 \
    }                                                                                                        \
    int DmsAccess::Name(const QString &point, CType value, const QDateTime &stamp, int, bool)                \
    {                                                                                                        \
        return send(point, TypeCode, QVariant(Stored(value)), stamp);                                        \
    }

KYRIPC_SEND_PAIR(SendBit, bool, Orvane::BIT, bool)
KYRIPC_SEND_PAIR(SendBys, qint8, Orvane::BYS, qint64)
KYRIPC_SEND_PAIR(SendWos, qint16, Orvane::WOS, qint64)
KYRIPC_SEND_PAIR(SendDws, qint32, Orvane::DWS, qint64)
KYRIPC_SEND_PAIR(SendByu, quint8, Orvane::BYU, qint64)
KYRIPC_SEND_PAIR(SendWou, quint16, Orvane::WOU, qint64)
KYRIPC_SEND_PAIR(SendDwu, quint32, Orvane::DWU, qint64)
KYRIPC_SEND_PAIR(SendStr, const QString &, Orvane::STR, QString)
KYRIPC_SEND_PAIR(SendFlt, double, Orvane::FLT, double)
#undef KYRIPC_SEND_PAIR

int DmsAccess::ReadBit(const QString &point, bool &value, QDateTime *stamp)
{
    QVariant stored;
    const int answer = read(point, Orvane::BIT, stored, stamp);
    if (answer == 0)
        value = stored.toBool();
    return answer;
}

int DmsAccess::ReadDws(const QString &point, qint32 &value, QDateTime *stamp)
{
    QVariant stored;
    const int answer = read(point, Orvane::DWS, stored, stamp);
    if (answer == 0)
        value = qint32(stored.toLongLong());
    return answer;
}

int DmsAccess::ReadDwu(const QString &point, quint32 &value, QDateTime *stamp)
{
    QVariant stored;
    const int answer = read(point, Orvane::DWU, stored, stamp);
    if (answer == 0)
        value = quint32(stored.toLongLong());
    return answer;
}

int DmsAccess::ReadFlt(const QString &point, double &value, QDateTime *stamp)
{
    QVariant stored;
    const int answer = read(point, Orvane::FLT, stored, stamp);
    if (answer == 0)
        value = stored.toDouble();
    return answer;
}

int DmsAccess::ReadStr(const QString &point, QString &value, QDateTime *stamp)
{
    QVariant stored;
    const int answer = read(point, Orvane::STR, stored, stamp);
    if (answer == 0)
        value = stored.toString();
    return answer;
}

QStringList DmsAccess::enumNames(const QString &nameFilter, const QString &levelFilter)
{
    return m_connected ? m_store->enumNames(nameFilter, levelFilter) : QStringList();
}

int DmsAccess::Register(const QString &point, int tag, bool)
{
    if (!m_connected)
        return PointStore::NotConnected;
    m_store->registerPoint(this, point, tag);
    return 0;
}

int DmsAccess::Unregister(const QString &point, int tag, bool)
{
    if (!m_connected)
        return PointStore::NotConnected;
    m_store->unregisterPoint(this, point, tag);
    return 0;
}

QString DmsAccess::msgToString(const Orvane::Message *message)
{
    return QStringLiteral("%1 (answer %2, sub-code %3, tag %4, value %5)")
        .arg(message->point())
        .arg(message->answerCode)
        .arg(message->subCode)
        .arg(message->tag)
        .arg(message->value);
}

void DmsAccess::setLinked(bool linked)
{
    if (m_connected.exchange(linked) == linked)
        return;
    if (linked)
        emit dmsConnected();
    else
        emit dmsDisconnected();
}

void DmsAccess::deliver(Orvane::Message *message)
{
    MessageHandler *handler = m_handler;
    if (!handler || !m_context) {
        delete message;
        return;
    }
    QMetaObject::invokeMethod(
        m_context.get(), [this, handler, message] { handler->messageReceived(this, message); }, Qt::QueuedConnection);
}

void DmsAccess::sendQuitToControls()
{
    QMutexLocker lock(&m_controlsMutex);
    if (!m_connected)
        return;
    for (DmsControl *control : std::as_const(m_controls))
        emit control->dmsSaysQuit();
}

bool DmsAccess::dmsAnswers() const
{
    return m_connected && m_store && m_store->isAnswering();
}

void DmsAccess::addControl(DmsControl *control)
{
    QMutexLocker lock(&m_controlsMutex);
    m_controls.append(control);
}

void DmsAccess::removeControl(DmsControl *control)
{
    QMutexLocker lock(&m_controlsMutex);
    m_controls.removeAll(control);
}
