// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bluetooth/bluetoothstack.h"
#include "bluetooth/emulator/scene.h"

#include <QPointer>

#include <memory>

namespace emu {

class EmulatedInstrument;
class EmulatedServer;

// The radio of a scene: adapters, devices in range and their services.
class EmulatedStack : public QObject, public bt::BluetoothStack
{
    Q_OBJECT
public:
    explicit EmulatedStack(const Scene &scene);
    ~EmulatedStack() override;

    // Reads a scene (JSON text); null with a one-line error on a bad scene.
    // `servesPeers`: the program will run the tool's own service, so the
    // scene's peer port must be free.
    static std::unique_ptr<EmulatedStack> fromJson(const QByteArray &json, QString *error,
                                                   bool servesPeers = true);

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
