// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/aboutdialog.h"
#include "bluetooth/bluetoothstack.h"
#include "records/labelbook.h"
#include "session/instrumentsession.h"
#include "session/lastinstrument.h"

#include <QBluetoothHostInfo>
#include <QBluetoothServiceInfo>
#include <QList>
#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <QSet>
#include <QSettings>
#include <QString>

class NoticeBar;
class QAction;
class QLineEdit;
class QListWidgetItem;
class QProgressBar;
class TDRServer;
class WaveformWindow;

namespace Ui {
class MainWindow;
}

// A view of the instrument session: the slots read the widgets and hand over
// to the session; the session's reports come back here as texts and states.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // On the Bluetooth stack installed at start-up.
    explicit MainWindow(QWidget *parent = nullptr);
    explicit MainWindow(bt::BluetoothStack &stack, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Finds the local adapter (asking Retry or Abort while there is none),
    // starts the local service and creates the discovery agent. False when the
    // user gives up.
    bool init();

    InstrumentSession &instrumentSession() { return session; }
    // The working directory's record files.
    RecordStore &recordStore() { return store; }
    QString localAdapterName() const { return localName; }
    QBluetoothServiceInfo chosenService() const { return selectedService; }
    bool isScanning() const { return m_scanning; }
    session::Phase phase() const { return session.phase(); }

    // The message log keeps the latest lines only, each clipped, so an endless
    // stream from an instrument or a peer cannot use up the memory.
    static constexpr int kLogLines = 2000;
    static constexpr int kLogLineChars = 2048;

signals:
    void sendMessage(QString message);

private slots:
    void scanClicked();
    void setConnect(bool goConnect);
    void setSerialClicked();
    void getListClicked();
    void readSelectedClicked();
    void writeSelectedClicked();
    void selectFolderClicked();
    void showMessage(QString sender, QString message);
    void clientConnected(QString name);
    void clientDisconnected(QString name);
    void deviceVersionReceived();
    void deviceRecordListReceived();
    void connected(QString name);
    void disconnected(const QString &statusText = QString());
    void reactOnSocketError(QString error, bool linkWasUp = true);
    void serviceDiscovered(const QBluetoothServiceInfo &serviceInfo);
    void discoveryFinished();
    void on_devicesLst_itemActivated(QListWidgetItem *item);
    void on_devicesLst_currentItemChanged(QListWidgetItem *item);
    void on_recordsLst_itemSelectionChanged();
    void on_filesLst_itemSelectionChanged();

private:
    void showAbout();
    void startDiscovery();
    void connectSession();
    void onRecordList(const QList<protocol::RecordEntry> &entries);
    void onChainStarted(int total);
    void onChainFinished(const InstrumentSession::Summary &summary);
    void showStatus(const QString &text);

    void onPhaseChanged(session::Phase phase);
    // Sets every control from the session's phase and the window's facts.
    void applyControls();

    void loadSettings();
    void saveSettings();
    void refreshFileList();
    void onFileAdded(const QString &name);
    void onFileRemoved(const QString &name);
    // Each entry of the record list carries its raw list entry.
    static constexpr int kEntryRole = Qt::UserRole + 1;
    QList<QListWidgetItem *> recordItems() const;
    static protocol::RecordEntry entryOf(const QListWidgetItem *item);
    void updateRecordMarks();
    void selectNewRecords();
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Finds files by name, cable or note; what it hides is not selected.
    void setUpFileFilter();
    void applyFileFilter();

    void openWaveforms(const QString &fileName = QString());

    // Comfort: shortcuts, the remembered instrument, questions before data
    // could be lost (mainwindow_comfort.cpp).
    void addComfort();
    void fitToScreen();
    void rememberInstrument();
    void connectToLast();
    void connectWithoutScan(const QBluetoothServiceInfo &service, bool last);
    int lastInstrumentRow() const;
    bool confirmStop(bool quitting);
    bool confirmOverwrite(const InstrumentSession::UploadPlan &plan);
    void closeEvent(QCloseEvent *event) override;

    // What went wrong out of sight, said across the window's top, and the
    // download resumed after a lost link (mainwindow_notices.cpp).
    void setUpNotices();
    void startDownload(const QList<quint8> &numbers);
    void noticeChainEnd(const InstrumentSession::Summary &summary);
    void noticeLinkDown();
    void noticeLinkError(const QString &error, bool wasUp);
    void noticeEmptyScan();
    void resumeDownload();
    void resumeWithList(const QList<protocol::RecordEntry> &entries);
    void updateResumeAction();
    void setListBusy(bool busy);

    // Declaration order is construction order.
    Ui::MainWindow *ui;
    QString localName;
    QSettings settings;
    bt::BluetoothStack &m_stack;
    AboutDialog aboutDialog;
    TDRServer *server = nullptr;
    QList<QBluetoothHostInfo> localAdapters;
    QBluetoothServiceInfo selectedService;
    bt::ServiceDiscoveryAgent *discoveryAgent = nullptr;
    QMap<QListWidgetItem *, QBluetoothServiceInfo> discoveredServices;
    RecordStore store;
    InstrumentSession session;

    // Our own additions.
    QAction *actionCancel = nullptr;
    QAction *actionView_Waveforms = nullptr;
    QAction *actionSelect_New = nullptr;
    QAction *actionConnect_Last = nullptr;
    QProgressBar *chainProgress = nullptr;
    QPointer<WaveformWindow> waveformWindow;
    bool m_scanning = false;
    bool m_deviceChosen = false;
    bool m_cancelRequested = false;
    session::LastInstrument m_last;
    bool m_connectingLast = false;
    bool m_linkFailing = false; // a socket error unchecks Connect: no question then
    NoticeBar *noticeBar = nullptr;
    QProgressBar *listBusy = nullptr;
    QBluetoothServiceInfo m_downloadService; // the running download's, and what it saved
    QList<quint8> m_downloadNumbers;
    QSet<quint8> m_downloadSaved;
    QBluetoothServiceInfo m_resumeService; // a download cut short, and what it left
    QList<quint8> m_remaining;
    bool m_resumeWaiting = false; // for the link, then the list, to resume
    bool m_disconnectRequested = false;
    QString m_linkErrorWords;
    bool m_uploadAsking = false; // Upload Selected's slot question is open
    // A finished scan or a new current entry lets Connect abandon an attempt.
    bool m_attemptAbandonable = false;
    bool m_devicesOpen = false; // the device list was opened, and not emptied by a scan since
    QAction *actionRead_Back = nullptr;
    QLineEdit *filesFilterEd = nullptr;
    LabelBook fileLabels; // of the working directory's files
};
