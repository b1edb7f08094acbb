// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/mainwindow.h"
#include "testsupport.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QStatusBar>
#include <QString>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>

#include <functional>

// Reads the main window for the tests: the widgets by object name, the
// session it shows.
class MainWindowProbe
{
public:
    explicit MainWindowProbe(MainWindow &window) : w(window) {}

    QAction *action(const char *name) const { return w.findChild<QAction *>(name); }
    QListWidget *list(const char *name) const { return w.findChild<QListWidget *>(name); }
    QString status() const { return w.statusBar()->currentMessage(); }
    QString log() const { return w.findChild<QTextEdit *>("messageEd")->toPlainText(); }
    QString deviceInfo() const { return w.findChild<QLabel *>("devnameLbl")->text(); }
    QString folderText() const { return w.findChild<QLabel *>("folderLbl")->text(); }
    QStringList items(const char *listName) const;
    // The notice across the window's top and its action; empty when hidden.
    QString notice() const;
    QString noticeAction() const;
    bool listBusy() const { return !w.findChild<QWidget *>("listBusy")->isHidden(); }

    InstrumentSession &session() { return w.instrumentSession(); }
    QString localName() const { return w.localAdapterName(); }
    QBluetoothServiceInfo selectedService() const { return w.chosenService(); }
    bool discoveryActive() const { return w.isScanning(); }

    // One character per control in the order of the connection state table:
    // scan, devices, connect, getList, records, load, files, upload, serial.
    // '1' enabled, '0' disabled; 'C'/'c' a checked action, enabled/disabled.
    QString controlStates() const;

private:
    MainWindow &w;
};

// Accepts or rejects the next modal dialog once it shows up. The returned
// watch deletes itself once it has handled a dialog.
QTimer *answerNextDialog(std::function<void(QWidget *)> handle);
