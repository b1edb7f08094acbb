// SPDX-License-Identifier: GPL-3.0-or-later
// What the instrument reports: its identity and its record list.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "session/discovery.h"

#include <QBluetoothDeviceInfo>
#include <QListWidgetItem>
#include <QSignalBlocker>
#include <QStyle>

void MainWindow::deviceVersionReceived()
{
    const protocol::Identity &identity = session.identity();
    const QLatin1Char zero('0');
    const QLatin1Char blank(' ');
    const QString text = QStringLiteral("TDR %1\ndata format:%2/%3bit\nsn:%4\np.v:%5\na.v:%6")
                             .arg(identity.model, 3, 10, zero)
                             .arg(identity.formatPoints, 4, 10, blank)
                             .arg(identity.formatBytes * 8, 2, 10, blank)
                             .arg(identity.serialNumber, 6, 10, zero)
                             .arg(identity.version, 8, 10, zero)
                             .arg(identity.version, 8, 10, zero);
    ui->devnameLbl->setText(text);
    applyControls();
    showStatus(tr("Connected to ") + session::statusDeviceText(session.service()));
}

void MainWindow::onRecordList(const QList<protocol::RecordEntry> &entries)
{
    ui->recordsLst->clear();
    for (const protocol::RecordEntry &entry : entries) {
        auto *item = new QListWidgetItem(entry.text());
        item->setData(kEntryRole, entry.raw);
        ui->recordsLst->insertItem(ui->recordsLst->count(), item);
    }
    updateRecordMarks();
    deviceRecordListReceived();
    if (entries.isEmpty())
        showStatus(tr("The instrument holds no records."));
}

void MainWindow::deviceRecordListReceived()
{
    applyControls();
}

void MainWindow::getListClicked()
{
    setListBusy(true);
    session.requestList();
}

void MainWindow::on_recordsLst_itemSelectionChanged()
{
    applyControls();
}

protocol::RecordEntry MainWindow::entryOf(const QListWidgetItem *item)
{
    return protocol::RecordEntry{item->data(kEntryRole).toULongLong()};
}

QList<QListWidgetItem *> MainWindow::recordItems() const
{
    QList<QListWidgetItem *> items;
    for (int i = 0; i < ui->recordsLst->count(); ++i)
        items.append(ui->recordsLst->item(i));
    return items;
}

// Records already in the working directory carry a mark; their text stays.
void MainWindow::updateRecordMarks()
{
    const quint32 serial = session.identity().serialNumber;
    const QIcon mark = style()->standardIcon(QStyle::SP_DialogApplyButton);
    for (QListWidgetItem *item : recordItems()) {
        const bool onDisk = store.isOnDisk(entryOf(item), serial);
        if (item->data(Qt::UserRole).toBool() == onDisk && !item->data(Qt::UserRole).isNull())
            continue; // each change repaints the list
        item->setData(Qt::UserRole, onDisk);
        item->setIcon(onDisk ? mark : QIcon());
        item->setToolTip(onDisk ? tr("Already in the working directory") : QString());
    }
}

void MainWindow::selectNewRecords()
{
    const quint32 serial = session.identity().serialNumber;
    const QSignalBlocker blocker(ui->recordsLst);
    ui->recordsLst->clearSelection();
    for (QListWidgetItem *item : recordItems())
        item->setSelected(!store.isOnDisk(entryOf(item), serial));
    applyControls();
}
