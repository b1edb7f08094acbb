// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/discovery.h"

namespace session {

bool isInstrumentName(const QString &deviceName)
{
    return deviceName.contains(QLatin1String("KV"), Qt::CaseSensitive);
}

} // namespace session
