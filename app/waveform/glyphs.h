// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>

enum class Glyph { Refresh, Fit, Reference, Clear, Table, Image, Open, Report, Markers };

// Flat line icons drawn in code, so the tool bar looks the same on every
// platform and style; a normal and a disabled look at 16 to 48 pixels.
QIcon glyphIcon(Glyph glyph);
