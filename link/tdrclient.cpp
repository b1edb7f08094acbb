// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/tdrclient.h"

#include "bluetooth/bluetoothstack.h"

#include <QDebug>
#include <QMetaEnum>
#include <QMetaMethod>
#include <QPointer>

TDRClient::TDRClient(QObject *parent) : TDRClient(bt::stack(), parent) {}

TDRClient::TDRClient(bt::BluetoothStack &stack, QObject *parent) : QObject(parent), m_stack(stack)
{}

TDRClient::~TDRClient()
{
    m_closing = true;
    if (socket) {
        // Deleting a connected socket makes it announce disconnected(), which
        // reaches the session as our own disconnected().
        delete socket;
        socket = nullptr;
    }
}

void TDRClient::retire()
{
    if (m_retired)
        return;
    m_retired = true;
    deleteLater();
}

void TDRClient::startClient(const QBluetoothServiceInfo &remoteService)
{
    if (socket)
        return;
    socket = m_stack.createSocket();
    qDebug() << "Create socket";
    socket->connectToService(remoteService, QIODevice::ReadWrite);
    qDebug() << "ConnectToService done";

    connect(socket, &QIODevice::readyRead, this, &TDRClient::readSocket);
    connect(socket, &bt::RfcommSocket::connected, this, QOverload<>::of(&TDRClient::connected));
    connect(socket, &bt::RfcommSocket::disconnected, this, &TDRClient::disconnected);
    connect(socket, &bt::RfcommSocket::error, this, &TDRClient::onSocketErrorOccurred);
}

void TDRClient::sendMessage(QString message)
{
    sendBytes(QByteArray::fromHex(message.toUtf8()));
}

void TDRClient::sendBytes(const QByteArray &bytes)
{
    if (!socket || bytes.isEmpty())
        return;
    socket->write(bytes);
}

void TDRClient::readSocket()
{
    // Each piece ends after a 0x0A byte (or at the end of what is buffered),
    // and everything buffered is taken now: bytes behind a 0x0A must not wait
    // for a later arrival that may never come.
    QPointer<TDRClient> self(this);
    while (self && socket && socket->bytesAvailable() > 0) {
        const QByteArray piece = socket->readLine();
        if (piece.isEmpty())
            break;
        const QString peer = socket->peerName();
        // The text is made only for a listener that wants it.
        if (isSignalConnected(QMetaMethod::fromSignal(&TDRClient::messageReceived)))
            emit messageReceived(peer, QString::fromLatin1(piece.toHex()));
        if (self)
            emit bytesReceived(peer, piece);
    }
}

void TDRClient::connected()
{
    if (socket)
        emit connected(socket->peerName());
}

void TDRClient::onSocketErrorOccurred(QBluetoothSocket::SocketError error)
{
    if (error == QBluetoothSocket::SocketError::NoSocketError)
        return;
    const QMetaObject &meta = QBluetoothSocket::staticMetaObject;
    const QMetaEnum errors = meta.enumerator(meta.indexOfEnumerator("SocketError"));
    const QString key = QString::fromLatin1(errors.valueToKey(int(error)));
    const QString peer = socket ? socket->peerName() : QString();
    emit socketErrorOccurred(peer + QLatin1Char(' ') + key + QStringLiteral(" occurred"));
}
