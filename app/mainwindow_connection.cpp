// Opening and dropping the link to the chosen instrument.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "link/tdrclient.h"
#include "protocol/frame.h"

#include <QBluetoothDeviceInfo>
#include <QDebug>
#include <QSignalBlocker>

void MainWindow::setConnect(bool goConnect)
{
    ui->actionConnect->setEnabled(false);
    const QBluetoothServiceInfo service = selectedService;

    if (goConnect && service.isValid()) {
        ui->statusbar->showMessage(tr("Connecting to ") + service.device().name() +
                                       QStringLiteral(" ( ") +
                                       service.device().address().toString() + QStringLiteral(" )"),
                                   0);
        clients.clear();
        qDebug() << "Connecting to service 2" << service.serviceName() << "on"
                 << service.device().name();
        qDebug() << "Going to create client";
        auto *client = new TDRClient(this);
        qDebug() << "Connecting...";
        connect(client, &TDRClient::messageReceived, this, &MainWindow::showMessage);
        connect(client, &TDRClient::messageReceived, this, &MainWindow::parseMessage);
        connect(client, &TDRClient::disconnected, this, &MainWindow::disconnected);
        connect(client, QOverload<QString>::of(&TDRClient::connected), this,
                &MainWindow::connected);
        connect(client, &TDRClient::socketErrorOccurred, this, &MainWindow::reactOnSocketError);
        connect(this, &MainWindow::sendMessage, client, &TDRClient::sendMessage);
        connect(this, &MainWindow::sendMessage, this, [this] { rxHex.clear(); });
        qDebug() << "Start client";
        client->startClient(service);
        clients.append(client);
        return;
    }

    ui->statusbar->showMessage(tr("Disconnecting..."), 0);
    const QList<QPointer<TDRClient>> snapshot = clients;
    for (const QPointer<TDRClient> &client : snapshot) {
        if (client)
            client->retire();
    }
    ui->actionConnect->setEnabled(true);
}

void MainWindow::connected(QString name)
{
    ui->messageEd->insertPlainText(QStringLiteral("Joined with %1.\n").arg(name));
    // Asked twice: the second request goes out once the first is answered.
    sendAtOnce(protocol::kGetVersionFrame);
    pendingCommands.enqueue(protocol::kGetVersionFrame);
    ui->actionConnect->setEnabled(true);
}

void MainWindow::disconnected()
{
    if (auto *client = qobject_cast<TDRClient *>(sender())) {
        clients.removeOne(client);
        client->retire();
    }
    // Frames left over belong to this instrument: sending them to the next
    // one could overwrite its records.
    const int dropped = pendingCommands.clear();
    rxHex.clear();
    endChain();

    if (!ui)
        return;
    ui->actionScan->setEnabled(true);
    ui->actionLoad_Selected->setEnabled(false);
    ui->actionUpload_Selected->setEnabled(false);
    ui->actionGet_List->setEnabled(false);
    ui->recordsLst->setEnabled(false);
    recordMap.clear();
    ui->recordsLst->clear();
    ui->filesLst->setEnabled(false);
    ui->actionSet_Serial->setEnabled(false);
    ui->actionConnect->setEnabled(true);
    {
        // The link is gone: the action must not show "connected", but
        // unchecking it must not start a second disconnect.
        const QSignalBlocker blocker(ui->actionConnect);
        ui->actionConnect->setChecked(false);
    }
    ui->devicesLst->setEnabled(true);
    ui->devnameLbl->clear();
    if (dropped == 0)
        ui->statusbar->showMessage(tr("Disconnected"), 0);
    else
        ui->statusbar->showMessage(
            tr("Disconnected. Queued commands not carried out: %1.").arg(dropped), 0);
}

void MainWindow::reactOnSocketError(QString error)
{
    ui->messageEd->insertPlainText(error);
    ui->actionConnect->setChecked(false);
    ui->actionConnect->setEnabled(true);
}
