// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcProtocol)
Q_DECLARE_LOGGING_CATEGORY(lcLink)
Q_DECLARE_LOGGING_CATEGORY(lcBluetooth)
Q_DECLARE_LOGGING_CATEGORY(lcEmulator)
Q_DECLARE_LOGGING_CATEGORY(lcApp)
