// The command queue, the answers of the instrument and what they show.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "protocol/frame.h"
#include "protocol/logging.h"

#include <QBluetoothDeviceInfo>
#include <QListWidgetItem>

void MainWindow::sendFrame(const QString &frame)
{
    showMessage(localName, frame);
    emit sendMessage(frame);
}

void MainWindow::sendNextPending()
{
    const QString frame = pendingCommands.takeNext();
    if (!frame.isEmpty())
        sendFrame(frame);
}

void MainWindow::sendAtOnce(const QString &frame)
{
    // Only one command may wait for its answer; otherwise it joins the queue.
    if (pendingCommands.startNow(frame))
        sendFrame(frame);
}

void MainWindow::commandsAbandoned(const QString &frame, int dropped)
{
    Q_UNUSED(frame)
    rxHex.clear();
    endChain();
    ui->statusbar->showMessage(
        tr("The instrument does not answer. Commands not carried out: %1.").arg(dropped), 0);
}

void MainWindow::parseMessage(QString sender, QString message)
{
    Q_UNUSED(sender)
    pendingCommands.pieceReceived();
    const QList<AnswerAssembler::Answer> answers = rxHex.feedHex(message);
    for (const AnswerAssembler::Answer &answer : answers) {
        if (!answer.checksumOk) {
            qCInfo(lcProtocol) << "answer with a wrong checksum dropped:"
                               << protocol::frameTextForLog(answer.frame);
            if (!answer.followedByAnswer)
                pendingCommands.answerSpoilt(answer.command());
            continue;
        }
        // Every sound answer is handled, so no record is lost even when it
        // comes late; only the answer to the command in flight lets the next
        // one go.
        const bool expected = pendingCommands.answerReceived(answer.frame);
        const bool used = handleAnswer(answer.frame);
        if (expected) {
            if (chainKind != Chain::None && (answer.command() == quint8(TDRCommand::ReadRecord) ||
                                             answer.command() == quint8(TDRCommand::WriteRecord)))
                chainStepDone(used);
            sendNextPending();
        }
    }
}

bool MainWindow::handleAnswer(const QByteArray &frame)
{
    switch (TDRCommand(quint8(frame.at(0)))) {
    case TDRCommand::GetList: {
        ui->recordsLst->clear();
        recordMap = QMap<QListWidgetItem *, quint64>();
        const QList<protocol::RecordEntry> entries = protocol::parseRecordList(frame);
        for (const protocol::RecordEntry &entry : entries) {
            auto *item = new QListWidgetItem(entry.text());
            ui->recordsLst->insertItem(ui->recordsLst->count(), item);
            recordMap.insert(item, entry.raw);
        }
        deviceRecordListReceived();
        break;
    }
    case TDRCommand::GetVersion: {
        const auto identity = protocol::parseIdentity(frame);
        if (!identity) {
            qCWarning(lcProtocol) << "identity answer too short:"
                                  << protocol::frameTextForLog(frame);
            return false;
        }
        protocol::applyIdentity(record, *identity);
        deviceVersionReceived();
        break;
    }
    case TDRCommand::ReadRecord:
        return recordAnswerReceived(frame);
    default:
        break; // 0x43 to 0x46 only release the next command
    }
    return true;
}

void MainWindow::deviceVersionReceived()
{
    const QLatin1Char zero('0');
    const QLatin1Char blank(' ');
    const QString text = QStringLiteral("TDR %1\ndata format:%2/%3bit\nsn:%4\np.v:%5\na.v:%6")
                             .arg(quint16(record.model), 3, 10, zero)
                             .arg(quint16(record.formatPoints), 4, 10, blank)
                             .arg(record.formatBytes * 8, 2, 10, blank)
                             .arg(quint32(record.serialNumber), 6, 10, zero)
                             .arg(quint32(record.versionP), 8, 10, zero)
                             .arg(quint32(record.versionA), 8, 10, zero);
    ui->devnameLbl->setText(text);

    ui->actionGet_List->setEnabled(true);
    ui->actionScan->setEnabled(false);
    ui->actionConnect->setEnabled(true);
    ui->actionSet_Serial->setEnabled(true);
    ui->devicesLst->setEnabled(false);

    ui->statusbar->showMessage(
        tr("Connected to ") + selectedService.device().name() + QStringLiteral(" ( ") +
            selectedService.device().address().toString() + QStringLiteral(" )"),
        0);
}

void MainWindow::deviceRecordListReceived()
{
    ui->recordsLst->setEnabled(true);
    ui->filesLst->setEnabled(true);
}

void MainWindow::getListClicked()
{
    sendAtOnce(protocol::kGetListFrame);
}

void MainWindow::on_recordsLst_itemSelectionChanged()
{
    ui->actionLoad_Selected->setEnabled(!ui->recordsLst->selectedItems().isEmpty());
}
