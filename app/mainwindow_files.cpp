// SPDX-License-Identifier: GPL-3.0-or-later
// The working directory and its list of record files.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/waveform/faultsummary.h"

#include <QDir>
#include <QFileDialog>
#include <QHelpEvent>
#include <QLineEdit>
#include <QSet>
#include <QSignalBlocker>

void MainWindow::loadSettings()
{
    store.setDirectory(RecordStore::savedDirectory(settings));
}

void MainWindow::saveSettings()
{
    RecordStore::saveDirectory(settings, store.directory());
}

void MainWindow::refreshFileList()
{
    ui->folderLbl->setText(store.directory());

    // The selection outlives the refill, so a download running beside it
    // does not take the upload away.
    QSet<QString> selected;
    const QList<QListWidgetItem *> items = ui->filesLst->selectedItems();
    for (const QListWidgetItem *item : items)
        selected.insert(item->text());
    {
        const QSignalBlocker blocker(ui->filesLst);
        ui->filesLst->clear();
        for (const QString &name : store.files()) {
            auto *item = new QListWidgetItem(name);
            ui->filesLst->insertItem(ui->filesLst->count(), item);
            item->setSelected(selected.contains(name));
        }
    }
    applyFileFilter();
    applyControls();
    updateRecordMarks();
}

void MainWindow::setUpFileFilter()
{
    // Under the list: every cell of the form keeps what it holds.
    filesFilterEd = new QLineEdit(this);
    filesFilterEd->setObjectName(QStringLiteral("filesFilterEd"));
    filesFilterEd->setPlaceholderText(tr("Filter by name, cable or note"));
    filesFilterEd->setClearButtonEnabled(true);
    ui->gridLayout_2->addWidget(filesFilterEd, 7, 0);
    connect(filesFilterEd, &QLineEdit::textChanged, this, &MainWindow::applyFileFilter);
}

void MainWindow::applyFileFilter()
{
    if (!filesFilterEd)
        return;
    const QStringList words = filterWords(filesFilterEd->text());
    if (!words.isEmpty())
        fileLabels.setDirectory(store.directory());
    bool deselected = false;
    {
        const QSignalBlocker blocker(ui->filesLst);
        for (int row = 0; row < ui->filesLst->count(); ++row) {
            QListWidgetItem *item = ui->filesLst->item(row);
            bool shown = true;
            if (!words.isEmpty()) {
                const CableLabel label = fileLabels.label(item->text());
                shown = matchesWords(words, {item->text(), label.cable, label.note});
            }
            item->setHidden(!shown);
            // A hidden file is never uploaded unseen.
            if (!shown && item->isSelected()) {
                item->setSelected(false);
                deselected = true;
            }
        }
    }
    if (deselected)
        applyControls();
}

void MainWindow::selectFolderClicked()
{
    QFileDialog dialog(this, QString(), QString(), QString());
    // A directory chooser: directories only, like the old DirectoryOnly mode.
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setViewMode(QFileDialog::List);
    dialog.setDirectory(store.directory());
    dialog.setNameFilter(tr("TDR waveforms (*.tdr)"));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        store.setDirectory(dialog.selectedFiles().first());
    else
        store.refresh();
}

void MainWindow::on_filesLst_itemSelectionChanged()
{
    applyControls();
}

void MainWindow::onFileAdded(const QString &name)
{
    // The list sorts itself: one insert, no refill.
    ui->filesLst->insertItem(ui->filesLst->count(), name);
    applyFileFilter();
    updateRecordMarks();
}

void MainWindow::onFileRemoved(const QString &name)
{
    const QList<QListWidgetItem *> found = ui->filesLst->findItems(name, Qt::MatchExactly);
    qDeleteAll(found);
    updateRecordMarks();
    applyControls();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ToolTip && watched == ui->filesLst->viewport()) {
        const auto *help = static_cast<QHelpEvent *>(event);
        if (QListWidgetItem *item = ui->filesLst->itemAt(help->pos())) {
            // The record's main event beside its description: which records
            // show a fault, without opening each one.
            QString tip = store.describe(item->text());
            fileLabels.setDirectory(store.directory());
            const CableLabel label = fileLabels.label(item->text());
            if (!label.cable.isEmpty())
                tip += QLatin1Char('\n') + tr("Cable: %1").arg(label.cable);
            if (!label.note.isEmpty())
                tip += QLatin1Char('\n') + tr("Note: %1").arg(label.note);
            const FileSummary summary =
                summarizeFile(QDir(store.directory()).filePath(item->text()));
            if (!summary.text.isEmpty())
                tip += QLatin1Char('\n') + tr("Main event: %1").arg(summary.text);
            item->setToolTip(tip);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
