// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMetaType>

namespace session {

// Where the conversation with the instrument stands. Each phase includes what
// the ones before it allow: a listed instrument is identified and linked.
enum class Phase {
    Idle,        // no link, none being made
    Connecting,  // a link is being made
    Linked,      // the link is up, the identity asked
    Identified,  // the instrument said who it is: its records can be listed
    Listed,      // its record list came
    Transferring // a download or upload runs
};

} // namespace session

Q_DECLARE_METATYPE(session::Phase)
