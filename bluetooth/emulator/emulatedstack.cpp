#include "bluetooth/emulator/emulatedstack.h"

#include "bluetooth/emulator/emulatedinstrument.h"
#include "bluetooth/emulator/instrumentlink.h"
#include "protocol/logging.h"

#include <QBluetoothDeviceInfo>
#include <QBluetoothUuid>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <cstring>

namespace emu {

namespace {

// A real RFCOMM connect takes a moment; the tool must never see the outcome
// inside the call that asked for it.
constexpr int kConnectMs = 5;
// The TCP side stops reading from the kernel once this much is waiting, the
// way a radio link's flow control holds back a fast sender.
constexpr qint64 kTcpReadBuffer = 64 * 1024;

QString instrumentKey(const QBluetoothAddress &device, quint8 channel)
{
    return device.toString() + QLatin1Char('/') + QString::number(channel);
}

} // namespace

QBluetoothServiceInfo serviceInfo(const SceneDevice &device, const SceneService &service)
{
    QBluetoothDeviceInfo deviceInfo(device.address, device.name, 0);
    deviceInfo.setCoreConfigurations(QBluetoothDeviceInfo::BaseRateCoreConfiguration);

    QBluetoothServiceInfo info;
    info.setDevice(deviceInfo);
    info.setServiceName(service.name);

    QBluetoothServiceInfo::Sequence classes;
    classes << QVariant::fromValue(QBluetoothUuid(QBluetoothUuid::SerialPort));
    info.setAttribute(QBluetoothServiceInfo::ServiceClassIds, classes);

    info.setAttribute(QBluetoothServiceInfo::ProtocolDescriptorList,
                      bt::rfcommProtocolDescriptors(quint8(service.channel)));
    return info;
}

// ---------------------------------------------------------------------------

EmulatedSocket::EmulatedSocket(EmulatedStack *stack, QObject *parent)
    : bt::RfcommSocket(parent), m_stack(stack)
{}

EmulatedSocket::~EmulatedSocket()
{
    close();
}

void EmulatedSocket::connectToService(const QBluetoothServiceInfo &service,
                                      QIODevice::OpenMode mode)
{
    if (m_state != QBluetoothSocket::UnconnectedState) {
        qCWarning(lcEmulator) << "connectToService: the socket is not unconnected";
        return;
    }
    m_received.clear();
    m_peerAddress = service.device().address();
    m_peerName = service.device().name();
    m_state = QBluetoothSocket::ConnectingState;
    setOpenMode(mode | QIODevice::Unbuffered);

    const SceneDevice *device = nullptr;
    const SceneService *target =
        m_stack && !m_stack->allDevices().isEmpty()
            ? m_stack->findService(m_peerAddress, quint8(service.serverChannel()), &device)
            : nullptr;
    if (device)
        m_peerName = device->name;

    const int attempt = ++m_attempt;
    auto later = [this, attempt](auto step) {
        QTimer::singleShot(kConnectMs, this, [this, attempt, step] {
            if (attempt == m_attempt && m_state == QBluetoothSocket::ConnectingState)
                step();
        });
    };

    if (!target || target->kind == SceneService::Kind::Refusing) {
        qCDebug(lcEmulator) << "connection refused by" << m_peerAddress.toString() << "channel"
                            << service.serverChannel();
        later([this] { fail(QBluetoothSocket::ServiceNotFoundError); });
        return;
    }
    if (target->kind == SceneService::Kind::Instrument) {
        m_link =
            new InstrumentLink(m_stack->sharedInstrument(m_peerAddress, target->channel), this);
        m_link->setReadyForMore([this] { return m_received.size() < kTcpReadBuffer; });
        connect(m_link, &InstrumentLink::bytesReady, this, [this](const QByteArray &bytes) {
            if (m_state == QBluetoothSocket::ConnectedState)
                appendReceived(bytes);
        });
        connect(m_link, &InstrumentLink::hangUp, this,
                [this] { fail(QBluetoothSocket::RemoteHostClosedError); });
        later([this] { becomeConnected(); });
        return;
    }
    auto *tcp = new QTcpSocket(this);
    attachTcp(tcp);
    tcp->connectToHost(target->tcpHost, target->tcpPort);
}

void EmulatedSocket::adoptPeer(QTcpSocket *tcp, const QString &name)
{
    m_peerName = name;
    m_peerAddress = QBluetoothAddress();
    tcp->setParent(this);
    attachTcp(tcp);
    m_state = QBluetoothSocket::ConnectedState;
    setOpenMode(QIODevice::ReadWrite | QIODevice::Unbuffered);
}

void EmulatedSocket::attachTcp(QTcpSocket *tcp)
{
    m_tcp = tcp;
    tcp->setReadBufferSize(kTcpReadBuffer);
    connect(tcp, &QTcpSocket::connected, this, [this] {
        if (m_state == QBluetoothSocket::ConnectingState)
            becomeConnected();
    });
    connect(tcp, &QTcpSocket::readyRead, this, [this] {
        if (m_tcp && m_state == QBluetoothSocket::ConnectedState)
            appendReceived(m_tcp->readAll());
    });
    connect(tcp, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
        if (m_state == QBluetoothSocket::ConnectingState) {
            fail(QBluetoothSocket::ServiceNotFoundError);
            return;
        }
        if (m_tcp && m_tcp->bytesAvailable() > 0) {
            QPointer<EmulatedSocket> guard(this);
            appendReceived(m_tcp->readAll());
            if (!guard || !m_tcp)
                return;
        }
        fail(e == QAbstractSocket::RemoteHostClosedError ? QBluetoothSocket::RemoteHostClosedError
                                                         : QBluetoothSocket::NetworkError);
    });
    connect(tcp, &QTcpSocket::disconnected, this, [this] {
        if (m_state == QBluetoothSocket::ConnectedState)
            fail(QBluetoothSocket::RemoteHostClosedError);
    });
}

QString EmulatedSocket::peerName() const
{
    return m_peerName;
}

QBluetoothAddress EmulatedSocket::peerAddress() const
{
    return m_peerAddress;
}

QBluetoothSocket::SocketState EmulatedSocket::state() const
{
    return m_state;
}

qint64 EmulatedSocket::bytesAvailable() const
{
    return m_received.size() + bt::RfcommSocket::bytesAvailable();
}

bool EmulatedSocket::canReadLine() const
{
    return m_received.contains('\n') || bt::RfcommSocket::canReadLine();
}

void EmulatedSocket::close()
{
    if (m_state == QBluetoothSocket::UnconnectedState && !isOpen())
        return;
    const bool wasConnected = m_state == QBluetoothSocket::ConnectedState;
    teardown();
    m_state = QBluetoothSocket::UnconnectedState;
    m_received.clear();
    bt::RfcommSocket::close();
    if (wasConnected)
        emit disconnected();
}

void EmulatedSocket::teardown()
{
    ++m_attempt;
    if (m_link) {
        m_link->disconnect(this);
        m_link->deleteLater();
        m_link = nullptr;
    }
    if (m_tcp) {
        m_tcp->disconnect(this);
        m_tcp->abort();
        m_tcp->deleteLater();
        m_tcp = nullptr;
    }
}

void EmulatedSocket::fail(QBluetoothSocket::SocketError socketError)
{
    const bool wasConnected = m_state == QBluetoothSocket::ConnectedState;
    teardown();
    m_state = QBluetoothSocket::UnconnectedState;
    QPointer<EmulatedSocket> guard(this);
    emit error(socketError);
    if (!guard)
        return;
    m_received.clear();
    if (isOpen())
        bt::RfcommSocket::close();
    if (wasConnected)
        emit disconnected();
}

void EmulatedSocket::becomeConnected()
{
    m_state = QBluetoothSocket::ConnectedState;
    emit connected();
}

qint64 EmulatedSocket::readData(char *data, qint64 maxSize)
{
    const qint64 n = std::min<qint64>(maxSize, m_received.size());
    if (n <= 0)
        return m_state == QBluetoothSocket::ConnectedState ? 0 : -1;
    std::memcpy(data, m_received.constData(), size_t(n));
    m_received.remove(0, int(n));
    return n;
}

qint64 EmulatedSocket::readLineData(char *data, qint64 maxSize)
{
    const int newline = m_received.indexOf('\n');
    const qint64 line = newline >= 0 ? newline + 1 : m_received.size();
    const qint64 n = std::min(line, maxSize);
    if (n <= 0)
        return 0;
    std::memcpy(data, m_received.constData(), size_t(n));
    m_received.remove(0, int(n));
    return n;
}

qint64 EmulatedSocket::writeData(const char *data, qint64 size)
{
    if (m_state != QBluetoothSocket::ConnectedState) {
        setErrorString(QStringLiteral("Cannot write while not connected"));
        return -1;
    }
    if (m_tcp)
        return m_tcp->write(data, size);
    if (m_link)
        m_link->write(QByteArray(data, int(size)));
    return size;
}

void EmulatedSocket::appendReceived(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    m_received.append(bytes);
    emit readyRead();
}

// ---------------------------------------------------------------------------

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

// ---------------------------------------------------------------------------

EmulatedDiscoveryAgent::EmulatedDiscoveryAgent(EmulatedStack *stack,
                                               const QBluetoothAddress &adapter, QObject *parent)
    : bt::ServiceDiscoveryAgent(parent), m_stack(stack), m_adapter(adapter)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &EmulatedDiscoveryAgent::reportNext);
}

void EmulatedDiscoveryAgent::start()
{
    if (m_active)
        return;
    if (!m_stack || !m_stack->hasAdapter(m_adapter)) {
        QTimer::singleShot(0, this, [this] {
            emit error(QBluetoothServiceDiscoveryAgent::InvalidBluetoothAdapterError);
        });
        return;
    }
    m_active = true;
    m_toReport = m_stack->serviceInfos();
    m_timer.start(m_stack->scene().discoveryMs);
}

void EmulatedDiscoveryAgent::stop()
{
    if (!m_active)
        return;
    m_timer.stop();
    m_active = false;
    m_toReport.clear();
    emit canceled();
}

void EmulatedDiscoveryAgent::clear()
{
    m_discovered.clear();
}

bool EmulatedDiscoveryAgent::isActive() const
{
    return m_active;
}

void EmulatedDiscoveryAgent::reportNext()
{
    if (!m_active)
        return;
    // Like a real agent, a service found by an earlier scan is not reported
    // again until clear().
    auto known = [this](const QBluetoothServiceInfo &info) {
        return std::any_of(m_discovered.begin(), m_discovered.end(),
                           [&info](const QBluetoothServiceInfo &seen) {
                               return seen.device().address() == info.device().address() &&
                                      seen.serverChannel() == info.serverChannel();
                           });
    };
    while (!m_toReport.isEmpty() && known(m_toReport.first()))
        m_toReport.removeFirst();
    if (m_toReport.isEmpty()) {
        m_active = false;
        emit finished();
        return;
    }
    const QBluetoothServiceInfo info = m_toReport.takeFirst();
    m_discovered.append(info);
    QPointer<EmulatedDiscoveryAgent> guard(this);
    emit serviceDiscovered(info);
    if (guard && m_active && m_stack)
        m_timer.start(m_stack->scene().discoveryMs);
}

// ---------------------------------------------------------------------------

EmulatedStack::EmulatedStack(const Scene &scene) : m_scene(scene)
{
    for (const SceneDevice &device : m_scene.devices) {
        for (const SceneService &service : device.services) {
            if (service.kind != SceneService::Kind::Instrument)
                continue;
            QString error;
            std::shared_ptr<EmulatedInstrument> instrument =
                EmulatedInstrument::fromJson(service.instrumentOptions, &error);
            if (instrument)
                m_instruments.insert(instrumentKey(device.address, service.channel), instrument);
            else
                qCWarning(lcEmulator) << "instrument of" << device.name << ":" << error;
        }
    }
}

EmulatedStack::~EmulatedStack() = default;

std::unique_ptr<EmulatedStack> EmulatedStack::fromJson(const QByteArray &json, QString *error)
{
    Scene scene;
    if (!Scene::parse(json, &scene, error))
        return nullptr;
    if (scene.hasPeers) {
        // Find out now whether the tool's server will be able to take peers
        // there, rather than run on with them silently off.
        QTcpServer probe;
        if (!probe.listen(scene.peersHost, scene.peersPort)) {
            if (error)
                *error = QStringLiteral("peers.listen: cannot listen on %1 port %2: %3")
                             .arg(scene.peersHost.toString())
                             .arg(scene.peersPort)
                             .arg(probe.errorString());
            return nullptr;
        }
    }
    return std::make_unique<EmulatedStack>(scene);
}

QString EmulatedStack::backendName() const
{
    return QStringLiteral("emulator");
}

QList<QBluetoothHostInfo> EmulatedStack::allDevices() const
{
    QList<QBluetoothHostInfo> result;
    for (const SceneAdapter &adapter : m_scene.adapters) {
        QBluetoothHostInfo info;
        info.setAddress(adapter.address);
        info.setName(adapter.name);
        result.append(info);
    }
    return result;
}

QString EmulatedStack::defaultAdapterName() const
{
    if (m_scene.defaultAdapter < 0 || m_scene.defaultAdapter >= m_scene.adapters.size())
        return QString();
    return m_scene.adapters.at(m_scene.defaultAdapter).name;
}

QString EmulatedStack::adapterName(const QBluetoothAddress &adapter) const
{
    for (const SceneAdapter &a : m_scene.adapters) {
        if (a.address == adapter)
            return a.name;
    }
    return QString();
}

void EmulatedStack::setHostMode(const QBluetoothAddress &adapter,
                                QBluetoothLocalDevice::HostMode mode)
{
    if (hasAdapter(adapter))
        m_hostModes.insert(adapter.toString(), mode);
}

QBluetoothLocalDevice::HostMode EmulatedStack::hostMode(const QBluetoothAddress &adapter) const
{
    return m_hostModes.value(adapter.toString(), QBluetoothLocalDevice::HostConnectable);
}

bt::ServiceDiscoveryAgent *EmulatedStack::createDiscoveryAgent(const QBluetoothAddress &adapter,
                                                               QObject *parent)
{
    return new EmulatedDiscoveryAgent(this, adapter, parent);
}

bt::RfcommSocket *EmulatedStack::createSocket(QObject *parent)
{
    return new EmulatedSocket(this, parent);
}

bt::RfcommServer *EmulatedStack::createServer(QObject *parent)
{
    return new EmulatedServer(this, parent);
}

bool EmulatedStack::registerService(QBluetoothServiceInfo &info, const QBluetoothAddress &adapter)
{
    if (!hasAdapter(adapter))
        return false;
    m_registered.append(info);
    return true;
}

bool EmulatedStack::unregisterService(QBluetoothServiceInfo &info)
{
    if (info.attributes().isEmpty())
        return true;
    for (int i = 0; i < m_registered.size(); ++i) {
        const QBluetoothServiceInfo &record = m_registered.at(i);
        if (record.serviceUuid() == info.serviceUuid() &&
            record.serverChannel() == info.serverChannel()) {
            m_registered.removeAt(i);
            return true;
        }
    }
    return false;
}

void EmulatedStack::setAdapters(const QList<SceneAdapter> &adapters, int defaultAdapter)
{
    m_scene.adapters = adapters;
    m_scene.defaultAdapter = defaultAdapter;
}

QList<QBluetoothServiceInfo> EmulatedStack::registeredServices() const
{
    return m_registered;
}

quint16 EmulatedStack::peersPort() const
{
    for (const QPointer<EmulatedServer> &server : m_servers) {
        if (server && server->peersPort())
            return server->peersPort();
    }
    return 0;
}

EmulatedInstrument *EmulatedStack::instrument(const QBluetoothAddress &device, quint8 channel) const
{
    return sharedInstrument(device, channel).get();
}

std::shared_ptr<EmulatedInstrument> EmulatedStack::sharedInstrument(const QBluetoothAddress &device,
                                                                    quint8 channel) const
{
    return m_instruments.value(instrumentKey(device, channel));
}

bool EmulatedStack::hasAdapter(const QBluetoothAddress &adapter) const
{
    if (adapter.isNull())
        return !m_scene.adapters.isEmpty();
    return std::any_of(m_scene.adapters.begin(), m_scene.adapters.end(),
                       [&adapter](const SceneAdapter &a) { return a.address == adapter; });
}

QList<QBluetoothServiceInfo> EmulatedStack::serviceInfos() const
{
    QList<QBluetoothServiceInfo> result;
    for (const SceneDevice &device : m_scene.devices) {
        for (const SceneService &service : device.services)
            result.append(serviceInfo(device, service));
    }
    return result;
}

const SceneService *EmulatedStack::findService(const QBluetoothAddress &device, quint8 channel,
                                               const SceneDevice **owner) const
{
    for (const SceneDevice &d : m_scene.devices) {
        if (d.address != device)
            continue;
        if (owner)
            *owner = &d;
        for (const SceneService &service : d.services) {
            if (service.channel == channel)
                return &service;
        }
    }
    return nullptr;
}

quint16 EmulatedStack::claimChannel(quint16 wanted)
{
    if (wanted == 0) {
        for (quint16 channel = 1; channel <= 30; ++channel) {
            if (!m_usedChannels.contains(channel)) {
                wanted = channel;
                break;
            }
        }
    }
    if (wanted < 1 || wanted > 30 || m_usedChannels.contains(wanted))
        return 0;
    m_usedChannels.append(wanted);
    return wanted;
}

void EmulatedStack::releaseChannel(quint16 channel)
{
    m_usedChannels.removeAll(channel);
}

void EmulatedStack::addServer(EmulatedServer *server)
{
    m_servers.removeAll(QPointer<EmulatedServer>());
    m_servers.append(server);
}

} // namespace emu

namespace bt {

emu::EmulatedStack *emulatedStack()
{
    if (!BluetoothStack::isInstalled())
        return nullptr;
    return dynamic_cast<emu::EmulatedStack *>(&BluetoothStack::instance());
}

} // namespace bt
