#pragma once

#include "app/aboutdialog.h"
#include "bluetooth/bluetoothstack.h"
#include "protocol/answerassembler.h"
#include "protocol/commandqueue.h"
#include "protocol/tdrrecord.h"

#include <QBluetoothHostInfo>
#include <QBluetoothServiceInfo>
#include <QList>
#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <QSettings>
#include <QString>

class QAction;
class QListWidgetItem;
class QProgressBar;
class TDRClient;
class TDRServer;
class WaveformWindow;

namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Finds the local adapter (asking Retry or Abort while there is none),
    // starts the local service and creates the discovery agent. False when the
    // user gives up.
    bool init();

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
    void parseMessage(QString sender, QString message);
    void clientConnected(QString name);
    void clientDisconnected(QString name);
    void deviceVersionReceived();
    void deviceRecordListReceived();
    void connected(QString name);
    void disconnected();
    void reactOnSocketError(QString error);
    void serviceDiscovered(const QBluetoothServiceInfo &serviceInfo);
    void discoveryFinished();
    void on_devicesLst_itemActivated(QListWidgetItem *item);
    void on_devicesLst_currentItemChanged(QListWidgetItem *item);
    void on_recordsLst_itemSelectionChanged();
    void on_filesLst_itemSelectionChanged();

private:
    friend class MainWindowProbe; // test access

    void showAbout();
    void startDiscovery();

    // Command queue: frames go out one at a time, each waiting for its answer.
    void sendFrame(const QString &frame);
    void sendNextPending();
    void sendAtOnce(const QString &frame);
    void commandsAbandoned(const QString &frame, int dropped);

    // Both return false when the answer could not be put to use.
    bool handleAnswer(const QByteArray &frame);
    bool recordAnswerReceived(const QByteArray &frame);

    void loadSettings();
    void saveSettings();
    void refreshFileList();

    // Downloads and uploads run as chains of commands; progress and cancel
    // follow them.
    enum class Chain { None, Download, Upload };
    void beginChain(Chain kind, int total);
    void chainStepDone(bool succeeded);
    void finishChainIfDone();
    void endChain();
    void cancelChain();
    void updateChainProgress();

    void openWaveforms(const QString &fileName = QString());

    // Declaration order is construction order.
    Ui::MainWindow *ui;
    QString localName;
    QString workDir;
    QSettings settings;
    AnswerAssembler rxHex; // the answer being reassembled; emptied whenever a command goes out
    AboutDialog aboutDialog;
    TDRServer *server = nullptr;
    QList<QPointer<TDRClient>> clients;
    QList<QBluetoothHostInfo> localAdapters;
    QBluetoothServiceInfo selectedService;
    bt::ServiceDiscoveryAgent *discoveryAgent = nullptr;
    QMap<QListWidgetItem *, QBluetoothServiceInfo> discoveredServices;
    QMap<QListWidgetItem *, quint64> recordMap;
    CommandQueue pendingCommands;
    TDRRecord record;

    // Our own additions.
    QAction *actionCancel = nullptr;
    QAction *actionView_Waveforms = nullptr;
    QProgressBar *chainProgress = nullptr;
    QPointer<WaveformWindow> waveformWindow;
    Chain chainKind = Chain::None;
    int chainTotal = 0;
    int chainDone = 0;
    int chainFailed = 0;
    int chainCancelled = 0; // commands dropped by Cancel
    QString chainLastProblem;
};
