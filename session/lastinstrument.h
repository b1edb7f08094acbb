// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QBluetoothAddress>
#include <QBluetoothServiceInfo>
#include <QBluetoothUuid>
#include <QSettings>
#include <QString>

namespace session {

// The instrument of the last successful identity, kept in the settings (group
// "LastInstrument") so that the next run can connect without a scan.
struct LastInstrument
{
    QString name;
    QBluetoothAddress address;
    quint8 channel = 0;
    QBluetoothUuid uuid; // the service's own UUID, else its first class id

    bool isValid() const { return !address.isNull() && channel > 0; }
    bool operator==(const LastInstrument &other) const
    {
        return name == other.name && address == other.address && channel == other.channel &&
               uuid == other.uuid;
    }
    bool operator!=(const LastInstrument &other) const { return !(*this == other); }

    static LastInstrument fromService(const QBluetoothServiceInfo &service);
    // A service record that connects like the discovered one: the device, the
    // RFCOMM channel, and the UUID and Serial Port class that Qt's BlueZ
    // backend connects by.
    QBluetoothServiceInfo service() const;

    static LastInstrument load(QSettings &settings);
    void save(QSettings &settings) const;
};

} // namespace session
