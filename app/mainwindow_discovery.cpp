// SPDX-License-Identifier: GPL-3.0-or-later
// Scanning for services and the list of instruments found.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "session/discovery.h"

#include <QBluetoothDeviceInfo>
#include <QDebug>
#include <QIcon>

void MainWindow::scanClicked()
{
    startDiscovery();
}

void MainWindow::startDiscovery()
{
    ui->statusbar->showMessage(tr("Scanning..."), 0);
    if (discoveryAgent->isActive())
        discoveryAgent->stop();
    m_scanning = true;
    m_deviceChosen = false;
    m_devicesOpen = false;

    // The map goes first so that it never holds an item the list has deleted.
    discoveredServices.clear();
    ui->devicesLst->clear();
    applyControls();

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

    if (!session::joinsDeviceList(discoveredServices.values(), serviceInfo))
        return;

    const QString displayName = device.name().isEmpty() ? tr("Anonymous") : device.name();
    auto *item =
        new QListWidgetItem(QIcon(QStringLiteral(":/buttons/ico/ico2/ref.png")),
                            QStringLiteral("%1\n%2").arg(displayName, device.address().toString()));
    discoveredServices.insert(item, serviceInfo);
    ui->devicesLst->insertItem(ui->devicesLst->count(), item);
}

void MainWindow::discoveryFinished()
{
    ui->statusbar->showMessage(tr("discovery Finished"), 0);
    m_scanning = false;
    if (ui->devicesLst->count() > 0)
        ui->devicesLst->setCurrentRow(lastInstrumentRow(), QItemSelectionModel::SelectCurrent);
    applyControls();
    noticeEmptyScan();
}

void MainWindow::on_devicesLst_currentItemChanged(QListWidgetItem *item)
{
    if (!item)
        return;
    qDebug() << "select service" << item->text();
    selectedService = discoveredServices.value(item, QBluetoothServiceInfo());
    m_deviceChosen = true;
    m_attemptAbandonable = true;
    m_connectingLast = false;
    if (discoveryAgent && discoveryAgent->isActive())
        discoveryAgent->stop();
    applyControls();
}

void MainWindow::on_devicesLst_itemActivated(QListWidgetItem *item)
{
    qDebug() << "got click" << item->text();
}
