// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>

#include <memory>

namespace emu {

// A stand-in for the TDR instrument: it takes the bytes the tool writes,
// carries out every complete command frame and returns the answer frames.
// It knows nothing of sockets or timing; the emulated stack delivers its
// answers, cut into pieces as `cut` says, after `delayMs`.
class EmulatedInstrument
{
public:
    // Builds an instrument from the "instrument" object of a scene. On a bad
    // option returns null and sets `error` to a text naming the key and what
    // was expected.
    //
    // Keys: model, serial, version, seed, chunk ("whole", "random" or a piece
    // size), delayMs, dropEvery, corruptEvery, writeAck and serialAck (the
    // answers to WriteRecord and SetSerial: "echo", the default; a bare frame
    // with a byte from "0x40" to "0x46"; "list", the updated record list; or
    // "identity", the new identity), recordOffset (a record block carries its
    // list number plus this, modulo 256), and records: a count (slots 1 to
    // n, generated from the seed) or a list of {number, date, time, waveform:
    // {range, length, faults: [{distance, kind, strength}], noise,
    // stepDivisor}}. A listed record's missing number is its position + 1; its
    // other missing fields are those a generated record at that position would
    // have.
    //
    // Faults a real instrument or its radio may produce: stray (a byte value
    // 0-255 or "random") and strayCount (1 by default) put that many stray
    // bytes before each answer; garbageFrames puts that many short frames with
    // a bad checksum (4 bytes, start byte 0x40-0x46) before each answer;
    // doubleEvery sends every n-th answer twice; ackDelayMs delays the
    // answers to WriteRecord and SetSerial instead of delayMs; endlessStream
    // ("lines", "bytes" or a byte value): once streamAfter commands (0 by
    // default) were answered, no answers, only random bytes without end, with
    // or without 0x0A among them, or that one byte again and again;
    // hangUpAfter: the instrument drops the link after that many answers
    // on one connection; loseWriteTo: writes to that slot are acknowledged
    // but never stored.
    //
    // Inside a given waveform the range defaults to the smallest that
    // holds the cable, or every fault with a margin (1000 m when neither is
    // given), the cable length to 90 % of the range, noise to 1, no faults.
    static std::unique_ptr<EmulatedInstrument> fromJson(const QJsonObject &options, QString *error);

    ~EmulatedInstrument();

    // Bytes from the tool (any cutting); returns the answers to the commands
    // they completed, in order. Fault injection applies here: a dropped answer
    // is absent, a spoilt one has a wrong checksum. Reading an empty slot is
    // answered with the bare frame 40 04 00 44: sound, but no record in it.
    QList<QByteArray> receive(const QByteArray &bytes);

    // The same answers with the delay before each.
    struct Answer
    {
        QByteArray bytes;
        int delayMs = 0;
    };
    QList<Answer> answer(const QByteArray &bytes);
    // The same for one of several connections: `pending` keeps its bytes that
    // are not yet a whole command, apart from every other connection's.
    QList<Answer> answer(const QByteArray &bytes, QByteArray *pending);

    // How one answer travels: the pieces, in order, that together are the
    // answer with the stray bytes and garbage frames put before it.
    QList<QByteArray> cut(const QByteArray &answer);
    int delayMs() const;
    // Once streaming, the next run of bytes of the endless stream.
    bool streaming() const;
    QByteArray streamPiece();
    int hangUpAfter() const;

    // State, for tests and the demo.
    QString model() const;
    QString serial() const;
    QList<int> recordNumbers() const;
    // The 283-byte record block stored in a slot (command byte 0x40), or empty.
    QByteArray recordBlock(int number) const;
    int commandsReceived() const;
    // The first four bytes of each command carried out, in order: the command
    // byte, the length and the record number or slot where there is one.
    QList<QByteArray> commandLog() const;
    // A silent instrument still takes commands but answers none of them, as
    // one that has lost power mid-session would.
    void setSilent(bool silent);
    // Answers handed out by `receive` (dropped ones not counted) and answers
    // left out by `dropEvery`.
    int answersSent() const;
    int answersDropped() const;
    // Bytes received that could not be part of a command frame.
    qint64 bytesDiscarded() const;

private:
    EmulatedInstrument();
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace emu
