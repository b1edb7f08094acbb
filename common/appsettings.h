// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The settings store the window, the command-line tool and the window places
// share: one organisation and application name for all of them.
namespace appsettings {

inline QString organization()
{
    return QStringLiteral("Halvern");
}

inline QString application()
{
    return QStringLiteral("Varnel Reader");
}

} // namespace appsettings
