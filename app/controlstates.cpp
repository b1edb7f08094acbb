// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/controlstates.h"

using session::Phase;

// Idle: scanning and choosing a device; connecting: the connect action waits;
// linked: the identity is asked; identified: the record list can be asked and
// the device can no longer change; listed: records and files can be picked;
// transferring: as listed, and the transfer can be cancelled.
ControlStates controlStates(const WindowFacts &facts)
{
    const bool linked = facts.phase >= Phase::Linked;
    const bool identified = facts.phase >= Phase::Identified;
    const bool listed = facts.phase >= Phase::Listed;
    const bool connecting = facts.phase == Phase::Connecting;
    const bool transferring = facts.phase == Phase::Transferring;

    ControlStates c;
    c.scan = !facts.scanning && !identified;
    c.devices = !facts.scanning && !identified && facts.devicesShown;
    c.connect =
        !facts.scanning && (connecting ? facts.attemptAbandonable : linked || facts.deviceChosen);
    c.getList = identified;
    c.records = listed;
    c.load = listed && facts.recordsSelected;
    c.selectNew = listed;
    c.files = listed;
    c.upload = listed && !facts.uploadAsking && facts.filesSelected;
    c.serial = identified;
    c.connectLast = !facts.scanning && facts.phase == Phase::Idle;
    // Esc also abandons a connection attempt, however long it hangs.
    c.cancel = (transferring && !facts.cancelRequested) || connecting;
    c.progress = transferring;
    return c;
}
