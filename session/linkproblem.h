// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace session {

// A link error as the link reports it ("KV-105 ServiceNotFoundError occurred")
// said in words for the user, in the interface's language. The stack's own
// name and code of the error go to the log.
QString linkErrorInWords(const QString &errorText);

} // namespace session
