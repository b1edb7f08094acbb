// SPDX-License-Identifier: GPL-3.0-or-later
// The controls, set in one place from the session's phase and what the window
// knows besides.
#include "app/controlstates.h"
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include <QProgressBar>

void MainWindow::onPhaseChanged(session::Phase phase)
{
    if (phase != session::Phase::Transferring)
        m_cancelRequested = false;
    applyControls();
}

void MainWindow::applyControls()
{
    if (!ui)
        return;
    WindowFacts facts;
    facts.phase = session.phase();
    facts.scanning = m_scanning;
    facts.devicesShown = ui->devicesLst->count() > 0 || m_devicesOpen;
    facts.deviceChosen = m_deviceChosen;
    facts.attemptAbandonable = m_attemptAbandonable;
    facts.recordsSelected = !ui->recordsLst->selectedItems().isEmpty();
    facts.filesSelected = !ui->filesLst->selectedItems().isEmpty();
    facts.uploadAsking = m_uploadAsking;
    facts.cancelRequested = m_cancelRequested;
    const ControlStates c = controlStates(facts);

    ui->actionScan->setEnabled(c.scan);
    ui->devicesLst->setEnabled(c.devices);
    ui->actionConnect->setEnabled(c.connect);
    ui->actionGet_List->setEnabled(c.getList);
    ui->recordsLst->setEnabled(c.records);
    ui->actionLoad_Selected->setEnabled(c.load);
    actionSelect_New->setEnabled(c.selectNew);
    ui->filesLst->setEnabled(c.files);
    ui->actionUpload_Selected->setEnabled(c.upload);
    ui->actionSet_Serial->setEnabled(c.serial);
    actionConnect_Last->setEnabled(c.connectLast);
    actionCancel->setEnabled(c.cancel);
    chainProgress->setVisible(c.progress);
}
