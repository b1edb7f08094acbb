// SPDX-License-Identifier: GPL-3.0-or-later
// Downloading records into files, uploading files into records, the serial
// number, and the progress of such chains.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include <QInputDialog>
#include <QProgressBar>
#include <QScopeGuard>

void MainWindow::readSelectedClicked()
{
    QList<quint8> numbers;
    const QList<QListWidgetItem *> selected = ui->recordsLst->selectedItems();
    for (QListWidgetItem *item : selected)
        numbers.append(entryOf(item).number());
    startDownload(numbers);
}

void MainWindow::writeSelectedClicked()
{
    // Off while this slot runs: one slot question at a time.
    m_uploadAsking = true;
    applyControls();
    const auto reenable = qScopeGuard([this] {
        m_uploadAsking = false;
        applyControls();
    });
    // Names, not items: the list may be refilled while the dialog is open.
    QStringList paths;
    const QList<QListWidgetItem *> selected = ui->filesLst->selectedItems();
    for (const QListWidgetItem *item : selected)
        paths.append(store.pathOf(item->text()));

    bool accepted = false;
    const int first =
        QInputDialog::getInt(this, tr("Enter target record number"),
                             tr("Slots %1 to %2.").arg(0).arg(InstrumentSession::kHighestSlot) +
                                 QLatin1Char('\n') + tr("Record Number:"),
                             0, 0, InstrumentSession::kHighestSlot, 1, &accepted);
    if (!session.isLinked()) {
        // The link went while the dialog was open: nothing may wait for the
        // next instrument.
        if (accepted)
            showStatus(tr("Not connected to an instrument: nothing was uploaded."));
        return;
    }
    if (!accepted) {
        session.queueList();
        return;
    }
    // Each file is read once: the question and the upload use the same images.
    const InstrumentSession::UploadPlan plan = session.planUpload(paths, first);
    if (!confirmOverwrite(plan)) {
        showStatus(tr("Nothing was uploaded; the instrument's records stay as they were."));
        if (session.isLinked())
            session.queueList();
        return;
    }
    if (!session.isLinked()) {
        showStatus(tr("Not connected to an instrument: nothing was uploaded."));
        return;
    }
    session.upload(plan);
    if (!plan.notes.isEmpty())
        showStatus(plan.notes);
}

void MainWindow::setSerialClicked()
{
    const QString current =
        QStringLiteral("%1").arg(quint32(session.identity().serialNumber), 6, 10, QLatin1Char('0'));
    bool accepted = false;
    const QString text =
        QInputDialog::getText(this, tr("Set Decice Serial Number "), tr("Serial Number:"),
                              QLineEdit::Normal, current, &accepted);
    if (!accepted || text.isEmpty())
        return;
    if (!session.setSerial(text))
        showStatus(tr("Not connected to an instrument: nothing was sent."));
}

void MainWindow::onChainStarted(int total)
{
    chainProgress->setRange(0, total);
}

void MainWindow::onChainFinished(const InstrumentSession::Summary &summary)
{
    showStatus(summary.text);
}
