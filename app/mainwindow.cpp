// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up, teardown and the message log of the main window.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/waveform/waveformwindow.h"
#include "app/waveform/windowstate.h"
#include "link/tdrserver.h"
#include "resources/resources.h"

#include <QDir>
#include <QIcon>
#include <QMessageBox>
#include <QProgressBar>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolBar>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), ui(new Ui::MainWindow),
      settings(QStringLiteral("Halvern"), QStringLiteral("Varnel Reader"))
{
    varnelInitResources();
    ui->setupUi(this);

    ui->actionSet_Serial->setVisible(false);
    ui->messageEd->setVisible(false);
    ui->messageEd->document()->setMaximumBlockCount(kLogLines);
    // One line per file: the list lays out thousands of files without
    // measuring each one again.
    ui->filesLst->setUniformItemSizes(true);

    // Our own additions: stopping a running transfer and the waveform viewer.
    actionCancel = new QAction(QIcon(QStringLiteral(":/buttons/ico/ico2/cancel.png")),
                               tr("Cancel Transfer"), this);
    actionCancel->setObjectName(QStringLiteral("actionCancel"));
    actionCancel->setEnabled(false);
    actionView_Waveforms = new QAction(QIcon(QStringLiteral(":/buttons/ico/ico2/wave.png")),
                                       tr("View Waveforms"), this);
    actionView_Waveforms->setObjectName(QStringLiteral("actionView_Waveforms"));
    actionSelect_New =
        new QAction(QIcon(QStringLiteral(":/buttons/ico/ico2/rec.png")), tr("Select New"), this);
    actionSelect_New->setObjectName(QStringLiteral("actionSelect_New"));
    actionSelect_New->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    actionSelect_New->setToolTip(tr("Select the records that are not in the working directory"));
    chainProgress = new QProgressBar(this);
    chainProgress->setObjectName(QStringLiteral("chainProgress"));
    chainProgress->setMaximumWidth(220);
    chainProgress->setFormat(tr("%v of %m"));
    chainProgress->setVisible(false);

    connect(&session.store(), &RecordStore::filesChanged, this, &MainWindow::refreshFileList);
    connect(&session.store(), &RecordStore::fileAdded, this, &MainWindow::fileAdded);
    connect(&session.store(), &RecordStore::fileRemoved, this, &MainWindow::fileRemoved);
    // File descriptions are read when a tooltip asks for them, not before.
    ui->filesLst->viewport()->installEventFilter(this);
    addComfort();
    loadSettings();

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

    ui->menuDevice->insertAction(ui->actionSet_Serial, actionSelect_New);
    ui->menuDevice->insertAction(ui->actionSet_Serial, actionCancel);
    ui->menuDevice->insertAction(ui->actionSet_Serial, actionView_Waveforms);
    ui->menuDevice->insertSeparator(ui->actionSet_Serial);
    ui->toolBar->addAction(actionSelect_New);
    ui->toolBar->addAction(actionCancel);
    ui->toolBar->addAction(actionView_Waveforms);
    connect(actionCancel, &QAction::triggered, this, [this] {
        if (m_state == UiState::Connecting) {
            ui->actionConnect->setChecked(false); // abandons the attempt
            return;
        }
        m_cancelRequested = true;
        applyUiState();
        session.stop();
    });
    connect(actionView_Waveforms, &QAction::triggered, this, [this] { openWaveforms(); });
    connect(actionSelect_New, &QAction::triggered, this, &MainWindow::selectNewRecords);
    connect(ui->filesLst, &QListWidget::itemActivated, this,
            [this](QListWidgetItem *item) { openWaveforms(item->text()); });
    ui->statusbar->addPermanentWidget(chainProgress);

    connectSession();
    setUpNotices();
    applyUiState();
    fitToScreen();
    keepWindowState(this, QStringLiteral("MainWindow"));
}

void MainWindow::connectSession()
{
    // Outgoing frames: logged, then mirrored to the peers, then written to
    // the instrument by the session.
    connect(&session, &InstrumentSession::frameSent, this, [this](const QString &frame) {
        showMessage(localName, frame);
        emit sendMessage(frame);
    });
    connect(&session, &InstrumentSession::pieceReceived, this, &MainWindow::showMessage);
    connect(&session, &InstrumentSession::linkUp, this, &MainWindow::connected);
    connect(&session, &InstrumentSession::linkDown, this, &MainWindow::disconnected);
    connect(&session, &InstrumentSession::linkError, this, &MainWindow::reactOnSocketError);
    connect(&session, &InstrumentSession::identityReceived, this,
            &MainWindow::deviceVersionReceived);
    connect(&session, &InstrumentSession::recordListReceived, this, &MainWindow::showRecordList);
    connect(&session, &InstrumentSession::recordFailed, this,
            [this](quint8, const QString &message) { showStatus(message); });
    connect(&session, &InstrumentSession::notice, this, &MainWindow::showStatus);
    connect(&session, &InstrumentSession::chainStarted, this,
            [this](InstrumentSession::Chain, int total) { chainStarted(total); });
    connect(&session, &InstrumentSession::progress, this, [this](int done, int total) {
        chainProgress->setRange(0, total);
        chainProgress->setValue(done);
    });
    connect(&session, &InstrumentSession::chainFinished, this, &MainWindow::chainFinished);
}

MainWindow::~MainWindow()
{
    saveSettings();

    // The session's links and the local service would report their sockets
    // closing into a half-destroyed window.
    session.disconnect(this);
    if (server) {
        server->disconnect(this);
        delete server;
        server = nullptr;
    }
    if (waveformWindow && waveformWindow->isVisible())
        waveformWindow->close(); // keeps its place for the next run
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
    if (message.size() > kLogLineChars)
        message = message.left(kLogLineChars) +
                  QStringLiteral("... (%1 more)").arg(message.size() - kLogLineChars);
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

void MainWindow::showStatus(const QString &text)
{
    ui->statusbar->showMessage(text, 0);
}

void MainWindow::openWaveforms(const QString &fileName)
{
    if (!waveformWindow) {
        waveformWindow = new WaveformWindow(&session.store(), nullptr);
        waveformWindow->setAttribute(Qt::WA_DeleteOnClose, false);
        // Closing the main window ends the tool even while the viewer is open.
        waveformWindow->setAttribute(Qt::WA_QuitOnClose, false);
    }
    waveformWindow->setDirectory(session.store().directory());
    if (!fileName.isEmpty())
        waveformWindow->showFile(fileName);
    waveformWindow->show();
    waveformWindow->raise();
    waveformWindow->activateWindow();
}
