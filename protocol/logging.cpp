// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/logging.h"

Q_LOGGING_CATEGORY(lcProtocol, "varnel.protocol", QtInfoMsg)
Q_LOGGING_CATEGORY(lcLink, "varnel.link", QtInfoMsg)
Q_LOGGING_CATEGORY(lcBluetooth, "varnel.bluetooth", QtInfoMsg)
Q_LOGGING_CATEGORY(lcEmulator, "varnel.emulator", QtInfoMsg)
Q_LOGGING_CATEGORY(lcApp, "varnel.app", QtInfoMsg)
