// SPDX-License-Identifier: GPL-3.0-or-later
// Notices across the window's top for what happened out of sight (a link lost
// during a transfer, a scan that found nothing, a connection that failed),
// the download resumed once the instrument is back, and the busy sign while
// the record list is asked for.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/noticebar.h"
#include "session/discovery.h"
#include "session/linkproblem.h"

#include <QBluetoothDeviceInfo>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

QString numbersText(const QList<quint8> &numbers)
{
    constexpr int kShown = 8;
    QStringList texts;
    for (int i = 0; i < numbers.size() && i < kShown; ++i)
        texts.append(QStringLiteral("#%1").arg(numbers.at(i), 3, 10, QLatin1Char('0')));
    if (numbers.size() > kShown)
        texts.append(QStringLiteral("…"));
    return texts.join(QStringLiteral(", "));
}

bool sameInstrument(const QBluetoothServiceInfo &a, const QBluetoothServiceInfo &b)
{
    return a.device().address() == b.device().address();
}

} // namespace

void MainWindow::setUpNotices()
{
    // The bar goes above the form's own widgets, which stay as they are.
    noticeBar = new NoticeBar(this);
    QWidget *form = takeCentralWidget();
    auto *central = new QWidget(this);
    auto *column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(noticeBar);
    column->addWidget(form, 1);
    setCentralWidget(central);

    listBusy = new QProgressBar(this);
    listBusy->setObjectName(QStringLiteral("listBusy"));
    listBusy->setRange(0, 0);
    listBusy->setMaximumWidth(120);
    listBusy->setToolTip(tr("Asking the instrument for its record list..."));
    listBusy->setVisible(false);
    ui->statusbar->addPermanentWidget(listBusy);

    connect(noticeBar, &NoticeBar::actionTriggered, this, &MainWindow::resumeDownload);
    connect(noticeBar, &NoticeBar::closed, this, [this] {
        m_remaining.clear();
        m_resumeWaiting = false;
    });
    connect(&session, &InstrumentSession::recordSaved, this,
            [this](quint8 number, const QString &) { m_downloadSaved.insert(number); });
    connect(&session, &InstrumentSession::chainFinished, this, &MainWindow::noticeChainEnd);
    connect(&session, &InstrumentSession::linkUp, this, [this] { m_disconnectRequested = false; });
    connect(&session, &InstrumentSession::linkDown, this, &MainWindow::noticeLinkDown);
    connect(&session, &InstrumentSession::linkError, this, &MainWindow::noticeLinkError);
    connect(&session, &InstrumentSession::recordListReceived, this, &MainWindow::resumeWithList);
    connect(&session, &InstrumentSession::notice, this, [this] { setListBusy(false); });
    connect(&session, &InstrumentSession::identityReceived, this, [this] {
        m_linkErrorWords.clear();
        if (m_remaining.isEmpty()) {
            noticeBar->hide(); // a failed connection or scan is over now
        } else if (!sameInstrument(session.service(), m_resumeService)) {
            m_resumeWaiting = false;
        } else if (m_resumeWaiting) {
            setListBusy(true);
            session.requestList();
        }
        updateResumeAction();
    });
}

void MainWindow::startDownload(const QList<quint8> &numbers)
{
    m_downloadService = session.service();
    m_downloadNumbers = numbers;
    m_downloadSaved.clear();
    session.download(numbers);
}

void MainWindow::noticeChainEnd(const InstrumentSession::Summary &summary)
{
    if (summary.kind != InstrumentSession::Chain::Download)
        return;
    QList<quint8> left;
    for (quint8 number : qAsConst(m_downloadNumbers)) {
        if (!m_downloadSaved.contains(number) && !left.contains(number))
            left.append(number);
    }
    m_downloadNumbers.clear();
    // A disconnect the user asked for is no surprise.
    if (!(summary.linkLost || summary.gaveUp) || left.isEmpty() || m_disconnectRequested) {
        // An earlier download cut short may have been finished by this one.
        for (quint8 number : qAsConst(m_downloadSaved))
            m_remaining.removeAll(number);
        if (m_remaining.isEmpty() && !noticeBar->actionText().isEmpty())
            noticeBar->hide();
        return;
    }
    m_remaining = left;
    m_resumeService = m_downloadService;
    m_resumeWaiting = false;
    const QString what = tr("Records not downloaded: %1 (%2).")
                             .arg(m_remaining.size())
                             .arg(numbersText(m_remaining));
    if (summary.linkLost)
        noticeBar->showNotice(tr("The connection to %1 was lost during the download.")
                                  .arg(session::deviceText(m_resumeService)) +
                              QLatin1Char(' ') + what);
    else
        noticeBar->showNotice(tr("%1 stopped answering during the download.")
                                  .arg(session::deviceText(m_resumeService)) +
                              QLatin1Char(' ') + what);
    updateResumeAction();
}

void MainWindow::noticeLinkDown()
{
    setListBusy(false);
    const bool requested = m_disconnectRequested;
    m_disconnectRequested = false;
    m_resumeWaiting = false;
    if (!m_remaining.isEmpty()) {
        updateResumeAction();
        return; // the download's notice says more
    }
    if (requested)
        return;
    QString text = tr("The connection to %1 was lost.").arg(session::deviceText(session.service()));
    if (!m_linkErrorWords.isEmpty())
        text += QLatin1Char(' ') + m_linkErrorWords;
    noticeBar->showNotice(text);
}

void MainWindow::noticeLinkError(const QString &error, bool wasUp)
{
    m_linkErrorWords = session::linkErrorInWords(error);
    if (wasUp)
        return; // the link's end follows and is said then
    m_resumeWaiting = false;
    QString text = m_connectingLast
                       ? tr("Could not connect to the last instrument %1.")
                             .arg(session::deviceText(session.service()))
                       : tr("Could not connect to %1.").arg(session::deviceText(session.service()));
    text += QLatin1Char(' ') + m_linkErrorWords;
    if (!m_remaining.isEmpty())
        text += QLatin1Char(' ') + tr("Records not downloaded: %1 (%2).")
                                       .arg(m_remaining.size())
                                       .arg(numbersText(m_remaining));
    noticeBar->showNotice(text);
    updateResumeAction();
}

void MainWindow::noticeEmptyScan()
{
    if (ui->devicesLst->count() == 0)
        noticeBar->showNotice(tr("No instrument found.") + QLatin1Char(' ') +
                              tr("Is it switched on and in range? Scan again to look once more."));
    else if (m_remaining.isEmpty())
        noticeBar->hide();
}

void MainWindow::updateResumeAction()
{
    if (m_remaining.isEmpty() || noticeBar->isHidden())
        return;
    const bool here = session.isLinked() && sameInstrument(session.service(), m_resumeService);
    noticeBar->setActionText(here ? tr("Resume the download") : tr("Reconnect and resume"));
}

void MainWindow::resumeDownload()
{
    if (m_remaining.isEmpty() || session.phase() == session::Phase::Transferring || m_scanning)
        return;
    m_resumeWaiting = true;
    if (session.isLinked() && sameInstrument(session.service(), m_resumeService)) {
        if (session.phase() >= session::Phase::Identified) {
            setListBusy(true);
            session.requestList();
        }
        return; // otherwise the identity, when it comes, asks for the list
    }
    if (session.phase() != session::Phase::Idle) {
        m_resumeWaiting = false;
        showStatus(tr("Disconnect first: the records are to come from %1.")
                       .arg(session::deviceText(m_resumeService)));
        return;
    }
    // As Connect to last: the same instrument, without a scan.
    connectWithoutScan(m_resumeService, false);
}

void MainWindow::resumeWithList(const QList<protocol::RecordEntry> &entries)
{
    setListBusy(false);
    if (!m_resumeWaiting || m_remaining.isEmpty())
        return;
    m_resumeWaiting = false;
    QList<quint8> numbers;
    for (const protocol::RecordEntry &entry : entries) {
        if (m_remaining.contains(entry.number()))
            numbers.append(entry.number());
    }
    const QList<quint8> gone = [&] {
        QList<quint8> left = m_remaining;
        for (quint8 number : qAsConst(numbers))
            left.removeAll(number);
        return left;
    }();
    m_remaining.clear();
    if (numbers.isEmpty()) {
        noticeBar->showNotice(tr("The instrument no longer holds the records that were not "
                                 "downloaded (%1).")
                                  .arg(numbersText(gone)));
        return;
    }
    noticeBar->hide();
    // The list shows what is coming, as if the user had picked it.
    {
        const QSignalBlocker blocker(ui->recordsLst);
        for (QListWidgetItem *item : recordItems())
            item->setSelected(numbers.contains(entryOf(item).number()));
    }
    applyControls();
    startDownload(numbers);
}

void MainWindow::setListBusy(bool busy)
{
    if (listBusy)
        listBusy->setVisible(busy && session.isLinked());
}
