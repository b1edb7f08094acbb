// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Builds the main window, runs it, and tears it down; returns the exit code
// (0 when the user gives up for want of an adapter). The Bluetooth stack must
// be installed first.
int runMainWindow();
