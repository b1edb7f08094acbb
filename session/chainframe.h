// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/tdrcommand.h"

#include <QByteArray>

// The session's reading of a chain's frame: which frames make up a download or
// upload chain, and the slot they name.
namespace chainframe {

inline bool isRead(const QByteArray &frame)
{
    return !frame.isEmpty() && TDRCommand(quint8(frame.at(0))) == TDRCommand::ReadRecord;
}

inline bool isWrite(const QByteArray &frame)
{
    return !frame.isEmpty() && TDRCommand(quint8(frame.at(0))) == TDRCommand::WriteRecord;
}

inline bool isChainFrame(const QByteArray &frame)
{
    return isRead(frame) || isWrite(frame);
}

// Byte 3 of a ReadRecord or WriteRecord frame: the record slot.
inline int slotOf(const QByteArray &frame)
{
    return frame.size() > 3 ? quint8(frame.at(3)) : 0;
}

} // namespace chainframe
