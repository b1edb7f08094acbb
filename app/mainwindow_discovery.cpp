// Scanning for services and the list of instruments found.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include <QBluetoothDeviceInfo>
#include <QDebug>
#include <QIcon>

namespace {
// Only devices whose name carries this marker are instruments.
const QString kInstrumentMarker = QStringLiteral("KV");
} // namespace

void MainWindow::scanClicked()
{
    ui->actionScan->setEnabled(false);
    ui->devicesLst->setEnabled(false);
    ui->actionGet_List->setEnabled(false);
    ui->actionLoad_Selected->setEnabled(false);
    startDiscovery();
}

void MainWindow::startDiscovery()
{
    ui->statusbar->showMessage(tr("Scanning..."), 0);
    if (discoveryAgent->isActive())
        discoveryAgent->stop();
    ui->actionScan->setEnabled(false);
    ui->actionConnect->setEnabled(false);

    // The map goes first so that it never holds an item the list has deleted.
    discoveredServices.clear();
    ui->devicesLst->clear();

    discoveryAgent->clear();
    discoveryAgent->start();
}

void MainWindow::serviceDiscovered(const QBluetoothServiceInfo &serviceInfo)
{
    const QBluetoothDeviceInfo device = serviceInfo.device();
    qDebug() << "Discovered service on" << device.name() << device.address().toString();
    qDebug() << "\tService name:" << serviceInfo.serviceName();
    qDebug() << "\tDescription:"
             << serviceInfo.attribute(QBluetoothServiceInfo::ServiceDescription).toString();
    qDebug() << "\tProvider:"
             << serviceInfo.attribute(QBluetoothServiceInfo::ServiceProvider).toString();
    qDebug() << "\tL2CAP protocol service multiplexer:" << serviceInfo.protocolServiceMultiplexer();
    qDebug() << "\tRFCOMM server channel:" << serviceInfo.serverChannel();

    for (const QBluetoothServiceInfo &known : qAsConst(discoveredServices)) {
        if (known.device().address() == device.address())
            return;
    }

    const QString displayName = device.name().isEmpty() ? tr("Anonymous") : device.name();
    if (!displayName.contains(kInstrumentMarker, Qt::CaseSensitive))
        return;

    auto *item =
        new QListWidgetItem(QIcon(QStringLiteral(":/buttons/ico/ico2/ref.png")),
                            QStringLiteral("%1\n%2").arg(displayName, device.address().toString()));
    discoveredServices.insert(item, serviceInfo);
    ui->devicesLst->insertItem(ui->devicesLst->count(), item);
}

void MainWindow::discoveryFinished()
{
    ui->statusbar->showMessage(tr("discovery Finished"), 0);
    ui->actionScan->setEnabled(true);
    if (ui->devicesLst->count() > 0) {
        ui->devicesLst->setEnabled(true);
        ui->devicesLst->setCurrentRow(0, QItemSelectionModel::SelectCurrent);
    }
}

void MainWindow::on_devicesLst_currentItemChanged(QListWidgetItem *item)
{
    if (!item)
        return;
    qDebug() << "select service" << item->text();
    selectedService = discoveredServices.value(item, QBluetoothServiceInfo());
    if (discoveryAgent && discoveryAgent->isActive())
        discoveryAgent->stop();
    ui->actionConnect->setEnabled(true);
}

void MainWindow::on_devicesLst_itemActivated(QListWidgetItem *item)
{
    qDebug() << "got click" << item->text();
}
