// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// Command bytes of the instrument protocol. An answer carries the byte of the
// command it answers.
enum class TDRCommand : quint8 {
    ReadRecord = 0x40,
    GetList = 0x41,
    GetVersion = 0x42,
    WriteRecord = 0x43,
    SetSerial = 0x44,
};

namespace protocol {

// Any frame whose first byte lies in this range starts an answer.
constexpr quint8 kFirstAnswerByte = 0x40;
constexpr quint8 kLastAnswerByte = 0x46;

constexpr int kMinFrameLength = 4;      // command, two length bytes, checksum
constexpr int kMaxFrameLength = 0xFFFF; // the length field is 16 bits wide
constexpr int kRecordBlockLength = 283; // ReadRecord answer and WriteRecord command
constexpr int kIdentityMinLength = 14;
constexpr int kSetSerialLength = 10;
constexpr int kReadRecordLength = 5;
constexpr int kRecordEntryLength = 8;
constexpr int kMaxRecordEntries = 256; // record numbers are one byte
constexpr int kSampleCount = 249;      // sample bytes in a record block

constexpr bool startsAnswer(quint8 byte)
{
    return byte >= kFirstAnswerByte && byte <= kLastAnswerByte;
}

} // namespace protocol
