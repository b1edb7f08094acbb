// SPDX-License-Identifier: GPL-3.0-or-later
#include "bluetoothstack.h"

namespace bt {

namespace {
std::unique_ptr<BluetoothStack> &slot()
{
    static std::unique_ptr<BluetoothStack> current;
    return current;
}
} // namespace

BluetoothStack &BluetoothStack::instance()
{
    Q_ASSERT_X(slot(), "BluetoothStack", "no Bluetooth stack installed");
    return *slot();
}

void BluetoothStack::install(std::unique_ptr<BluetoothStack> stack)
{
    // Signals of the seam carry these; queued connections and QSignalSpy
    // need them registered.
    qRegisterMetaType<QBluetoothSocket::SocketError>();
    qRegisterMetaType<QBluetoothServiceDiscoveryAgent::Error>();
    qRegisterMetaType<QBluetoothServiceInfo>();
    slot() = std::move(stack);
}

bool BluetoothStack::isInstalled()
{
    return slot() != nullptr;
}

bool BluetoothStack::isCurrent(const BluetoothStack &stack)
{
    return slot().get() == &stack;
}

QBluetoothServiceInfo::Sequence rfcommProtocolDescriptors(quint8 channel)
{
    QBluetoothServiceInfo::Sequence l2cap;
    l2cap << QVariant::fromValue(QBluetoothUuid(QBluetoothUuid::ProtocolUuid::L2cap));
    QBluetoothServiceInfo::Sequence rfcomm;
    rfcomm << QVariant::fromValue(QBluetoothUuid(QBluetoothUuid::ProtocolUuid::Rfcomm))
           << QVariant::fromValue(channel);
    QBluetoothServiceInfo::Sequence protocols;
    protocols << QVariant::fromValue(l2cap) << QVariant::fromValue(rfcomm);
    return protocols;
}

} // namespace bt
