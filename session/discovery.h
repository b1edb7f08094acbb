// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QBluetoothServiceInfo>
#include <QList>
#include <QString>

namespace session {

// Only devices whose name carries the instrument's marker ("KV", upper case)
// are instruments; nameless devices never are.
bool isInstrumentName(const QString &deviceName);

// Whether a discovered service joins the services `known` so far: one per
// device, the first it reports, and instruments only unless `all`.
bool joinsDeviceList(const QList<QBluetoothServiceInfo> &known,
                     const QBluetoothServiceInfo &service, bool all = false);

// "name (address)": the instrument as messages name it.
QString deviceText(const QBluetoothServiceInfo &service);
// "name ( address )": the instrument as the status bar names it while
// connecting and once connected.
QString statusDeviceText(const QBluetoothServiceInfo &service);

} // namespace session
