#pragma once
// The three connections of the DMS handler and the control on the asynchronous one:
// "Async" (messages, registrations, watched by the DmsControl), "Sync" (all reads and writes)
// and "PDBS" (trend rows).

#include "KyrIpc/DmsAccess.h"
#include "KyrIpc/DmsControl.h"
#include "KyrIpc/PdbsAccess.h"

#include <memory>

class DmsLink
{
public:
    static constexpr int ConnectTimeoutMs = 120000;

    DmsLink(const QString &dmsConnection, const QString &pdbsConnection, const QString &applicationName);
    // Deletes the synchronous connection, the control, the asynchronous and the PDBS connection,
    // in this order.
    ~DmsLink();

    DmsAccess &async() { return *m_async; }
    DmsAccess &sync() { return *m_sync; }
    PdbsAccess &pdbs() { return *m_pdbs; }
    DmsControl &control() { return *m_control; }

    // Requests the asynchronous connection; dmsConnected follows.
    void openAsync(DmsAccess::MessageHandler *receiver);
    // Connect when not connected; true when connected now.
    bool connectSynch();
    bool connectPdbs();
    bool isSyncConnected() const { return m_sync->getConnectionState() == 0; }
    // All three connections report connected.
    bool isConnected() const;
    void disconnectAll();

private:
    const QString m_dmsConnection;
    const QString m_pdbsConnection;
    const QString m_applicationName;
    DmsAccess::MessageHandler m_syncMessages;
    PdbsAccess::MessageHandler m_pdbsMessages;
    std::unique_ptr<DmsAccess> m_async;
    std::unique_ptr<DmsAccess> m_sync;
    std::unique_ptr<PdbsAccess> m_pdbs;
    std::unique_ptr<DmsControl> m_control;
};
