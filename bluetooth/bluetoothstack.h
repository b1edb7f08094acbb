// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QBluetoothAddress>
#include <QBluetoothHostInfo>
#include <QBluetoothLocalDevice>
#include <QBluetoothServiceDiscoveryAgent>
#include <QBluetoothServiceInfo>
#include <QBluetoothSocket>
#include <QIODevice>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

// The seam between the tool and a Bluetooth stack. The window and the link
// classes only ever talk to these interfaces; one backend forwards to Qt
// Bluetooth (what users run), the other is the emulator used for the demo and
// the tests. Qt's value types (addresses, service infos, uuids) pass through
// unchanged: they need no stack.

namespace bt {

// An RFCOMM client socket. It is a QIODevice: received bytes sit in its
// buffer until read, and each arrival is announced with readyRead.
class RfcommSocket : public QIODevice
{
    Q_OBJECT
public:
    using QIODevice::QIODevice;

    virtual void connectToService(const QBluetoothServiceInfo &service,
                                  QIODevice::OpenMode mode = QIODevice::ReadWrite) = 0;
    virtual QString peerName() const = 0;
    virtual QBluetoothAddress peerAddress() const = 0;
    virtual QBluetoothSocket::SocketState state() const = 0;

    bool isSequential() const override { return true; }

signals:
    void connected();
    void disconnected();
    void error(QBluetoothSocket::SocketError error);
};

// A listening RFCOMM server on a local adapter.
class RfcommServer : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool listen(const QBluetoothAddress &adapter, quint16 port = 0) = 0;
    virtual bool isListening() const = 0;
    virtual quint16 serverPort() const = 0;
    virtual bool hasPendingConnections() const = 0;
    // The caller owns the returned socket.
    virtual RfcommSocket *nextPendingConnection() = 0;

signals:
    void newConnection();
};

// Full service discovery on one local adapter. The signal signatures match
// QBluetoothServiceDiscoveryAgent's, so string-based connections work alike.
class ServiceDiscoveryAgent : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void start() = 0; // full discovery, no uuid filter
    virtual void stop() = 0;
    virtual void clear() = 0;
    virtual bool isActive() const = 0;

signals:
    void serviceDiscovered(const QBluetoothServiceInfo &info);
    void finished();
    void canceled();
    void error(QBluetoothServiceDiscoveryAgent::Error error);
};

class BluetoothStack
{
public:
    virtual ~BluetoothStack() = default;

    virtual QString backendName() const = 0;

    virtual QList<QBluetoothHostInfo> allDevices() const = 0;
    // Name of the system's default adapter (empty when there is none).
    virtual QString defaultAdapterName() const = 0;
    // Name of the adapter with this address (empty when unknown).
    virtual QString adapterName(const QBluetoothAddress &adapter) const = 0;
    virtual void setHostMode(const QBluetoothAddress &adapter,
                             QBluetoothLocalDevice::HostMode mode) = 0;

    // Ownership of the created objects passes to the caller (or to parent).
    virtual ServiceDiscoveryAgent *createDiscoveryAgent(const QBluetoothAddress &adapter,
                                                        QObject *parent = nullptr) = 0;
    virtual RfcommSocket *createSocket(QObject *parent = nullptr) = 0;
    virtual RfcommServer *createServer(QObject *parent = nullptr) = 0;

    virtual bool registerService(QBluetoothServiceInfo &info, const QBluetoothAddress &adapter) = 0;
    virtual bool unregisterService(QBluetoothServiceInfo &info) = 0;

    // The stack every part of the tool uses. main installs it before any
    // window exists; tests install their own.
    static BluetoothStack &instance();
    static void install(std::unique_ptr<BluetoothStack> stack);
    static bool isInstalled();
    // Whether `stack` is the one installed now: one replaced meanwhile is gone.
    static bool isCurrent(const BluetoothStack &stack);
};

// The protocol descriptor list of an RFCOMM service: L2CAP, then RFCOMM with
// its channel as one byte.
QBluetoothServiceInfo::Sequence rfcommProtocolDescriptors(quint8 channel);

// Convenience accessor.
inline BluetoothStack &stack()
{
    return BluetoothStack::instance();
}

} // namespace bt
