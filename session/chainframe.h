// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

// The session's reading of a chain's frame text (hex, as the queue holds it):
// which frames make up a download or upload chain, and the slot they name.
namespace chainframe {

inline bool isRead(const QString &frame)
{
    return frame.startsWith(QLatin1String("40"));
}

inline bool isWrite(const QString &frame)
{
    return frame.startsWith(QLatin1String("43"));
}

inline bool isChainFrame(const QString &frame)
{
    return isRead(frame) || isWrite(frame);
}

// Byte 3 of a ReadRecord or WriteRecord frame: the record slot.
inline int slotOf(const QString &frame)
{
    return QStringView(frame).mid(6, 2).toInt(nullptr, 16);
}

} // namespace chainframe
