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
constexpr int kLoggedCommandBytes = 4; // enough for the command and its record number
// Answers to WriteRecord and SetSerial besides a bare frame with a command
// byte: the updated record list, or the (new) identity.
constexpr int kAckList = 0x100;
constexpr int kAckIdentity = 0x101;

enum class Chunking { Whole, Fixed, Random };
enum class Stream { None, Lines, Bytes, OneByte };

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
    int doubleEvery = 0;
    // The answers to WriteRecord and SetSerial: an instrument may echo the
    // command, answer with any other byte from 0x40 to 0x46, or send its
    // updated list or identity (kAckList, kAckIdentity).
    int writeAck = int(TDRCommand::WriteRecord);
    int serialAck = int(TDRCommand::SetSerial);
    // Record blocks carry their list number plus this (modulo 256).
    int recordOffset = 0;
    int stray = -1; // byte value, kRandomStray, or none
    int strayCount = 1;
    int garbageFrames = 0;
    int ackDelayMs = -1; // -1: as delayMs
    Stream stream = Stream::None;
    char streamByte = 0; // of a Stream::OneByte
    int streamAfter = 0; // commands answered before the stream starts
    int hangUpAfter = 0;
    int loseWriteTo = -1; // writes to this slot are acknowledged and not stored
    QRandomGenerator noiseRandom;
    bool silent = false; // switched off: commands arrive, nothing comes back

    QByteArray pending; // received bytes not yet part of a whole command, when unshared
    int commands = 0;
    QList<QByteArray> received; // the start of every command carried out
    int answersMade = 0;        // dropped ones included: the injection counts these
    int answersSent = 0;
    int answersDropped = 0;
    qint64 discarded = 0;

    bool streaming() const { return stream != Stream::None && commands > streamAfter; }
    QByteArray execute(const QByteArray &command);
    QByteArray identity() const;
    QByteArray list() const;
    QByteArray acknowledgement(int ack) const;
    void discard(QByteArray *from, int count)
    {
        from->remove(0, count);
        discarded += count;
    }
};

} // namespace emu
