// The working directory and its list of record files.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/waveformwindow.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

void MainWindow::loadSettings()
{
    settings.beginGroup(QStringLiteral("Paths"));
    workDir = settings.value(QStringLiteral("savedir"), QDir::currentPath()).toString();
    settings.endGroup();
}

void MainWindow::saveSettings()
{
    settings.beginGroup(QStringLiteral("Paths"));
    settings.setValue(QStringLiteral("savedir"), workDir);
    settings.endGroup();
    settings.sync();
}

void MainWindow::refreshFileList()
{
    ui->folderLbl->setText(workDir);

    QDir dir(workDir);
    dir.setFilter(QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    dir.setSorting(QDir::Name | QDir::Reversed);
    dir.setNameFilters({QStringLiteral("*.tdr")});
    const QFileInfoList entries = dir.entryInfoList(QDir::NoFilter, QDir::NoSort);

    ui->filesLst->clear();
    for (const QFileInfo &entry : entries)
        ui->filesLst->insertItem(ui->filesLst->count(), entry.fileName());

    if (waveformWindow)
        waveformWindow->setDirectory(workDir);
}

void MainWindow::selectFolderClicked()
{
    QFileDialog dialog(this, QString(), QString(), QString());
    // A directory chooser: directories only, like the old DirectoryOnly mode.
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setViewMode(QFileDialog::List);
    dialog.setDirectory(workDir);
    dialog.setNameFilter(tr("TDR waveforms (*.tdr)"));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        workDir = dialog.selectedFiles().first();
    refreshFileList();
}

void MainWindow::on_filesLst_itemSelectionChanged()
{
    ui->actionUpload_Selected->setEnabled(!ui->filesLst->selectedItems().isEmpty());
}
