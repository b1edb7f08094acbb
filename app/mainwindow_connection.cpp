// SPDX-License-Identifier: GPL-3.0-or-later
// Opening and dropping the link to the chosen instrument.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "session/discovery.h"
#include "session/linkproblem.h"

#include <QBluetoothDeviceInfo>
#include <QSignalBlocker>
#include <QTextEdit>

void MainWindow::setConnect(bool goConnect)
{
    if (!goConnect && !m_linkFailing && session.isLinked() &&
        session.chain() != InstrumentSession::Chain::None) {
        const bool stop = confirmStop(false);
        if (!session.isLinked())
            return; // it went meanwhile, and said so
        if (!stop) {
            const QSignalBlocker blocker(ui->actionConnect);
            ui->actionConnect->setChecked(true);
            return;
        }
    }
    ui->actionConnect->setEnabled(false);
    const QBluetoothServiceInfo service = selectedService;

    if (goConnect && service.isValid()) {
        showStatus(tr("Connecting to ") + session::statusDeviceText(service));
        m_attemptAbandonable = false;
        session.connectTo(service);
        applyControls();
        return;
    }

    showStatus(tr("Disconnecting..."));
    if (!m_linkFailing)
        m_disconnectRequested = true;
    const bool attempt = session.phase() == session::Phase::Connecting;
    ui->actionConnect->setEnabled(true);
    // An attempt abandoned goes back to idle at once (the controls follow): a
    // link that never came up reports no end.
    session.disconnectLink();
    if (attempt)
        showStatus(tr("Disconnected"));
}

void MainWindow::connected(QString name)
{
    ui->messageEd->insertPlainText(QStringLiteral("Joined with %1.\n").arg(name));
}

void MainWindow::disconnected(const QString &statusText)
{
    if (!ui)
        return;
    ui->recordsLst->clear();
    // Connect keeps its check mark: after a link that went by itself the
    // first click unchecks it, the second connects.
    m_devicesOpen = true;
    ui->devnameLbl->clear();
    applyControls();
    showStatus(statusText.isEmpty() ? tr("Disconnected") : statusText);
}

void MainWindow::reactOnSocketError(QString error, bool linkWasUp)
{
    ui->messageEd->insertPlainText(error);
    m_linkFailing = true;
    ui->actionConnect->setChecked(false);
    m_linkFailing = false;
    ui->actionConnect->setEnabled(true);
    if (linkWasUp)
        return; // the link reports its end itself
    // It never came up: no "Disconnecting..." left behind, but who and why.
    applyControls();
    // The stack's own words stay in the log; the user reads what they mean.
    const QString words = session::linkErrorInWords(error);
    if (m_connectingLast)
        showStatus(tr("Could not connect to the last instrument %1: %2")
                       .arg(session::statusDeviceText(session.service()), words));
    else
        showStatus(tr("Could not connect to %1: %2")
                       .arg(session::statusDeviceText(session.service()), words));
}
