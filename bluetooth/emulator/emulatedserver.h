// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bluetooth/bluetoothstack.h"
#include "bluetooth/emulator/emulatedsocket.h"

#include <QPointer>

class QTcpServer;

namespace emu {

class EmulatedStack;

// A listening RFCOMM server of the emulated radio; when the scene says so it
// also takes TCP clients that play remote peers.
class EmulatedServer : public bt::RfcommServer
{
    Q_OBJECT
public:
    explicit EmulatedServer(EmulatedStack *stack, QObject *parent = nullptr);
    ~EmulatedServer() override;

    bool listen(const QBluetoothAddress &adapter, quint16 port = 0) override;
    bool isListening() const override;
    quint16 serverPort() const override;
    bool hasPendingConnections() const override;
    bt::RfcommSocket *nextPendingConnection() override;

    // The TCP port on which peers are accepted (0 when not listening for peers).
    quint16 peersPort() const;

private:
    void acceptPeers();

    QPointer<EmulatedStack> m_stack;
    quint16 m_channel = 0;
    QTcpServer *m_peers = nullptr;
    QList<QPointer<EmulatedSocket>> m_pendingConnections;
};

} // namespace emu
