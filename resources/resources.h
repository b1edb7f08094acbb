// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Registers the compiled-in resource bundle. The bundle lives in a static library, so its
// registration code is only linked and run when something calls this before the first
// ":/..." path is used.
void varnelInitResources();
