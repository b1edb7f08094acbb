#pragma once

#include "bluetooth/bluetoothstack.h"
#include "bluetooth/emulator/scene.h"

#include <QPointer>
#include <QTimer>

#include <memory>

class QTcpServer;
class QTcpSocket;

namespace emu {

class EmulatedInstrument;
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
    QBluetoothSocket::SocketState m_state = QBluetoothSocket::UnconnectedState;
    QString m_peerName;
    QBluetoothAddress m_peerAddress;
    QByteArray m_received;
    InstrumentLink *m_link = nullptr;
    QTcpSocket *m_tcp = nullptr;
    int m_attempt = 0;
};

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

class EmulatedDiscoveryAgent : public bt::ServiceDiscoveryAgent
{
    Q_OBJECT
public:
    EmulatedDiscoveryAgent(EmulatedStack *stack, const QBluetoothAddress &adapter,
                           QObject *parent = nullptr);

    void start() override;
    void stop() override;
    void clear() override;
    bool isActive() const override;

    QList<QBluetoothServiceInfo> discoveredServices() const { return m_discovered; }

private:
    void reportNext();

    QPointer<EmulatedStack> m_stack;
    QBluetoothAddress m_adapter;
    QTimer m_timer;
    QList<QBluetoothServiceInfo> m_toReport;
    QList<QBluetoothServiceInfo> m_discovered;
    bool m_active = false;
};

// The radio of a scene: adapters, devices in range and their services.
class EmulatedStack : public QObject, public bt::BluetoothStack
{
    Q_OBJECT
public:
    explicit EmulatedStack(const Scene &scene);
    ~EmulatedStack() override;

    // Reads a scene (JSON text); null with a one-line error on a bad scene.
    static std::unique_ptr<EmulatedStack> fromJson(const QByteArray &json, QString *error);

    QString backendName() const override;
    QList<QBluetoothHostInfo> allDevices() const override;
    QString defaultAdapterName() const override;
    QString adapterName(const QBluetoothAddress &adapter) const override;
    void setHostMode(const QBluetoothAddress &adapter,
                     QBluetoothLocalDevice::HostMode mode) override;

    bt::ServiceDiscoveryAgent *createDiscoveryAgent(const QBluetoothAddress &adapter,
                                                    QObject *parent = nullptr) override;
    bt::RfcommSocket *createSocket(QObject *parent = nullptr) override;
    bt::RfcommServer *createServer(QObject *parent = nullptr) override;

    bool registerService(QBluetoothServiceInfo &info, const QBluetoothAddress &adapter) override;
    bool unregisterService(QBluetoothServiceInfo &info) override;

    // For tests and the demo.
    const Scene &scene() const { return m_scene; }
    void setAdapters(const QList<SceneAdapter> &adapters, int defaultAdapter = 0);
    QList<QBluetoothServiceInfo> registeredServices() const;
    QBluetoothLocalDevice::HostMode hostMode(const QBluetoothAddress &adapter) const;
    // TCP port on which a listening server accepts peers (0 when none does).
    quint16 peersPort() const;
    // The instrument behind a device's service, or null.
    EmulatedInstrument *instrument(const QBluetoothAddress &device, quint8 channel) const;

    // Used by the emulated objects.
    bool hasAdapter(const QBluetoothAddress &adapter) const;
    QList<QBluetoothServiceInfo> serviceInfos() const;
    const SceneService *findService(const QBluetoothAddress &device, quint8 channel,
                                    const SceneDevice **owner = nullptr) const;
    std::shared_ptr<EmulatedInstrument> sharedInstrument(const QBluetoothAddress &device,
                                                         quint8 channel) const;
    quint16 claimChannel(quint16 wanted);
    void releaseChannel(quint16 channel);
    void addServer(EmulatedServer *server);

private:
    Scene m_scene;
    QMap<QString, std::shared_ptr<EmulatedInstrument>> m_instruments; // "address/channel"
    QMap<QString, QBluetoothLocalDevice::HostMode> m_hostModes;
    QList<QBluetoothServiceInfo> m_registered;
    QList<quint16> m_usedChannels;
    QList<QPointer<EmulatedServer>> m_servers;
};

// Builds the record that a scan of a real stack would report for a service.
QBluetoothServiceInfo serviceInfo(const SceneDevice &device, const SceneService &service);

} // namespace emu

namespace bt {
// The installed stack when it is the emulator, else null.
emu::EmulatedStack *emulatedStack();
} // namespace bt
