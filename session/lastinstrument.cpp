// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/lastinstrument.h"

#include "bluetooth/bluetoothstack.h"

#include <QBluetoothDeviceInfo>

namespace session {

namespace {
const QString kGroup = QStringLiteral("LastInstrument");
} // namespace

LastInstrument LastInstrument::fromService(const QBluetoothServiceInfo &service)
{
    LastInstrument last;
    last.name = service.device().name();
    last.address = service.device().address();
    const int channel = service.serverChannel();
    last.channel = channel > 0 && channel <= 30 ? quint8(channel) : 0;
    last.uuid = service.serviceUuid();
    if (last.uuid.isNull() && !service.serviceClassUuids().isEmpty())
        last.uuid = service.serviceClassUuids().first();
    return last;
}

QBluetoothServiceInfo LastInstrument::service() const
{
    QBluetoothDeviceInfo device(address, name, 0);
    device.setCoreConfigurations(QBluetoothDeviceInfo::BaseRateCoreConfiguration);
    QBluetoothServiceInfo info;
    info.setDevice(device);

    const QBluetoothUuid serialPort(QBluetoothUuid::ServiceClassUuid::SerialPort);
    QBluetoothServiceInfo::Sequence classes;
    if (!uuid.isNull() && uuid != serialPort) {
        info.setServiceUuid(uuid);
        classes << QVariant::fromValue(uuid);
    }
    classes << QVariant::fromValue(serialPort);
    info.setAttribute(QBluetoothServiceInfo::ServiceClassIds, classes);
    info.setAttribute(QBluetoothServiceInfo::ProtocolDescriptorList,
                      bt::rfcommProtocolDescriptors(channel));
    return info;
}

LastInstrument LastInstrument::load(QSettings &settings)
{
    settings.beginGroup(kGroup);
    LastInstrument last;
    last.name = settings.value(QStringLiteral("name")).toString();
    last.address = QBluetoothAddress(settings.value(QStringLiteral("address")).toString());
    const int channel = settings.value(QStringLiteral("channel")).toInt();
    last.channel = channel > 0 && channel <= 30 ? quint8(channel) : 0;
    last.uuid = QBluetoothUuid(settings.value(QStringLiteral("uuid")).toString());
    settings.endGroup();
    return last;
}

void LastInstrument::save(QSettings &settings) const
{
    settings.beginGroup(kGroup);
    settings.setValue(QStringLiteral("name"), name);
    settings.setValue(QStringLiteral("address"), address.toString());
    settings.setValue(QStringLiteral("channel"), channel);
    settings.setValue(QStringLiteral("uuid"), uuid.isNull() ? QString() : uuid.toString());
    settings.endGroup();
    settings.sync();
}

} // namespace session
