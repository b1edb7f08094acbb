#pragma once

#include "app/mainwindow.h"

#include <QAction>
#include <QListWidget>
#include <QStatusBar>
#include <QString>
#include <QTemporaryDir>
#include <QTextEdit>

#include <functional>

namespace emu {
class EmulatedStack;
}

// Reaches into the main window for the tests: the widgets by object name and
// the protocol state the window keeps.
class MainWindowProbe
{
public:
    explicit MainWindowProbe(MainWindow &window) : w(window) {}

    QAction *action(const char *name) const;
    QListWidget *list(const char *name) const;
    QString status() const;
    QString log() const;
    QString deviceInfo() const;
    QString folderText() const;

    CommandQueue &queue() { return w.pendingCommands; }
    const TDRRecord &record() const { return w.record; }
    QString rxHex() const { return w.rxHex.rxHex(); }
    QString workDir() const { return w.workDir; }
    QString localName() const { return w.localName; }
    QBluetoothServiceInfo selectedService() const { return w.selectedService; }
    const QMap<QListWidgetItem *, quint64> &recordMap() const { return w.recordMap; }
    const QMap<QListWidgetItem *, QBluetoothServiceInfo> &discoveredServices() const
    {
        return w.discoveredServices;
    }
    int liveClients() const;
    bool discoveryActive() const;

    // "on"/"off" (plus "checked") per control and the status text, in the
    // order of the connection state table.
    QString controlStates() const;

private:
    MainWindow &w;
};

// Points QSettings at a private directory so tests never touch the user's.
void isolateSettings(const QString &directory);

// Installs an emulated stack built from a JSON scene; fails the test on error.
emu::EmulatedStack *installScene(const QByteArray &json);

// Accepts or rejects the next modal dialog once it shows up.
void answerNextDialog(std::function<void(QWidget *)> handle);
