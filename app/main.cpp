#include "app/startup.h"
#include "bluetooth/backend.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    // The stack is chosen before anything else, so a wrong choice stops the
    // program with a clear message before any window could open.
    QString stackError;
    auto stack = bt::createStack(qgetenv("VARNEL_BLUETOOTH"), &stackError);
    if (!stack) {
        std::fprintf(stderr, "varnel-reader: %s\n", qPrintable(stackError));
        return 2;
    }
    const QString noDisplay = missingDisplayMessage(argc, argv);
    if (!noDisplay.isEmpty()) {
        std::fputs(qPrintable(noDisplay), stderr);
        return 2;
    }

    QApplication app(argc, argv);

    installTranslations();

    bt::BluetoothStack::install(std::move(stack));
    const int exitCode = runMainWindow();
    bt::BluetoothStack::install(nullptr);
    return exitCode;
}
