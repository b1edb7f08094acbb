// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/discovery.h"

#include <QBluetoothDeviceInfo>

namespace session {

bool isInstrumentName(const QString &deviceName)
{
    return deviceName.contains(QLatin1String("KV"), Qt::CaseSensitive);
}

bool joinsDeviceList(const QList<QBluetoothServiceInfo> &known,
                     const QBluetoothServiceInfo &service, bool all)
{
    for (const QBluetoothServiceInfo &listed : known) {
        if (listed.device().address() == service.device().address())
            return false;
    }
    return all || isInstrumentName(service.device().name());
}

QString deviceText(const QBluetoothServiceInfo &service)
{
    return QStringLiteral("%1 (%2)").arg(service.device().name(),
                                         service.device().address().toString());
}

QString statusDeviceText(const QBluetoothServiceInfo &service)
{
    return service.device().name() + QStringLiteral(" ( ") + service.device().address().toString() +
           QStringLiteral(" )");
}

} // namespace session
