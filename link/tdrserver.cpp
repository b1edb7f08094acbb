// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/tdrserver.h"

#include "bluetooth/bluetoothstack.h"
#include "protocol/logging.h"

#include <QBluetoothUuid>
#include <QDebug>
#include <QPointer>

namespace {
const QBluetoothUuid serverUuid(QStringLiteral("e8e10f95-1a70-4b27-9ccf-02010264e9c8"));
}

TDRServer::TDRServer(QObject *parent) : TDRServer(bt::stack(), parent) {}

TDRServer::TDRServer(bt::BluetoothStack &stack, QObject *parent) : QObject(parent), m_stack(stack)
{}

TDRServer::~TDRServer()
{
    stopServer();
}

void TDRServer::startServer(const QBluetoothAddress &localAdapter)
{
    if (rfcommServer)
        return;
    rfcommServer = m_stack.createServer(this);
    connect(rfcommServer, &bt::RfcommServer::newConnection, this,
            QOverload<>::of(&TDRServer::clientConnected));

    if (!rfcommServer->listen(localAdapter)) {
        qWarning() << "Cannot bind TDR server to" << localAdapter.toString();
        return;
    }

    QBluetoothServiceInfo::Sequence profile;
    profile << QVariant::fromValue(QBluetoothUuid(QBluetoothUuid::ServiceClassUuid::SerialPort))
            << QVariant::fromValue(quint16(0x0100));
    QBluetoothServiceInfo::Sequence profiles;
    profiles << QVariant::fromValue(profile);
    serviceInfo.setAttribute(QBluetoothServiceInfo::BluetoothProfileDescriptorList, profiles);

    QBluetoothServiceInfo::Sequence classes;
    classes << QVariant::fromValue(serverUuid)
            << QVariant::fromValue(QBluetoothUuid(QBluetoothUuid::ServiceClassUuid::SerialPort));
    serviceInfo.setAttribute(QBluetoothServiceInfo::ServiceClassIds, classes);

    serviceInfo.setAttribute(QBluetoothServiceInfo::ServiceName, tr("Varnel Server"));
    serviceInfo.setAttribute(QBluetoothServiceInfo::ServiceDescription, tr("Varnel server"));
    serviceInfo.setAttribute(QBluetoothServiceInfo::ServiceProvider,
                             tr("halvern-instruments.example"));
    serviceInfo.setAttribute(QBluetoothServiceInfo::ServiceId, QVariant::fromValue(serverUuid));

    QBluetoothServiceInfo::Sequence browse;
    browse << QVariant::fromValue(
        QBluetoothUuid(QBluetoothUuid::ServiceClassUuid::PublicBrowseGroup));
    serviceInfo.setAttribute(QBluetoothServiceInfo::BrowseGroupList, browse);

    serviceInfo.setAttribute(QBluetoothServiceInfo::ProtocolDescriptorList,
                             bt::rfcommProtocolDescriptors(quint8(rfcommServer->serverPort())));

    m_stack.registerService(serviceInfo, localAdapter);
}

void TDRServer::stopServer()
{
    // A stack replaced while we ran took its service records with it.
    if (!serviceInfo.attributes().isEmpty() && bt::BluetoothStack::isCurrent(m_stack))
        m_stack.unregisterService(serviceInfo);
    // The window may already be half gone: no clientDisconnected for peers we
    // drop ourselves.
    const QList<bt::RfcommSocket *> sockets = clientSockets;
    clientSockets.clear();
    overlongLines.clear();
    for (bt::RfcommSocket *socket : sockets) {
        socket->disconnect(this);
        delete socket;
    }
    delete rfcommServer;
    rfcommServer = nullptr;
}

qint64 TDRServer::bufferedBytes() const
{
    qint64 total = 0;
    for (const bt::RfcommSocket *socket : clientSockets)
        total += socket->bytesAvailable();
    return total;
}

void TDRServer::clientConnected()
{
    if (!rfcommServer)
        return;
    bt::RfcommSocket *socket = rfcommServer->nextPendingConnection();
    if (!socket)
        return;
    socket->setParent(this);
    connect(socket, &QIODevice::readyRead, this, &TDRServer::readSocket);
    connect(socket, &bt::RfcommSocket::disconnected, this,
            QOverload<>::of(&TDRServer::clientDisconnected));
    clientSockets.append(socket);
    emit clientConnected(socket->peerName());
}

void TDRServer::clientDisconnected()
{
    auto *socket = qobject_cast<bt::RfcommSocket *>(sender());
    if (!socket)
        return;
    emit clientDisconnected(socket->peerName());
    clientSockets.removeOne(socket);
    overlongLines.remove(socket);
    socket->deleteLater();
}

void TDRServer::readSocket()
{
    auto *socket = qobject_cast<bt::RfcommSocket *>(sender());
    if (!socket)
        return;
    QPointer<bt::RfcommSocket> guard(socket);
    const QString peer = socket->peerName();

    // A peer that never ends its line must not fill our memory: a line is
    // taken MaxLineLength bytes at most, however its bytes arrive. Of a longer
    // line the first MaxLineLength bytes go out as one (cut) message and the
    // rest is dropped up to its 0x0A. Later lines arrive as usual.
    for (;;) {
        if (overlongLines.contains(socket)) {
            if (socket->bytesAvailable() == 0)
                return;
            const QByteArray dropped = socket->readLine(MaxLineLength + 1);
            overlongLines[socket] += dropped.size();
            if (!dropped.endsWith('\n'))
                continue;
            qCInfo(lcLink).nospace() << "overlong line from " << peer << " ended after "
                                     << overlongLines.value(socket) << " bytes";
            overlongLines.remove(socket);
            continue;
        }
        if (!socket->canReadLine() && socket->bytesAvailable() < MaxLineLength)
            return;
        const QByteArray line = socket->readLine(MaxLineLength + 1);
        if (!line.endsWith('\n')) {
            qCWarning(lcLink).nospace() << "line from " << peer << " longer than " << MaxLineLength
                                        << " bytes: cut off, the rest of it is dropped";
            overlongLines.insert(socket, line.size());
        }
        emit messageReceived(peer, QString::fromUtf8(line.trimmed()));
        if (!guard)
            return;
    }
}

void TDRServer::sendMessage(QString message)
{
    const QByteArray bytes = message.toUtf8() + '\n';
    for (bt::RfcommSocket *socket : qAsConst(clientSockets))
        socket->write(bytes);
}
