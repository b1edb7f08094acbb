// SPDX-License-Identifier: GPL-3.0-or-later
#include "bluetooth/emulator/emulatedstack.h"

#include "bluetooth/emulator/emulateddiscoveryagent.h"
#include "bluetooth/emulator/emulatedinstrument.h"
#include "bluetooth/emulator/emulatedserver.h"
#include "bluetooth/emulator/emulatedsocket.h"
#include "protocol/logging.h"

#include <QBluetoothDeviceInfo>
#include <QBluetoothUuid>
#include <QTcpServer>

#include <algorithm>

namespace emu {

namespace {

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
    classes << QVariant::fromValue(QBluetoothUuid(QBluetoothUuid::ServiceClassUuid::SerialPort));
    info.setAttribute(QBluetoothServiceInfo::ServiceClassIds, classes);

    info.setAttribute(QBluetoothServiceInfo::ProtocolDescriptorList,
                      bt::rfcommProtocolDescriptors(quint8(service.channel)));
    return info;
}

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

std::unique_ptr<EmulatedStack> EmulatedStack::fromJson(const QByteArray &json, QString *error,
                                                       bool servesPeers)
{
    Scene scene;
    if (!Scene::parse(json, &scene, error))
        return nullptr;
    if (scene.hasPeers && servesPeers) {
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
