// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bluetooth/bluetoothstack.h"

class QBluetoothServer;

namespace bt {

// The stack users run: a thin forwarding layer over Qt Bluetooth.
class QtStack : public BluetoothStack
{
public:
    QString backendName() const override;
    QList<QBluetoothHostInfo> allDevices() const override;
    QString defaultAdapterName() const override;
    QString adapterName(const QBluetoothAddress &adapter) const override;
    void setHostMode(const QBluetoothAddress &adapter,
                     QBluetoothLocalDevice::HostMode mode) override;

    ServiceDiscoveryAgent *createDiscoveryAgent(const QBluetoothAddress &adapter,
                                                QObject *parent = nullptr) override;
    RfcommSocket *createSocket(QObject *parent = nullptr) override;
    RfcommServer *createServer(QObject *parent = nullptr) override;

    bool registerService(QBluetoothServiceInfo &info, const QBluetoothAddress &adapter) override;
    bool unregisterService(QBluetoothServiceInfo &info) override;
};

class QtRfcommSocket : public RfcommSocket
{
    Q_OBJECT
public:
    explicit QtRfcommSocket(QObject *parent = nullptr);
    // Takes over a socket that a server accepted.
    explicit QtRfcommSocket(QBluetoothSocket *socket, QObject *parent = nullptr);
    ~QtRfcommSocket() override;

    void connectToService(const QBluetoothServiceInfo &service,
                          QIODevice::OpenMode mode = QIODevice::ReadWrite) override;
    QString peerName() const override;
    QBluetoothAddress peerAddress() const override;
    QBluetoothSocket::SocketState state() const override;

    qint64 bytesAvailable() const override;
    bool canReadLine() const override;
    void close() override;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 readLineData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    void wire();

    QBluetoothSocket *m_socket;
    bool m_inConnect = false;
};

class QtRfcommServer : public RfcommServer
{
    Q_OBJECT
public:
    explicit QtRfcommServer(QObject *parent = nullptr);

    bool listen(const QBluetoothAddress &adapter, quint16 port = 0) override;
    bool isListening() const override;
    quint16 serverPort() const override;
    bool hasPendingConnections() const override;
    RfcommSocket *nextPendingConnection() override;

private:
    QBluetoothServer *m_server;
};

class QtDiscoveryAgent : public ServiceDiscoveryAgent
{
    Q_OBJECT
public:
    explicit QtDiscoveryAgent(const QBluetoothAddress &adapter, QObject *parent = nullptr);

    void start() override;
    void stop() override;
    void clear() override;
    bool isActive() const override;

private:
    void forwardService(const QBluetoothServiceInfo &info);
    void forwardFinished();

    QBluetoothServiceDiscoveryAgent *m_agent;
    qsizetype m_announced = 0; // services announced in this scan
    qsizetype m_late = 0;      // announced at finished(), Qt's own announcement still to come
};

} // namespace bt
