// SPDX-License-Identifier: GPL-3.0-or-later
#include "bluetooth/emulator/emulateddiscoveryagent.h"

#include "bluetooth/emulator/emulatedstack.h"

#include <algorithm>

namespace emu {

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

} // namespace emu
