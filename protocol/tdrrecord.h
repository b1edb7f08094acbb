// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/frame.h"

#include <QtEndian>

#include <cstddef>
#include <cstring>
#include <type_traits>

// A little-endian number stored as plain bytes, so it can sit at any offset
// of a packed image without misaligned loads.
template<typename T> class LEValue
{
public:
    LEValue() = default;
    LEValue(T value) { *this = value; }
    LEValue &operator=(T value)
    {
        if constexpr (std::is_floating_point_v<T>) {
            quint32 bits;
            std::memcpy(&bits, &value, sizeof bits);
            qToLittleEndian(bits, m_bytes);
        } else {
            qToLittleEndian(value, m_bytes);
        }
        return *this;
    }
    operator T() const
    {
        if constexpr (std::is_floating_point_v<T>) {
            const quint32 bits = qFromLittleEndian<quint32>(m_bytes);
            T value;
            std::memcpy(&value, &bits, sizeof value);
            return value;
        } else {
            return qFromLittleEndian<T>(m_bytes);
        }
    }

private:
    unsigned char m_bytes[sizeof(T)] = {};
};
static_assert(sizeof(float) == 4);

using le_u16 = LEValue<quint16>;
using le_i16 = LEValue<qint16>;
using le_u32 = LEValue<quint32>;
using le_f32 = LEValue<float>;

#pragma pack(push, 1)
// The image of one waveform record, which is also the *.tdr file, byte for
// byte: 37775 bytes, packed, little-endian. Unnamed fields carry the constants
// and zeros that a download writes.
struct TDRRecord
{
    le_u16 model;           // 0
    le_u16 formatPoints;    // 2
    quint8 formatBytes;     // 4
    le_u32 serialNumber;    // 5
    le_u32 versionA;        // 9
    le_u32 versionP;        // 13
    quint8 reserved17;      // 17: 0
    le_u32 reserved18;      // 18: 2
    quint8 reserved22;      // 22: 0
    le_u16 reserved23;      // 23: 0
    le_f32 value25;         // 25
    le_u32 value29;         // 29
    le_f32 length;          // 33
    le_u32 range;           // 37
    le_u32 reserved41;      // 41: 0x00010014
    le_u16 value12;         // 45
    le_u16 reserved47;      // 47: 0
    le_f32 distanceStep;    // 49
    le_u32 reserved53;      // 53: 0
    le_i16 value13;         // 57
    quint8 reserved59[20];  // 59
    le_u32 value17;         // 79
    le_u32 value21;         // 83
    quint8 reserved87[72];  // 87
    le_u32 reserved159;     // 159: 1
    quint8 reserved163[8];  // 163
    quint8 hour;            // 171
    quint8 minute;          // 172
    quint8 second;          // 173
    quint8 reserved174;     // 174
    quint8 dateSpare;       // 175
    quint8 month;           // 176
    quint8 day;             // 177
    quint8 year;            // 178: two digits, the century is 20
    quint8 reserved179;     // 179
    quint8 reserved180[81]; // 180: three zeroed entries of 27 bytes
    quint8 samples[250];    // 261
    quint8 tail[37264];     // 511: not written by a download
};
#pragma pack(pop)

static_assert(sizeof(TDRRecord) == 37775, "TDRRecord must be the 37775-byte file image");
static_assert(offsetof(TDRRecord, value25) == 25);
static_assert(offsetof(TDRRecord, length) == 33);
static_assert(offsetof(TDRRecord, range) == 37);
static_assert(offsetof(TDRRecord, distanceStep) == 49);
static_assert(offsetof(TDRRecord, value13) == 57);
static_assert(offsetof(TDRRecord, value17) == 79);
static_assert(offsetof(TDRRecord, reserved159) == 159);
static_assert(offsetof(TDRRecord, hour) == 171);
static_assert(offsetof(TDRRecord, year) == 178);
static_assert(offsetof(TDRRecord, samples) == 261);
static_assert(offsetof(TDRRecord, tail) == 511);

namespace protocol {

constexpr int kRecordImageSize = int(sizeof(TDRRecord));

// A zero-filled image.
TDRRecord emptyRecord();

QByteArray recordBytes(const TDRRecord &record);

// The identity answer's fields: bytes 0 to 16.
void applyIdentity(TDRRecord &record, const Identity &identity);

// Fills bytes 17 to 510 from a 283-byte record block and zeroes bytes 511 to
// the end, so a file depends only on the identity and the record it holds. A
// step divisor of 0 gives length and distanceStep 0. Returns false (and leaves
// the record alone) when the block is shorter than 283 bytes.
bool applyRecordBlock(TDRRecord &record, const QByteArray &block);

// "#%9 20%2-%3-%4 %5_%6_%7 %8m sn%1.tdr"
QString recordFileName(const TDRRecord &record, quint8 recordNumber);

// The 283-byte WriteRecord frame for `record` into slot `slot`, checksum
// included. Requires a range that is one of the twelve table values.
QByteArray writeRecordFrame(const TDRRecord &record, quint8 slot);

enum class RecordFileError { None, Size, Range, Step };
// Checks a file's content before it is uploaded: at least 37775 bytes (files
// written by other programs may carry more; the first 37775 are the record), a
// range that the instrument knows, and a distance step whose step divisor is
// one the instrument can store (1 to 255).
RecordFileError checkRecordImage(const QByteArray &content);
// The record in the first 37775 bytes of `content` (zero-filled when shorter).
TDRRecord recordFromBytes(const QByteArray &content);

} // namespace protocol
