// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bluetooth/bluetoothstack.h"

#include <QPointer>
#include <QTimer>

namespace emu {

class EmulatedStack;

// A service scan of the emulated radio: the scene's services, one at a time.
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

} // namespace emu
