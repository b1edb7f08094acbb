// SPDX-License-Identifier: GPL-3.0-or-later
// Everyday comfort: shortcuts, the remembered instrument, and a question
// before anything is lost for good.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/waveform/windowstate.h"

#include <QBluetoothDeviceInfo>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QListWidgetItem>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>

#include <algorithm>

namespace {

QList<QKeySequence> standardOr(QKeySequence::StandardKey key, const QKeySequence &plain)
{
    QList<QKeySequence> keys = QKeySequence::keyBindings(key);
    if (keys.isEmpty())
        keys.append(plain);
    return keys;
}

QString recordDate(const protocol::RecordEntry &entry)
{
    const auto two = [&entry](int i) {
        return QStringLiteral("%1").arg(entry.byte(i), 2, 16, QLatin1Char('0'));
    };
    return QStringLiteral("20%1-%2-%3 %4:%5:%6")
        .arg(two(1), two(2), two(3), two(5), two(6), two(7));
}

} // namespace

void MainWindow::addComfort()
{
    ui->actionScan->setShortcuts(standardOr(QKeySequence::Find, Qt::CTRL | Qt::Key_F));
    ui->actionConnect->setShortcut(Qt::CTRL | Qt::Key_K);
    ui->actionSelect_Dir->setShortcuts(standardOr(QKeySequence::Open, Qt::CTRL | Qt::Key_O));
    ui->actionGet_List->setShortcuts(standardOr(QKeySequence::Refresh, Qt::Key_F5));
    ui->actionLoad_Selected->setShortcut(Qt::CTRL | Qt::Key_L);
    ui->actionUpload_Selected->setShortcut(Qt::CTRL | Qt::Key_U);
    ui->actionAbout->setShortcuts(standardOr(QKeySequence::HelpContents, Qt::Key_F1));
    ui->actionExit->setShortcuts(standardOr(QKeySequence::Quit, Qt::CTRL | Qt::Key_Q));
    actionCancel->setShortcuts(standardOr(QKeySequence::Cancel, Qt::Key_Escape));
    actionView_Waveforms->setShortcut(Qt::CTRL | Qt::Key_G);

    actionConnect_Last = new QAction(this);
    actionConnect_Last->setObjectName(QStringLiteral("actionConnect_Last"));
    actionConnect_Last->setShortcut(Qt::CTRL | Qt::SHIFT | Qt::Key_K);
    ui->menuDevice->insertAction(ui->actionSelect_Dir, actionConnect_Last);
    connect(actionConnect_Last, &QAction::triggered, this, &MainWindow::connectToLast);
    m_last = session::LastInstrument::load(settings);

    // Uploads checked by reading every written slot back, when wanted.
    actionRead_Back = new QAction(tr("Check Uploads by Reading Back"), this);
    actionRead_Back->setObjectName(QStringLiteral("actionRead_Back"));
    actionRead_Back->setCheckable(true);
    actionRead_Back->setShortcut(Qt::CTRL | Qt::SHIFT | Qt::Key_U);
    actionRead_Back->setToolTip(tr("After an upload, read each written record again and compare "
                                   "it with the file"));
    actionRead_Back->setChecked(settings.value(QStringLiteral("Uploads/readBack"), false).toBool());
    session.setReadBackUploads(actionRead_Back->isChecked());
    ui->menuDevice->insertAction(ui->actionSet_Serial, actionRead_Back);
    connect(actionRead_Back, &QAction::toggled, this, [this](bool on) {
        session.setReadBackUploads(on);
        settings.setValue(QStringLiteral("Uploads/readBack"), on);
    });
    connect(&session, &InstrumentSession::identityReceived, this, &MainWindow::rememberInstrument);
    rememberInstrument();
}

void MainWindow::fitToScreen()
{
    // On a small screen, or a large scale factor, the two long lists give up
    // height first, so that the whole window stays on the screen.
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QMargins frame = expectedWindowFrame();
    const int spare = screen->availableGeometry().height() - frame.top() - frame.bottom() -
                      minimumSizeHint().height();
    if (spare >= 0)
        return;
    constexpr int kShortestList = 120;
    for (QListWidget *list : {ui->filesLst, ui->recordsLst})
        list->setMinimumHeight(std::max(kShortestList, list->minimumHeight() + spare));
    // Every layout on the way up keeps the old minimum until told.
    ui->gridLayout_2->invalidate();
    ui->gridLayout->invalidate();
    ui->centralwidget->updateGeometry();
    layout()->invalidate();
}

void MainWindow::rememberInstrument()
{
    const auto last = session::LastInstrument::fromService(session.service());
    if (last.isValid() && last != m_last) {
        m_last = last;
        m_last.save(settings);
    }
    const QString name = m_last.name.isEmpty() ? m_last.address.toString() : m_last.name;
    actionConnect_Last->setText(tr("Connect to last instrument (%1)").arg(name));
    actionConnect_Last->setVisible(m_last.isValid());
}

void MainWindow::connectToLast()
{
    if (!m_last.isValid() || m_scanning || m_state != UiState::Disconnected)
        return;
    connectWithoutScan(m_last.service(), true);
}

void MainWindow::connectWithoutScan(const QBluetoothServiceInfo &service, bool last)
{
    // The device list shows what is being connected to, as after a scan.
    discoveredServices.clear();
    ui->devicesLst->clear();
    const QString name =
        service.device().name().isEmpty() ? tr("Anonymous") : service.device().name();
    auto *item = new QListWidgetItem(
        QIcon(QStringLiteral(":/buttons/ico/ico2/ref.png")),
        QStringLiteral("%1\n%2").arg(name, service.device().address().toString()));
    discoveredServices.insert(item, service);
    ui->devicesLst->addItem(item);
    ui->devicesLst->setCurrentRow(0, QItemSelectionModel::SelectCurrent);
    selectedService = service;
    m_deviceChosen = true;
    m_connectingLast = last;
    if (ui->actionConnect->isChecked()) {
        const QSignalBlocker blocker(ui->actionConnect);
        ui->actionConnect->setChecked(false);
    }
    ui->actionConnect->setChecked(true);
}

int MainWindow::lastInstrumentRow() const
{
    for (auto it = discoveredServices.cbegin(); it != discoveredServices.cend(); ++it) {
        if (m_last.isValid() && it.value().device().address() == m_last.address)
            return ui->devicesLst->row(it.key());
    }
    return 0;
}

bool MainWindow::confirmStop(bool quitting)
{
    const bool download = session.chain() == InstrumentSession::Chain::Download;
    QString text;
    if (download)
        text = quitting ? tr("Download running: %1 of %2 saved. Stop and quit?")
                        : tr("Download running: %1 of %2 saved. Stop and disconnect?");
    else
        text = quitting ? tr("Upload running: %1 of %2 written. Stop and quit?")
                        : tr("Upload running: %1 of %2 written. Stop and disconnect?");
    QMessageBox box(QMessageBox::Question, tr("Varnel Reader"),
                    text.arg(session.chainDone()).arg(session.chainTotal()),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    // The transfer goes on while the question is open: its count too.
    const auto live =
        connect(&session, &InstrumentSession::progress, &box,
                [&box, text](int done, int total) { box.setText(text.arg(done).arg(total)); });
    const int answer = box.exec();
    disconnect(live);
    if (answer != QMessageBox::Yes)
        return false;
    // The chain may have ended while the question was open.
    if (session.chain() != InstrumentSession::Chain::None) {
        m_cancelRequested = true;
        applyUiState();
        session.stop();
    }
    return true;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (session.chain() != InstrumentSession::Chain::None && !confirmStop(true)) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

bool MainWindow::confirmOverwrite(const InstrumentSession::UploadPlan &plan)
{
    const quint32 serial = session.record().serialNumber;
    QStringList lines;
    int overwritten = 0;
    bool lostForGood = false;
    for (const InstrumentSession::UploadPlan::Item &item : plan.items) {
        QString line = tr("%1 → slot %2").arg(item.fileName()).arg(item.slot);
        if (item.occupied) {
            ++overwritten;
            line = tr("%1 → slot %2, replacing the record of %3")
                       .arg(item.fileName())
                       .arg(item.slot)
                       .arg(recordDate(item.held));
            if (!session.store().isOnDisk(item.held, serial)) {
                line += tr(" - NOT in the working directory");
                lostForGood = true;
            }
        }
        lines.append(line);
    }
    if (overwritten == 0)
        return true;
    QString text = tr("The upload overwrites records the instrument holds:\n%1")
                       .arg(lines.join(QLatin1Char('\n')));
    if (lostForGood)
        text += QStringLiteral("\n\n") +
                tr("Records that are not in the working directory will be lost for good.");
    text += QStringLiteral("\n\n") + tr("Overwrite them?");
    QMessageBox box(lostForGood ? QMessageBox::Warning : QMessageBox::Question, tr("Varnel Reader"),
                    text, QMessageBox::NoButton, this);
    QPushButton *overwrite = box.addButton(
        overwritten == 1 ? tr("Overwrite 1 record") : tr("Overwrite %1 records").arg(overwritten),
        QMessageBox::AcceptRole);
    box.setDefaultButton(box.addButton(tr("Cancel"), QMessageBox::RejectRole));
    box.exec();
    return box.clickedButton() == overwrite;
}
