// SPDX-License-Identifier: GPL-3.0-or-later
// The controls of each state of the window, set in one place.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include <QProgressBar>

void MainWindow::setUiState(UiState state)
{
    m_state = state;
    if (state != UiState::Transferring)
        m_cancelRequested = false;
    applyUiState();
}

// disconnected: scanning and choosing a device; connecting: the connect action
// waits; linked: the identity is asked; identified: the record list can be
// asked and the device can no longer change; listed: records and files can be
// picked; transferring: as listed, and the transfer can be cancelled.
void MainWindow::applyUiState()
{
    if (!ui)
        return;
    const bool linked = m_state >= UiState::Linked;
    const bool identified = m_state >= UiState::Identified;
    const bool listed = m_state >= UiState::Listed;

    ui->actionScan->setEnabled(!m_scanning && !identified);
    ui->devicesLst->setEnabled(!m_scanning && !identified &&
                               (ui->devicesLst->count() > 0 || m_devicesOpen));
    const bool connecting = m_state == UiState::Connecting;
    ui->actionConnect->setEnabled(!m_scanning &&
                                  (connecting ? m_attemptAbandonable : linked || m_deviceChosen));
    ui->actionGet_List->setEnabled(identified);
    ui->recordsLst->setEnabled(listed);
    ui->actionLoad_Selected->setEnabled(listed && !ui->recordsLst->selectedItems().isEmpty());
    actionSelect_New->setEnabled(listed);
    ui->filesLst->setEnabled(listed);
    ui->actionUpload_Selected->setEnabled(listed && !m_uploadAsking &&
                                          !ui->filesLst->selectedItems().isEmpty());
    ui->actionSet_Serial->setEnabled(identified);
    actionConnect_Last->setEnabled(!m_scanning && m_state == UiState::Disconnected);

    const bool transferring = m_state == UiState::Transferring;
    // Esc also abandons a connection attempt, however long it hangs.
    actionCancel->setEnabled((transferring && !m_cancelRequested) || connecting);
    chainProgress->setVisible(transferring);
}
