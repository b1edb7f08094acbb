// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/tdrrecord.h"

#include <cmath>
#include <limits>

namespace protocol {

namespace {

// 299.79245 as the nearest single-precision value, used in double arithmetic
// by the download.
constexpr double kHalfLightSpeedD = 299.7924499511719;
constexpr float kHalfLightSpeedF = 299.79245f;

quint32 blockU32(const QByteArray &block, int offset)
{
    return qFromLittleEndian<quint32>(block.constData() + offset);
}

quint8 blockByte(const QByteArray &block, int offset)
{
    return quint8(block.at(offset));
}

// Truncates toward zero into 64 bits; values that do not fit (or are not
// numbers) give 0 rather than undefined behaviour.
qint64 truncate64(float value)
{
    if (!std::isfinite(value) || value >= 9.2e18f || value <= -9.2e18f)
        return 0;
    return qint64(value);
}

// The step divisor the upload sends for `step`, before it is cut to a byte.
qint64 stepDivisor(float step)
{
    return truncate64(kHalfLightSpeedF / (2.0f * step));
}

} // namespace

TDRRecord emptyRecord()
{
    TDRRecord record;
    std::memset(static_cast<void *>(&record), 0, sizeof record);
    return record;
}

QByteArray recordBytes(const TDRRecord &record)
{
    return QByteArray(reinterpret_cast<const char *>(&record), int(sizeof record));
}

void applyIdentity(TDRRecord &record, const Identity &identity)
{
    record.model = identity.model;
    record.formatPoints = identity.formatPoints;
    record.formatBytes = identity.formatBytes;
    record.serialNumber = identity.serialNumber;
    record.versionP = identity.version;
    record.versionA = identity.version;
}

bool applyRecordBlock(TDRRecord &record, const QByteArray &block)
{
    if (block.size() < kRecordBlockLength)
        return false;

    auto *bytes = reinterpret_cast<unsigned char *>(&record);
    std::memset(bytes + 17, 0, kRecordImageSize - 17);
    record.reserved18 = 2;
    record.reserved41 = 0x00010014;
    record.reserved159 = 1;

    const quint8 divisor = blockByte(block, 16);
    const quint32 value17 = blockU32(block, 17);
    const quint32 value21 = blockU32(block, 21);
    const quint32 value25 = blockU32(block, 25);

    if (divisor != 0) {
        float v25 = float(value25);
        v25 = v25 / float(divisor);
        v25 = v25 / 100.0f;
        record.value25 = v25;
        const quint32 span = value21 - value17; // wraps like the instrument's own arithmetic
        record.length = float((span / divisor) / 1000u);
        record.distanceStep = float(kHalfLightSpeedD / (2.0 * divisor));
    }
    record.value29 = blockU32(block, 29);
    record.range = rangeForCode(blockByte(block, 11));
    record.value12 = blockByte(block, 12);
    record.value13 = qint16(int(blockByte(block, 13)) - 128);
    record.value17 = value17;
    record.value21 = value21;

    record.hour = bcdDecode(blockByte(block, 8));
    record.minute = bcdDecode(blockByte(block, 9));
    record.second = bcdDecode(blockByte(block, 10));
    record.dateSpare = bcdDecode(blockByte(block, 7));
    record.month = bcdDecode(blockByte(block, 5));
    record.day = bcdDecode(blockByte(block, 6));
    record.year = bcdDecode(blockByte(block, 4));

    // The instrument's first sample slot repeats its second sample.
    record.samples[0] = blockByte(block, 34);
    for (int i = 0; i < kSampleCount; ++i)
        record.samples[1 + i] = blockByte(block, 33 + i);
    return true;
}

QString recordFileName(const TDRRecord &record, quint8 recordNumber)
{
    const QLatin1Char zero('0');
    return QStringLiteral("#%9 20%2-%3-%4 %5_%6_%7 %8m sn%1.tdr")
        .arg(quint32(record.serialNumber), 6, 10, zero)
        .arg(record.year, 2, 10, zero)
        .arg(record.month, 2, 10, zero)
        .arg(record.day, 2, 10, zero)
        .arg(record.hour, 2, 10, zero)
        .arg(record.minute, 2, 10, zero)
        .arg(record.second, 2, 10, zero)
        .arg(double(float(record.length)), 3, 'g', -1, zero)
        .arg(recordNumber, 3, 10, zero);
}

QByteArray writeRecordFrame(const TDRRecord &record, quint8 slot)
{
    // Built in a plain buffer first: the optimiser cannot see the size of a
    // QByteArray's storage and warns about writes into it.
    unsigned char out[kRecordBlockLength] = {};
    out[0] = quint8(TDRCommand::WriteRecord);
    out[3] = slot;
    out[4] = bcdEncode(record.year);
    out[5] = bcdEncode(record.month);
    out[6] = bcdEncode(record.day);
    out[7] = bcdEncode(record.dateSpare);
    out[8] = bcdEncode(record.hour);
    out[9] = bcdEncode(record.minute);
    out[10] = bcdEncode(record.second);
    const int code = rangeCodeFor(record.range);
    Q_ASSERT(code >= 0);
    out[11] = quint8(qMax(code, 0));
    out[12] = quint8(quint16(record.value12) & 0xFF);
    out[13] = quint8((quint16(qint16(record.value13)) + 128) & 0xFF);

    const float step = record.distanceStep;
    const float stepTimes100 = step * 100.0f;
    qToLittleEndian<quint16>(quint16(truncate64(stepTimes100) & 0xFFFF), out + 14);
    const quint8 divisor = quint8(stepDivisor(step) & 0xFF);
    out[16] = divisor;

    qToLittleEndian<quint32>(record.value17, out + 17);
    qToLittleEndian<quint32>(record.value21, out + 21);
    const float v25 = float(divisor) * float(record.value25) / 100.0f;
    qToLittleEndian<quint32>(quint32(quint64(truncate64(v25)) & 0xFFFFFFFFu), out + 25);
    qToLittleEndian<quint32>(record.value29, out + 29);
    for (int i = 0; i < kSampleCount; ++i)
        out[33 + i] = record.samples[1 + i];
    qToLittleEndian<quint16>(quint16(kRecordBlockLength), out + 1);
    out[kRecordBlockLength - 1] =
        checksum(reinterpret_cast<const char *>(out), kRecordBlockLength - 1);
    return QByteArray(reinterpret_cast<const char *>(out), kRecordBlockLength);
}

RecordFileError checkRecordImage(const QByteArray &content)
{
    if (content.size() < kRecordImageSize)
        return RecordFileError::Size;
    const TDRRecord record = recordFromBytes(content);
    if (rangeCodeFor(record.range) < 0)
        return RecordFileError::Range;
    const float step = record.distanceStep;
    const qint64 divisor = std::isfinite(step) && step > 0.0f ? stepDivisor(step) : 0;
    if (divisor < 1 || divisor > 255)
        return RecordFileError::Step;
    return RecordFileError::None;
}

TDRRecord recordFromBytes(const QByteArray &content)
{
    TDRRecord record = emptyRecord();
    std::memcpy(static_cast<void *>(&record), content.constData(),
                size_t(qMin(content.size(), kRecordImageSize)));
    return record;
}

} // namespace protocol
