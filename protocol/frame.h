// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/tdrcommand.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <optional>

namespace protocol {

// Low 8 bits of the sum of the first `count` bytes; 0 for a count of 0.
quint8 checksum(const char *data, int count);
inline quint8 checksum(const QByteArray &bytes, int count)
{
    return checksum(bytes.constData(), count);
}

// Fills in the length field and the checksum of a frame whose command byte and
// payload are already in place (`frame` must be at least 4 bytes long).
void sealFrame(QByteArray &frame);
QByteArray buildFrame(TDRCommand command, const QByteArray &payload);

// Frames travel inside the tool as bytes; the message log, the peers of the
// local service and the link's own interface see them as lower-case hex text.
QString frameText(const QByteArray &frame);
QByteArray frameBytes(const QString &text);

// Frame text for a diagnostic line: at most kLogFrameBytes bytes of it, and
// for a longer frame "… (N bytes)" after them, so no log line grows without
// bound.
constexpr int kLogFrameBytes = 64;
QString frameTextForLog(const QByteArray &frame);

// Whether an answer starting with `command` can declare `length`: a record
// answer is at most a record block, a record list answer holds at most one
// entry per record number (plus a partial entry, which is ignored); other
// answers may be any frame.
bool answerLengthPlausible(quint8 command, int length);

// True when `frame` is at least 4 bytes, its length field matches its size and
// its last byte is the checksum of the rest.
bool frameIsSound(const QByteArray &frame);

// The two fixed frames, as text and as the bytes sent.
inline const QString kGetListFrame = QStringLiteral("41040045");
inline const QString kGetVersionFrame = QStringLiteral("4205000047");
inline const QByteArray kGetListCommand = frameBytes(kGetListFrame);
inline const QByteArray kGetVersionCommand = frameBytes(kGetVersionFrame);

QByteArray readRecordCommand(quint8 recordNumber);
QString readRecordFrame(quint8 recordNumber);
// Six serial bytes: each UTF-16 unit below 256 as is, anything else 0; short
// texts are padded with 0, longer ones cut.
QByteArray setSerialCommand(const QString &serialText);
QString setSerialFrame(const QString &serialText);

constexpr std::array<quint16, 12> rangeTable{10,  20,   30,   50,   100,  200,
                                             500, 1000, 1500, 3000, 5000, 10000};
// Index into rangeTable of `range`, or -1 when it is none of the twelve values.
int rangeCodeFor(quint32 range);
// rangeTable[code], 0 for a code above 11.
quint32 rangeForCode(quint8 code);

// BCD: the decimal digits of a value as the two hex digits of a byte.
// Decoding a byte with a digit above 9 gives 0; encoding keeps the low byte of
// the hex reading (165 gives 0x65).
quint8 bcdDecode(quint8 byte);
quint8 bcdEncode(uint value);

struct Identity
{
    quint16 model = 0;
    quint32 serialNumber = 0;
    quint32 version = 0; // yyyymmdd as a decimal number; 0 when not BCD
    // Not in the answer: every instrument records 250 one-byte points.
    quint16 formatPoints = 250;
    quint8 formatBytes = 1;
};
// nullopt when the frame is shorter than an identity answer.
std::optional<Identity> parseIdentity(const QByteArray &frame);

struct RecordEntry
{
    quint64 raw = 0; // the 8 entry bytes read little-endian
    quint8 number() const { return quint8(raw & 0xFF); }
    quint8 byte(int i) const { return quint8((raw >> (8 * i)) & 0xFF); }
    // "#%1 20%2-%3-%4 %5_%6_%7" as the record list shows it.
    QString text() const;
    // When the record was made, as the entry's BCD digits read: "20yy-mm-dd",
    // and "hh:mm:ss" with `separator` between the three.
    QString date() const;
    QString time(QChar separator = QLatin1Char(':')) const;
};
// The entries of a record list answer: (length - 3) / 8 of them, but never
// more than the frame holds.
QList<RecordEntry> parseRecordList(const QByteArray &frame);

} // namespace protocol
