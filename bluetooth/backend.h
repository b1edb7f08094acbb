// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bluetooth/bluetoothstack.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace bt {

// Whether the program publishes the tool's own service (the window) or only
// connects to instruments (the command line).
enum class StackUse { Full, Client };

// Picks the stack from the value of the environment variable VARNEL_BLUETOOTH:
//   unset, empty or "qt"  the system's Bluetooth through Qt
//   "emulator"            the emulated radio with the built-in demo scene
//   "emulator:PATH"       the emulated radio with the scene in the JSON file PATH
// Anything else, or a scene that cannot be used, gives null and a one-line
// message in `error`.
std::unique_ptr<BluetoothStack> createStack(const QByteArray &envValue, QString *error,
                                            StackUse use = StackUse::Full);

} // namespace bt
