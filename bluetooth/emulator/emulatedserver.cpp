// SPDX-License-Identifier: GPL-3.0-or-later
#include "bluetooth/emulator/emulatedserver.h"

#include "bluetooth/emulator/emulatedstack.h"
#include "protocol/logging.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>

namespace emu {

EmulatedServer::EmulatedServer(EmulatedStack *stack, QObject *parent)
    : bt::RfcommServer(parent), m_stack(stack)
{}

EmulatedServer::~EmulatedServer()
{
    if (m_stack && m_channel)
        m_stack->releaseChannel(m_channel);
}

bool EmulatedServer::listen(const QBluetoothAddress &adapter, quint16 port)
{
    if (m_channel) {
        qCWarning(lcEmulator) << "listen: the server is already listening";
        return false;
    }
    if (!m_stack || !m_stack->hasAdapter(adapter))
        return false;
    m_channel = m_stack->claimChannel(port);
    if (!m_channel)
        return false;
    m_stack->addServer(this);

    const Scene &scene = m_stack->scene();
    if (scene.hasPeers) {
        m_peers = new QTcpServer(this);
        if (m_peers->listen(scene.peersHost, scene.peersPort)) {
            connect(m_peers, &QTcpServer::newConnection, this, &EmulatedServer::acceptPeers);
            qCInfo(lcEmulator) << "peers connect to" << m_peers->serverAddress().toString()
                               << "port" << m_peers->serverPort();
        } else {
            qCWarning(lcEmulator) << "cannot accept peers on" << scene.peersHost.toString()
                                  << scene.peersPort << ":" << m_peers->errorString();
            delete m_peers;
            m_peers = nullptr;
        }
    }
    return true;
}

bool EmulatedServer::isListening() const
{
    return m_channel != 0;
}

quint16 EmulatedServer::serverPort() const
{
    return m_channel;
}

quint16 EmulatedServer::peersPort() const
{
    return m_peers ? m_peers->serverPort() : 0;
}

bool EmulatedServer::hasPendingConnections() const
{
    return std::any_of(m_pendingConnections.begin(), m_pendingConnections.end(),
                       [](const QPointer<EmulatedSocket> &s) { return !s.isNull(); });
}

bt::RfcommSocket *EmulatedServer::nextPendingConnection()
{
    while (!m_pendingConnections.isEmpty()) {
        EmulatedSocket *socket = m_pendingConnections.takeFirst();
        if (socket) {
            socket->setParent(nullptr);
            return socket;
        }
    }
    return nullptr;
}

void EmulatedServer::acceptPeers()
{
    while (m_peers && m_peers->hasPendingConnections()) {
        QTcpSocket *tcp = m_peers->nextPendingConnection();
        // Held by the server until taken, so an unclaimed peer is not leaked.
        auto *socket = new EmulatedSocket(m_stack, this);
        socket->adoptPeer(tcp, m_stack ? m_stack->scene().peersName : QString());
        m_pendingConnections.append(socket);
        emit newConnection();
    }
}

} // namespace emu
