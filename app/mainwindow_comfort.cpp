// Everyday comfort: shortcuts, the remembered instrument, and a question
// before anything is lost for good.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/windowstate.h"

#include <QBluetoothDeviceInfo>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMessageBox>
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
    selectedService = m_last.service();
    m_deviceChosen = true;
    m_connectingLast = true;
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
    const int done = session.chainDone();
    const int total = session.chainTotal();
    QString text;
    if (download)
        text = quitting ? tr("Download running: %1 of %2 saved. Stop and quit?")
                        : tr("Download running: %1 of %2 saved. Stop and disconnect?");
    else
        text = quitting ? tr("Upload running: %1 of %2 written. Stop and quit?")
                        : tr("Upload running: %1 of %2 written. Stop and disconnect?");
    const auto answer = QMessageBox::question(this, tr("Varnel Reader"), text.arg(done).arg(total),
                                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
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

QList<int> MainWindow::uploadTargets(const QStringList &paths, int firstSlot) const
{
    // The slots the upload will write: files it skips take none.
    QList<int> targets;
    int slot = firstSlot;
    for (const QString &path : paths) {
        if (slot > InstrumentSession::kHighestSlot)
            break;
        if (RecordStore::readForUpload(path).skipped.isEmpty())
            targets.append(slot++);
    }
    return targets;
}

bool MainWindow::confirmOverwrite(const QList<int> &targets, quint32 serial,
                                  const QList<protocol::RecordEntry> &entries)
{
    QStringList lines;
    bool lostForGood = false;
    for (const protocol::RecordEntry &entry : entries) {
        if (!targets.contains(entry.number()))
            continue;
        QString line = tr("Slot %1: record of %2").arg(entry.number()).arg(recordDate(entry));
        if (!session.store().isOnDisk(entry, serial)) {
            line += tr(" - NOT in the working directory");
            lostForGood = true;
        }
        lines.append(line);
    }
    if (lines.isEmpty())
        return true;
    QString text = tr("The upload overwrites records the instrument holds:\n%1")
                       .arg(lines.join(QLatin1Char('\n')));
    if (lostForGood)
        text += QStringLiteral("\n\n") +
                tr("Records that are not in the working directory will be lost for good.");
    text += QStringLiteral("\n\n") + tr("Overwrite them?");
    QMessageBox box(lostForGood ? QMessageBox::Warning : QMessageBox::Question, tr("Varnel Reader"),
                    text, QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}
