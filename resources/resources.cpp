// SPDX-License-Identifier: GPL-3.0-or-later
#include "resources/resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be expanded outside of any namespace.
void varnelInitResources()
{
    Q_INIT_RESOURCE(resources);
}
