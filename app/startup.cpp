// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/startup.h"

#include "app/mainwindow.h"

#include <QApplication>

int runMainWindow()
{
    int exitCode = 0;
    MainWindow window;
    if (window.init()) {
        window.show();
        exitCode = QApplication::exec();
    }
    return exitCode;
}
