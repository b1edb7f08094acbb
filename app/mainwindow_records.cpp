// Downloading records into files, uploading files into records, the serial
// number, and the progress of such chains.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "protocol/frame.h"
#include "protocol/logging.h"

#include <QDebug>
#include <QFile>
#include <QInputDialog>
#include <QProgressBar>
#include <QSaveFile>

namespace {
constexpr int kHighestSlot = 99;

bool isChainFrame(const QString &frame)
{
    return frame.startsWith(QLatin1String("40")) || frame.startsWith(QLatin1String("43"));
}
} // namespace

void MainWindow::readSelectedClicked()
{
    ui->actionLoad_Selected->setEnabled(false);
    int queued = 0;
    const QList<QListWidgetItem *> selected = ui->recordsLst->selectedItems();
    for (QListWidgetItem *item : selected) {
        const auto entry = recordMap.constFind(item);
        if (entry == recordMap.constEnd())
            continue;
        pendingCommands.enqueue(protocol::readRecordFrame(quint8(*entry & 0xFF)));
        ++queued;
    }
    if (queued > 0)
        beginChain(Chain::Download, queued);
    sendNextPending();
    ui->actionLoad_Selected->setEnabled(true);
}

bool MainWindow::recordAnswerReceived(const QByteArray &frame)
{
    if (frame.size() < protocol::kRecordBlockLength) {
        qCWarning(lcProtocol) << "record answer too short:" << protocol::frameTextForLog(frame);
        const QString message = tr("The instrument sent an empty record; nothing was saved.");
        chainLastProblem = message;
        ui->statusbar->showMessage(message, 0);
        return false;
    }
    const quint8 number = quint8(frame.at(3));
    protocol::applyRecordBlock(record, frame);
    const QString name = protocol::recordFileName(record, number);
    const QString path = workDir + QLatin1Char('/') + name;

    // Written to a temporary file and renamed into place, so a failure never
    // leaves a partial file nor damages an older file of that name.
    QSaveFile file(path);
    QString problem;
    if (!file.open(QIODevice::WriteOnly)) {
        problem = file.errorString();
    } else {
        const QByteArray bytes = protocol::recordBytes(record);
        if (file.write(bytes) != bytes.size()) {
            qDebug() << "Ошибка записи";
            problem = file.errorString();
            file.cancelWriting();
        } else if (!file.commit()) {
            qDebug() << "Ошибка записи";
            problem = file.errorString();
        }
    }
    refreshFileList();

    if (problem.isEmpty())
        return true;
    const QString message = tr("Record %1 could not be saved as \"%2\": %3")
                                .arg(number, 3, 10, QLatin1Char('0'))
                                .arg(name, problem);
    qCWarning(lcApp) << message;
    chainLastProblem = message;
    ui->statusbar->showMessage(message, 0);
    return false;
}

void MainWindow::writeSelectedClicked()
{
    ui->actionUpload_Selected->setEnabled(false);
    const QList<QListWidgetItem *> selected = ui->filesLst->selectedItems();

    bool accepted = false;
    const int first = QInputDialog::getInt(this, tr("Enter target record number"),
                                           tr("Record Number:"), 0, 0, kHighestSlot, 1, &accepted);
    if (accepted) {
        int slot = first;
        int queued = 0;
        QStringList skipped;
        int beyondLastSlot = 0;
        for (QListWidgetItem *item : selected) {
            const QString name = item->text();
            QFile file(workDir + QLatin1Char('/') + name);
            if (!file.open(QIODevice::ReadOnly)) {
                skipped.append(tr("\"%1\" (%2)").arg(name, file.errorString()));
                continue;
            }
            const QByteArray content = file.read(protocol::kRecordImageSize);
            file.close();
            switch (protocol::checkRecordImage(content)) {
            case protocol::RecordFileError::Size:
                qDebug() << "Ошибка чтения";
                skipped.append(tr("\"%1\" (not a record file)").arg(name));
                continue;
            case protocol::RecordFileError::Range:
                skipped.append(tr("\"%1\" (unknown range)").arg(name));
                continue;
            case protocol::RecordFileError::Step:
                skipped.append(tr("\"%1\" (bad distance step)").arg(name));
                continue;
            case protocol::RecordFileError::None:
                break;
            }
            if (slot > kHighestSlot) {
                ++beyondLastSlot;
                continue;
            }
            const TDRRecord image = protocol::recordFromBytes(content);
            pendingCommands.enqueue(
                protocol::frameText(protocol::writeRecordFrame(image, quint8(slot))));
            ++slot;
            ++queued;
        }
        if (queued > 0)
            beginChain(Chain::Upload, queued);

        QStringList notes;
        if (!skipped.isEmpty())
            notes.append(tr("Skipped: %1.").arg(skipped.join(QStringLiteral(", "))));
        if (beyondLastSlot > 0)
            notes.append(tr("Files left out, there is no record slot after %1: %2.")
                             .arg(kHighestSlot)
                             .arg(beyondLastSlot));
        if (!notes.isEmpty()) {
            const QString message = notes.join(QLatin1Char(' '));
            qCWarning(lcApp) << message;
            ui->statusbar->showMessage(message, 0);
        }
    }
    pendingCommands.enqueue(protocol::kGetListFrame);
    sendNextPending();
    ui->actionUpload_Selected->setEnabled(true);
}

void MainWindow::setSerialClicked()
{
    const QString current =
        QStringLiteral("%1").arg(quint32(record.serialNumber), 6, 10, QLatin1Char('0'));
    bool accepted = false;
    const QString text =
        QInputDialog::getText(this, tr("Set Decice Serial Number "), tr("Serial Number:"),
                              QLineEdit::Normal, current, &accepted);
    if (!accepted || text.isEmpty())
        return;
    pendingCommands.enqueue(protocol::setSerialFrame(text));
    pendingCommands.enqueue(protocol::kGetVersionFrame);
    sendNextPending();
}

void MainWindow::beginChain(Chain kind, int total)
{
    if (chainKind == Chain::None) {
        chainKind = kind;
        chainDone = chainFailed = chainCancelled = 0;
        chainTotal = 0;
        chainLastProblem.clear();
    }
    chainTotal += total;
    actionCancel->setEnabled(true);
    updateChainProgress();
}

void MainWindow::chainStepDone(bool succeeded)
{
    if (chainKind == Chain::None)
        return;
    if (succeeded)
        ++chainDone;
    else
        ++chainFailed;
    updateChainProgress();
    finishChainIfDone();
}

void MainWindow::finishChainIfDone()
{
    if (chainKind == Chain::None || chainDone + chainFailed + chainCancelled < chainTotal)
        return;

    if (chainCancelled > 0) {
        const QString message = chainKind == Chain::Download
                                    ? tr("Download cancelled. Records saved: %1, not saved: %2.")
                                          .arg(chainDone)
                                          .arg(chainFailed + chainCancelled)
                                    : tr("Upload cancelled. Records written: %1, not written: %2.")
                                          .arg(chainDone)
                                          .arg(chainFailed + chainCancelled);
        ui->statusbar->showMessage(message, 0);
    } else if (chainFailed > 1) {
        // One failure has its own message already; several get a summary.
        ui->statusbar->showMessage(tr("Records not saved: %1 of %2. %3")
                                       .arg(chainFailed)
                                       .arg(chainTotal)
                                       .arg(chainLastProblem),
                                   0);
    }
    endChain();
}

void MainWindow::endChain()
{
    chainKind = Chain::None;
    chainTotal = chainDone = chainFailed = chainCancelled = 0;
    if (actionCancel)
        actionCancel->setEnabled(false);
    if (chainProgress)
        chainProgress->setVisible(false);
}

void MainWindow::cancelChain()
{
    if (chainKind == Chain::None)
        return;
    chainCancelled += pendingCommands.dropPending(isChainFrame);
    actionCancel->setEnabled(false);
    // The command in flight is still answered and handled; without one the
    // chain ends here.
    if (pendingCommands.isIdle() || !isChainFrame(pendingCommands.inFlight())) {
        chainTotal = chainDone + chainFailed + chainCancelled;
        finishChainIfDone();
        return;
    }
    updateChainProgress();
}

void MainWindow::updateChainProgress()
{
    chainProgress->setRange(0, chainTotal);
    chainProgress->setValue(chainDone + chainFailed);
    chainProgress->setVisible(chainKind != Chain::None);
}
