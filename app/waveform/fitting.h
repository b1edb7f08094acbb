// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>

class QAction;
class QLabel;
class QString;
class QToolBar;

// Keeps a tool bar's buttons in view at any window width, scale and
// language: when the texts beside the icons do not fit, the buttons of
// `iconFirst` lose their text in that order, so that the last keep theirs
// and nothing hides behind the extension button.
void keepToolBarFitting(QToolBar *bar, const QList<QAction *> &iconFirst);

// A one-line label that shows as much of `text` as its width allows, elided
// at the end, and the whole of it in its tooltip: it never wraps or clips.
QLabel *elidingLabel(const QString &text);
