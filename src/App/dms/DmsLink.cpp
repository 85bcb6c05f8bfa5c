#include "dms/DmsLink.h"

#include "KyrLogger/Logger.h"

DmsLink::DmsLink(const QString &dmsConnection, const QString &pdbsConnection, const QString &applicationName)
    : m_dmsConnection(dmsConnection),
      m_pdbsConnection(pdbsConnection),
      m_applicationName(applicationName),
      m_async(std::make_unique<DmsAccess>(QStringLiteral("Async"))),
      m_sync(std::make_unique<DmsAccess>(QStringLiteral("Sync"))),
      m_pdbs(std::make_unique<PdbsAccess>(QStringLiteral("PDBS"))),
      m_control(std::make_unique<DmsControl>(m_async.get()))
{
}

DmsLink::~DmsLink()
{
    m_sync.reset();
    m_control.reset();
    m_async.reset();
    m_pdbs.reset();
}

void DmsLink::openAsync(DmsAccess::MessageHandler *receiver)
{
    m_async->ConnectDms(m_dmsConnection, receiver, false, ConnectTimeoutMs);
}

bool DmsLink::connectSynch()
{
    if (m_sync->getConnectionState() != 0 && m_sync->ConnectDms(m_dmsConnection, &m_syncMessages, true, ConnectTimeoutMs) == 0) {
        LOG_OUT(Kyr::LogInfo, "Synch DMS connected").endl();
        m_sync->SendPrgName(m_applicationName);
    }
    return m_sync->getConnectionState() == 0;
}

bool DmsLink::connectPdbs()
{
    if (m_pdbs->getConnectionState() != 0 && m_pdbs->Connect(m_pdbsConnection, &m_pdbsMessages, true, ConnectTimeoutMs) == 0)
        LOG_OUT(Kyr::LogInfo, "Pdbs connected").endl();
    return m_pdbs->getConnectionState() == 0;
}

bool DmsLink::isConnected() const
{
    return m_async->getConnectionState() == 0 && m_sync->getConnectionState() == 0 && m_pdbs->getConnectionState() == 0;
}

void DmsLink::disconnectAll()
{
    m_async->DisconnectDms();
    m_sync->DisconnectDms();
    m_pdbs->Disconnect();
}
