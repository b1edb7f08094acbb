#include "app/startup.h"

#include "app/mainwindow.h"

#include <QApplication>
#include <QString>

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

QString missingDisplayMessage()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS) && !defined(Q_OS_ANDROID)
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
        !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return QString();
    return QStringLiteral(
        "varnel-reader: no display available (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
        "Run it from a desktop session, or on a machine without one under a virtual display:\n"
        "    xvfb-run -a -s \"-screen 0 1280x900x24\" varnel-reader\n");
#else
    return QString();
#endif
}
