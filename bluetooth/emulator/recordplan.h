// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QMap>
#include <QRandomGenerator>

namespace emu {

class OptionReader;

// One of the independent random streams of an instrument with this seed:
// 1 its generated records, 2 the cutting of answers, 3 stray bytes and noise.
QRandomGenerator generatorFor(quint32 seed, quint32 stream, quint32 index = 0);

// Reads the "records" option (absent: 12 generated records; a count; or a
// list of records) into the record blocks it stores, by slot number.
bool readRecords(OptionReader &reader, const QJsonValue &records, quint32 seed,
                 QMap<int, QByteArray> &blocks);

} // namespace emu
