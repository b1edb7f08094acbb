// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMargins>
#include <QRect>
#include <QString>
#include <QVector>

class QMainWindow;

// Where a window whose frame (title bar included) is `frame` goes so that it
// lies wholly on one of the `screens` (their available areas): on the screen
// it overlaps most, else the first; shrunk to fit, then moved inside.
QRect fitOntoScreens(const QRect &frame, const QVector<QRect> &screens);

// The frame a window is assumed to get before it is shown (title bar and
// borders), so that it can be placed wholly on screen.
QMargins expectedWindowFrame();

// Keeps a window's size, position, tool bars, splitters and table columns
// across runs in the settings group "Windows/<name>": restores them now,
// corrected onto today's screens, and saves them whenever the window is
// closed.
void keepWindowState(QMainWindow *window, const QString &name);
