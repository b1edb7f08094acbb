// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace session {

// Only devices whose name carries the instrument's marker ("KV", upper case)
// are instruments; nameless devices never are.
bool isInstrumentName(const QString &deviceName);

} // namespace session
