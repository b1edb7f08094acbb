// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>

namespace icons {

// Tool bar and button pictures.
QImage folder(bool open);
QImage transfer(bool download);
QImage computerWithBluetooth();
QImage reflectometer();
QImage bluetoothScan();
QImage refreshArrows();
QImage listRefresh();
QImage connector(bool connected);
QImage cancelTransfer();
QImage waveformView();

// The application icon, the maker's logos and the About dialog's pictures.
QImage applicationIcon(int size);
// The icon of a *.tdr file in a file manager.
QImage recordFileIcon(int size);
QImage logoSmall();
QImage logoLarge();
QImage waveScreen();
QImage coaxCable();

} // namespace icons
