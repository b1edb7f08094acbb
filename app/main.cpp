// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/startup.h"
#include "bluetooth/backend.h"
#include "common/helpversion.h"
#include "common/startup.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

namespace {

void describe(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QCoreApplication::translate(
        "main",
        "Reads a Varnel TDR over Bluetooth: scans for instruments, shows the identity of the one "
        "you connect to, downloads its records into *.tdr files in a working directory, uploads "
        "files back into record slots and shows the waveforms.\n\n"
        "Environment:\n"
        "  VARNEL_BLUETOOTH  the Bluetooth stack: \"qt\" (the default, the computer's adapter "
        "through BlueZ), \"emulator\" (a built-in demo instrument) or \"emulator:SCENE.json\".\n"
        "The Russian interface comes from Varnel_Reader_ru.qm in the current directory, or else "
        "from the installed translation when the desktop's language is Russian."));
}

} // namespace

int main(int argc, char *argv[])
{
    if (answerHelpOrVersion(argc, argv, QStringLiteral("varnel-reader"), describe))
        return 0;
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
