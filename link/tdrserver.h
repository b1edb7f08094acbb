// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QBluetoothAddress>
#include <QBluetoothServiceInfo>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

namespace bt {
class BluetoothStack;
class RfcommServer;
class RfcommSocket;
} // namespace bt

// The tool's own RFCOMM service: peers exchange text lines with it.
class TDRServer : public QObject
{
    Q_OBJECT
public:
    // Longest line taken from a peer; see readSocket.
    static constexpr int MaxLineLength = 64 * 1024;

    // On the stack installed at start-up.
    explicit TDRServer(QObject *parent);
    TDRServer(bt::BluetoothStack &stack, QObject *parent);
    ~TDRServer() override;

    void startServer(const QBluetoothAddress &localAdapter);
    void stopServer();

    // Bytes received from peers and not yet taken as lines.
    qint64 bufferedBytes() const;
    int peerCount() const { return clientSockets.size(); }

signals:
    void messageReceived(QString sender, QString message);
    void clientConnected(QString name);
    void clientDisconnected(QString name);

public slots:
    void sendMessage(QString message);

private slots:
    void clientConnected();
    void clientDisconnected();
    void readSocket();

private:
    bt::BluetoothStack &m_stack;
    bt::RfcommServer *rfcommServer = nullptr;
    QBluetoothServiceInfo serviceInfo;
    QList<bt::RfcommSocket *> clientSockets;
    // Peers whose current line went past MaxLineLength: the rest of that line
    // is skipped up to its 0x0A.
    QHash<bt::RfcommSocket *, qint64> overlongLines;
};
