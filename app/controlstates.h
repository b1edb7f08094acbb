// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "session/phase.h"

// What the main window knows beside the session's phase.
struct WindowFacts
{
    session::Phase phase = session::Phase::Idle;
    bool scanning = false;
    // The device list holds entries, or was opened again when a link ended.
    bool devicesShown = false;
    bool deviceChosen = false;
    // A finished scan or a new current entry since Connect was pressed: Connect
    // may abandon the attempt.
    bool attemptAbandonable = false;
    bool recordsSelected = false;
    bool filesSelected = false;
    bool uploadAsking = false; // Upload Selected's slot question is open
    bool cancelRequested = false;
};

// Enabled or not, for each control the window sets; `progress` is whether the
// transfer's progress bar shows.
struct ControlStates
{
    bool scan = false;
    bool devices = false;
    bool connect = false;
    bool getList = false;
    bool records = false;
    bool load = false;
    bool selectNew = false;
    bool files = false;
    bool upload = false;
    bool serial = false;
    bool connectLast = false;
    bool cancel = false;
    bool progress = false;
};

ControlStates controlStates(const WindowFacts &facts);
