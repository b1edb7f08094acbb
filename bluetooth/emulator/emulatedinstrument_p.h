// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The state of an emulated instrument, shared by its option reading and its
// conversation.

#include "bluetooth/emulator/emulatedinstrument.h"
#include "protocol/tdrcommand.h"

#include <QDate>
#include <QRandomGenerator>

namespace emu {

constexpr int kRandomStray = 256;

enum class Chunking { Whole, Fixed, Random };
enum class Stream { None, Lines, Bytes };

struct EmulatedInstrument::Private
{
    quint8 model = 105;
    QByteArray serial = QByteArrayLiteral("001234");
    QDate version = QDate(2021, 2, 18);
    QMap<int, QByteArray> records; // slot number -> block, command byte 0x40
    quint32 seed = 1;

    Chunking chunking = Chunking::Random;
    int chunkSize = 0;
    QRandomGenerator cutRandom;
    int delayMs = 5;
    int dropEvery = 0;
    int corruptEvery = 0;
    // Command byte of the answers to WriteRecord and SetSerial: an instrument
    // may echo the command or answer with any other byte from 0x43 to 0x46.
    quint8 writeAck = quint8(TDRCommand::WriteRecord);
    quint8 serialAck = quint8(TDRCommand::SetSerial);
    int stray = -1; // byte value, kRandomStray, or none
    int strayCount = 1;
    int garbageFrames = 0;
    int ackDelayMs = -1; // -1: as delayMs
    Stream stream = Stream::None;
    int hangUpAfter = 0;
    int loseWriteTo = -1; // writes to this slot are acknowledged and not stored
    QRandomGenerator noiseRandom;
    bool silent = false; // switched off: commands arrive, nothing comes back

    QByteArray pending; // received bytes not yet part of a whole command, when unshared
    int commands = 0;
    int answersMade = 0; // dropped ones included: the injection counts these
    int answersSent = 0;
    int answersDropped = 0;
    qint64 discarded = 0;

    QByteArray execute(const QByteArray &command);
    void discard(QByteArray *from, int count)
    {
        from->remove(0, count);
        discarded += count;
    }
};

} // namespace emu
