// SPDX-License-Identifier: GPL-3.0-or-later
#include "bluetooth/emulator/emulatedinstrument_p.h"
#include "protocol/frame.h"
#include "protocol/logging.h"

#include <QtEndian>

namespace emu {

namespace {

constexpr int kMaxRandomPiece = 64;
constexpr int kStreamPiece = 4096;

int expectedLength(quint8 command)
{
    switch (TDRCommand(command)) {
    case TDRCommand::ReadRecord:
        return protocol::kReadRecordLength;
    case TDRCommand::GetList:
        return protocol::kMinFrameLength;
    case TDRCommand::GetVersion:
        return 5;
    case TDRCommand::WriteRecord:
        return protocol::kRecordBlockLength;
    case TDRCommand::SetSerial:
        return protocol::kSetSerialLength;
    }
    return 0;
}

} // namespace

QByteArray EmulatedInstrument::Private::identity() const
{
    QByteArray payload;
    payload.append(char(model));
    payload.append(char(protocol::bcdEncode(uint(version.year() % 100))));
    payload.append(char(protocol::bcdEncode(uint(version.month()))));
    payload.append(char(protocol::bcdEncode(uint(version.day()))));
    payload.append(serial);
    return protocol::buildFrame(TDRCommand::GetVersion, payload);
}

QByteArray EmulatedInstrument::Private::list() const
{
    QByteArray payload;
    for (const QByteArray &block : qAsConst(records))
        payload.append(block.mid(3, protocol::kRecordEntryLength));
    return protocol::buildFrame(TDRCommand::GetList, payload);
}

QByteArray EmulatedInstrument::Private::acknowledgement(int ack) const
{
    if (ack == kAckList)
        return list();
    if (ack == kAckIdentity)
        return identity();
    return protocol::buildFrame(TDRCommand(ack), {});
}

QByteArray EmulatedInstrument::Private::execute(const QByteArray &command)
{
    const auto byte = [&command](int i) { return quint8(command.at(i)); };
    switch (TDRCommand(byte(0))) {
    case TDRCommand::GetVersion:
        return identity();
    case TDRCommand::GetList:
        return list();
    case TDRCommand::ReadRecord: {
        QByteArray block = records.value(byte(3));
        if (block.isEmpty()) {
            qCDebug(lcEmulator) << "no record in slot" << byte(3);
            return protocol::buildFrame(TDRCommand::ReadRecord, {});
        }
        if (recordOffset != 0) {
            block[3] = char(byte(3) + recordOffset);
            protocol::sealFrame(block);
        }
        return block;
    }
    case TDRCommand::WriteRecord: {
        QByteArray block = command;
        block[0] = char(TDRCommand::ReadRecord);
        protocol::sealFrame(block);
        if (byte(3) != loseWriteTo)
            records.insert(byte(3), block);
        return acknowledgement(writeAck);
    }
    case TDRCommand::SetSerial:
        serial = command.mid(3, 6);
        return acknowledgement(serialAck);
    }
    return {};
}

void EmulatedInstrument::setSilent(bool silent)
{
    d->silent = silent;
}

QList<QByteArray> EmulatedInstrument::receive(const QByteArray &bytes)
{
    QList<QByteArray> answers;
    const QList<Answer> timed = answer(bytes);
    for (const Answer &one : timed)
        answers.append(one.bytes);
    return answers;
}

QList<EmulatedInstrument::Answer> EmulatedInstrument::answer(const QByteArray &bytes)
{
    return answer(bytes, &d->pending);
}

QList<EmulatedInstrument::Answer> EmulatedInstrument::answer(const QByteArray &bytes,
                                                             QByteArray *pending)
{
    QList<Answer> answers;
    pending->append(bytes);
    while (!pending->isEmpty()) {
        const quint8 command = quint8(pending->at(0));
        const int expected = expectedLength(command);
        if (expected == 0) {
            d->discard(pending, 1);
            continue;
        }
        if (pending->size() < 3)
            break;
        const int length = qFromLittleEndian<quint16>(pending->constData() + 1);
        if (length != expected) {
            d->discard(pending, 1);
            continue;
        }
        if (pending->size() < length)
            break;
        const QByteArray frame = pending->left(length);
        if (!protocol::frameIsSound(frame)) {
            d->discard(pending, 1);
            continue;
        }
        pending->remove(0, length);
        ++d->commands;
        d->received.append(frame.left(kLoggedCommandBytes));
        QByteArray answer = d->execute(frame);
        if (answer.isEmpty() || d->silent || d->streaming())
            continue;
        const bool write = TDRCommand(command) == TDRCommand::WriteRecord ||
                           TDRCommand(command) == TDRCommand::SetSerial;

        const int n = ++d->answersMade;
        if (d->dropEvery > 0 && n % d->dropEvery == 0) {
            ++d->answersDropped;
            qCDebug(lcEmulator) << "dropping answer" << n;
            continue;
        }
        if (d->corruptEvery > 0 && n % d->corruptEvery == 0) {
            answer[answer.size() - 1] = char(quint8(answer.back()) + 1);
            qCDebug(lcEmulator) << "spoiling the checksum of answer" << n;
        }
        ++d->answersSent;
        const int delay = write && d->ackDelayMs >= 0 ? d->ackDelayMs : d->delayMs;
        answers.append({answer, delay});
        if (d->doubleEvery > 0 && n % d->doubleEvery == 0) {
            qCDebug(lcEmulator) << "sending answer" << n << "twice";
            answers.append({answer, delay});
        }
    }
    return answers;
}

QList<QByteArray> EmulatedInstrument::cut(const QByteArray &bare)
{
    QList<QByteArray> pieces;
    if (bare.isEmpty())
        return pieces;
    QByteArray answer;
    if (d->stray >= 0) {
        for (int i = 0; i < d->strayCount; ++i)
            answer.append(char(d->stray == kRandomStray ? d->noiseRandom.bounded(256) : d->stray));
    }
    for (int i = 0; i < d->garbageFrames; ++i) {
        QByteArray garbage =
            protocol::buildFrame(TDRCommand(protocol::kFirstAnswerByte + i % 7), {});
        garbage[3] = char(quint8(garbage.at(3)) + 1);
        answer.append(garbage);
    }
    answer.append(bare);
    if (d->chunking == Chunking::Whole) {
        pieces.append(answer);
        return pieces;
    }
    for (int at = 0; at < answer.size();) {
        const int size = d->chunking == Chunking::Fixed
                             ? d->chunkSize
                             : int(d->cutRandom.bounded(1, kMaxRandomPiece + 1));
        pieces.append(answer.mid(at, size));
        at += size;
    }
    return pieces;
}

int EmulatedInstrument::delayMs() const
{
    return d->delayMs;
}

bool EmulatedInstrument::streaming() const
{
    return d->streaming();
}

QByteArray EmulatedInstrument::streamPiece()
{
    if (!streaming())
        return {};
    if (d->stream == Stream::OneByte)
        return QByteArray(kStreamPiece, d->streamByte);
    QByteArray piece(kStreamPiece, Qt::Uninitialized);
    for (char &byte : piece) {
        byte = char(d->noiseRandom.bounded(256));
        if (byte == '\n' && d->stream == Stream::Bytes)
            byte = 0;
    }
    if (d->stream == Stream::Lines) {
        for (int at = int(d->noiseRandom.bounded(80)); at < piece.size(); at += 80)
            piece[at] = '\n';
    }
    return piece;
}

int EmulatedInstrument::hangUpAfter() const
{
    return d->hangUpAfter;
}

QString EmulatedInstrument::model() const
{
    return QString::number(d->model);
}

QString EmulatedInstrument::serial() const
{
    return QString::fromLatin1(d->serial);
}

QList<int> EmulatedInstrument::recordNumbers() const
{
    return d->records.keys();
}

QByteArray EmulatedInstrument::recordBlock(int number) const
{
    return d->records.value(number);
}

int EmulatedInstrument::commandsReceived() const
{
    return d->commands;
}

QList<QByteArray> EmulatedInstrument::commandLog() const
{
    return d->received;
}

int EmulatedInstrument::answersSent() const
{
    return d->answersSent;
}

int EmulatedInstrument::answersDropped() const
{
    return d->answersDropped;
}

qint64 EmulatedInstrument::bytesDiscarded() const
{
    return d->discarded;
}

} // namespace emu
