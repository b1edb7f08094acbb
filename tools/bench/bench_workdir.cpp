// SPDX-License-Identifier: GPL-3.0-or-later
// What a large working directory costs: per downloaded record, at start, and
// when the viewer opens. Runs the window on the emulated link with no delay,
// for folders of 0, 1,000 and 10,000 files. Prints one line per folder.
#include "app/mainwindow.h"
#include "bluetooth/emulator/emulatedstack.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>

#include <cstdio>

namespace {

const QByteArray kScene = R"({
  "adapters": [ {"name": "Workstation", "address": "00:1A:7D:DA:71:01"} ],
  "devices": [ {"name": "KV-105", "address": "00:1A:7D:DA:71:13",
                "services": [ {"name": "Serial Port", "channel": 1,
                               "instrument": {"records": 200, "seed": 3}} ]} ]
})";

bool waitFor(const std::function<bool()> &done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > 120000)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

void run(int existing)
{
    QTemporaryDir config;
    QTemporaryDir work;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    QSettings(QStringLiteral("Halvern"), QStringLiteral("Varnel Reader"))
        .setValue(QStringLiteral("Paths/savedir"), work.path());
    // Names as downloads give them, from another instrument: listed, never on disk.
    for (int i = 0; i < existing; ++i)
        QFile(work.filePath(QStringLiteral("#%1 2020-01-%2 10_00_00 100m sn%3.tdr")
                                .arg(i % 1000, 3, 10, QLatin1Char('0'))
                                .arg(1 + i / 1000 % 28, 2, 10, QLatin1Char('0'))
                                .arg(i / 28000 + 500000)))
            .open(QIODevice::WriteOnly);
    QString error;
    auto stack = emu::EmulatedStack::fromJson(kScene, &error);
    bt::BluetoothStack::install(std::move(stack));

    QElapsedTimer timer;
    timer.start();
    MainWindow window;
    window.init();
    window.show();
    QCoreApplication::processEvents();
    const double startMs = double(timer.nsecsElapsed()) / 1e6;

    const auto action = [&](const char *name) { return window.findChild<QAction *>(name); };
    const auto status = [&] { return window.statusBar()->currentMessage(); };
    auto *records = window.findChild<QListWidget *>(QStringLiteral("recordsLst"));
    action("actionScan")->trigger();
    waitFor([&] { return status() == QLatin1String("discovery Finished"); });
    action("actionConnect")->setChecked(true);
    waitFor([&] {
        return window.instrumentSession().isLinked() && !window.instrumentSession().isBusy();
    });
    action("actionGet_List")->trigger();
    waitFor([&] { return records->count() == 200; });
    records->selectAll();
    timer.restart();
    action("actionLoad_Selected")->trigger();
    const bool done = waitFor([&] { return status() == QLatin1String("Records saved: 200."); });
    const double perRecordMs = double(timer.nsecsElapsed()) / 1e6 / 200;

    timer.restart();
    action("actionView_Waveforms")->trigger();
    QCoreApplication::processEvents();
    const double viewerMs = double(timer.nsecsElapsed()) / 1e6;

    std::printf("%6d files: %7.2f ms per record%s, window shown in %7.1f ms, viewer opened in "
                "%7.1f ms\n",
                existing, perRecordMs, done ? "" : " (download did not finish)", startMs, viewerMs);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    for (int existing : {0, 1000, 10000})
        run(existing);
    bt::BluetoothStack::install(nullptr);
    return 0;
}
