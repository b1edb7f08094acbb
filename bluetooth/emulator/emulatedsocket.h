// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bluetooth/bluetoothstack.h"

#include <QPointer>

class QTcpSocket;

namespace emu {

class EmulatedStack;
class InstrumentLink;

// A socket of the emulated radio. Depending on what it is connected to it
// talks to an emulated instrument, to a TCP endpoint (a bridge to another
// program) or, on the server side, to a TCP client playing a remote peer.
class EmulatedSocket : public bt::RfcommSocket
{
    Q_OBJECT
public:
    explicit EmulatedSocket(EmulatedStack *stack, QObject *parent = nullptr);
    ~EmulatedSocket() override;

    void connectToService(const QBluetoothServiceInfo &service,
                          QIODevice::OpenMode mode = QIODevice::ReadWrite) override;
    QString peerName() const override;
    QBluetoothAddress peerAddress() const override;
    QBluetoothSocket::SocketState state() const override;

    qint64 bytesAvailable() const override;
    bool canReadLine() const override;
    void close() override;

    // Server side: wraps an accepted TCP connection from a peer.
    void adoptPeer(QTcpSocket *tcp, const QString &name);

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 readLineData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    void fail(QBluetoothSocket::SocketError error);
    void teardown();
    void becomeConnected();
    void attachTcp(QTcpSocket *tcp);
    void appendReceived(const QByteArray &bytes);

    QPointer<EmulatedStack> m_stack;
    QBluetoothSocket::SocketState m_state = QBluetoothSocket::SocketState::UnconnectedState;
    QString m_peerName;
    QBluetoothAddress m_peerAddress;
    QByteArray m_received;
    InstrumentLink *m_link = nullptr;
    QTcpSocket *m_tcp = nullptr;
    int m_attempt = 0;
};

} // namespace emu
