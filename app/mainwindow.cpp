// Start-up, teardown and the message log of the main window.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/waveformwindow.h"
#include "link/tdrclient.h"
#include "link/tdrserver.h"
#include "protocol/logging.h"
#include "resources/resources.h"

#include <QDir>
#include <QIcon>
#include <QMessageBox>
#include <QProgressBar>
#include <QTextEdit>
#include <QToolBar>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), ui(new Ui::MainWindow), workDir(QDir::currentPath()),
      settings(QStringLiteral("Halvern"), QStringLiteral("Varnel Reader")),
      record(protocol::emptyRecord())
{
    varnelInitResources();
    ui->setupUi(this);

    ui->actionSet_Serial->setVisible(false);
    ui->messageEd->setVisible(false);

    loadSettings();
    refreshFileList();

    ui->statusbar->showMessage(tr("Disconnected"), 0);

    connect(ui->actionExit, &QAction::triggered, this, &QWidget::close);
    connect(ui->actionSet_Serial, &QAction::triggered, this, &MainWindow::setSerialClicked);
    connect(ui->actionScan, &QAction::triggered, this, &MainWindow::scanClicked);
    connect(ui->actionGet_List, &QAction::triggered, this, &MainWindow::getListClicked);
    connect(ui->actionLoad_Selected, &QAction::triggered, this, &MainWindow::readSelectedClicked);
    connect(ui->actionUpload_Selected, &QAction::triggered, this,
            &MainWindow::writeSelectedClicked);
    connect(ui->actionSelect_Dir, &QAction::triggered, this, &MainWindow::selectFolderClicked);
    connect(ui->actionConnect, SIGNAL(toggled(bool)), this, SLOT(setConnect(bool)));
    connect(ui->actionAbout, &QAction::triggered, this, &MainWindow::showAbout);

    // Our own additions: stopping a running transfer and the waveform viewer.
    actionCancel = new QAction(QIcon(QStringLiteral(":/buttons/ico/ico2/cancel.png")),
                               tr("Cancel Transfer"), this);
    actionCancel->setObjectName(QStringLiteral("actionCancel"));
    actionCancel->setEnabled(false);
    actionView_Waveforms = new QAction(QIcon(QStringLiteral(":/buttons/ico/ico2/wave.png")),
                                       tr("View Waveforms"), this);
    actionView_Waveforms->setObjectName(QStringLiteral("actionView_Waveforms"));
    ui->menuDevice->insertAction(ui->actionSet_Serial, actionCancel);
    ui->menuDevice->insertAction(ui->actionSet_Serial, actionView_Waveforms);
    ui->menuDevice->insertSeparator(ui->actionSet_Serial);
    ui->toolBar->addAction(actionCancel);
    ui->toolBar->addAction(actionView_Waveforms);
    connect(actionCancel, &QAction::triggered, this, &MainWindow::cancelChain);
    connect(actionView_Waveforms, &QAction::triggered, this, [this] { openWaveforms(); });
    connect(ui->filesLst, &QListWidget::itemActivated, this,
            [this](QListWidgetItem *item) { openWaveforms(item->text()); });

    chainProgress = new QProgressBar(this);
    chainProgress->setObjectName(QStringLiteral("chainProgress"));
    chainProgress->setMaximumWidth(220);
    chainProgress->setFormat(tr("%v of %m"));
    chainProgress->setVisible(false);
    ui->statusbar->addPermanentWidget(chainProgress);

    connect(&pendingCommands, &CommandQueue::repeatRequested, this, &MainWindow::sendFrame);
    connect(&pendingCommands, &CommandQueue::gaveUp, this, &MainWindow::commandsAbandoned);
}

MainWindow::~MainWindow()
{
    saveSettings();

    // Links and the local service are children that would report their
    // sockets closing into a half-destroyed window: silence and delete them
    // while the window is still whole.
    for (const QPointer<TDRClient> &client : qAsConst(clients)) {
        if (client) {
            client->disconnect(this);
            delete client;
        }
    }
    clients.clear();
    if (server) {
        server->disconnect(this);
        delete server;
        server = nullptr;
    }
    delete waveformWindow;

    delete ui;
    ui = nullptr;
    delete discoveryAgent;
}

bool MainWindow::init()
{
    localAdapters = bt::stack().allDevices();
    while (localAdapters.isEmpty()) {
        const auto answer = QMessageBox::warning(
            this, tr("Varnel Reader"),
            tr("Local Bluetooth Adapter not found.\nMake sure the device is present and the "
               "drivers for it are installed correctly.\nPress Retry to try again or Abort to "
               "exit application"),
            QMessageBox::Retry | QMessageBox::Abort, QMessageBox::Abort);
        if (answer != QMessageBox::Retry)
            return false;
        localAdapters = bt::stack().allDevices();
    }

    const QBluetoothAddress adapter = localAdapters.first().address();
    bt::stack().setHostMode(adapter, QBluetoothLocalDevice::HostDiscoverable);

    server = new TDRServer(this);
    connect(server, QOverload<QString>::of(&TDRServer::clientConnected), this,
            &MainWindow::clientConnected);
    connect(server, QOverload<QString>::of(&TDRServer::clientDisconnected), this,
            &MainWindow::clientDisconnected);
    connect(server, &TDRServer::messageReceived, this, &MainWindow::showMessage);
    connect(this, &MainWindow::sendMessage, server, &TDRServer::sendMessage);
    server->startServer(adapter);

    auto *entry = new QListWidgetItem(
        QIcon(QStringLiteral(":/buttons/ico/ico2/s&c.png")),
        QStringLiteral("%1\n%2").arg(bt::stack().adapterName(adapter), adapter.toString()));
    ui->computerLst->insertItem(ui->computerLst->count(), entry);

    localName = bt::stack().defaultAdapterName();

    discoveryAgent = bt::stack().createDiscoveryAgent(adapter);
    connect(discoveryAgent, SIGNAL(serviceDiscovered(QBluetoothServiceInfo)), this,
            SLOT(serviceDiscovered(QBluetoothServiceInfo)));
    connect(discoveryAgent, SIGNAL(finished()), this, SLOT(discoveryFinished()));
    connect(discoveryAgent, SIGNAL(canceled()), this, SLOT(discoveryFinished()));
    return true;
}

void MainWindow::showAbout()
{
    aboutDialog.exec();
}

void MainWindow::showMessage(QString sender, QString message)
{
    ui->messageEd->insertPlainText(QStringLiteral("%1: %2\n").arg(sender, message));
    ui->messageEd->ensureCursorVisible();
}

void MainWindow::clientConnected(QString name)
{
    ui->messageEd->insertPlainText(QStringLiteral("%1 has joined.\n").arg(name));
}

void MainWindow::clientDisconnected(QString name)
{
    ui->messageEd->insertPlainText(QStringLiteral("%1 has left.\n").arg(name));
}

void MainWindow::openWaveforms(const QString &fileName)
{
    if (!waveformWindow) {
        waveformWindow = new WaveformWindow(nullptr);
        waveformWindow->setAttribute(Qt::WA_DeleteOnClose, false);
        // Closing the main window ends the tool even while the viewer is open.
        waveformWindow->setAttribute(Qt::WA_QuitOnClose, false);
    }
    waveformWindow->setDirectory(workDir);
    if (!fileName.isEmpty())
        waveformWindow->showFile(fileName);
    waveformWindow->show();
    waveformWindow->raise();
    waveformWindow->activateWindow();
}
