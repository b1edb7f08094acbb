// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/frame.h"

#include <QtEndian>

namespace protocol {

quint8 checksum(const char *data, int count)
{
    quint32 sum = 0;
    for (int i = 0; i < count; ++i)
        sum += quint8(data[i]);
    return quint8(sum & 0xFF);
}

void sealFrame(QByteArray &frame)
{
    Q_ASSERT(frame.size() >= kMinFrameLength && frame.size() <= kMaxFrameLength);
    qToLittleEndian<quint16>(quint16(frame.size()), frame.data() + 1);
    frame[frame.size() - 1] = char(checksum(frame, frame.size() - 1));
}

QByteArray buildFrame(TDRCommand command, const QByteArray &payload)
{
    QByteArray frame(3 + payload.size() + 1, '\0');
    frame[0] = char(command);
    std::copy(payload.cbegin(), payload.cend(), frame.begin() + 3);
    sealFrame(frame);
    return frame;
}

QString frameText(const QByteArray &frame)
{
    return QString::fromLatin1(frame.toHex());
}

QByteArray frameBytes(const QString &text)
{
    return QByteArray::fromHex(text.toUtf8());
}

QString frameTextForLog(const QByteArray &frame)
{
    if (frame.size() <= kLogFrameBytes)
        return frameText(frame);
    return frameText(frame.left(kLogFrameBytes)) +
           QStringLiteral("\u2026 (%1 bytes)").arg(frame.size());
}

bool answerLengthPlausible(quint8 command, int length)
{
    if (length < kMinFrameLength || length > kMaxFrameLength)
        return false;
    // Only lengths no answer can have are refused; the checksum judges the
    // rest. A short record or identity answer, or a list with bytes after its
    // last whole entry, is still a checked answer that releases its command.
    switch (command) {
    case quint8(TDRCommand::ReadRecord):
        return length <= kRecordBlockLength;
    case quint8(TDRCommand::GetList):
        return length < kMinFrameLength + kRecordEntryLength * (kMaxRecordEntries + 1);
    default:
        return startsAnswer(command);
    }
}

bool frameIsSound(const QByteArray &frame)
{
    if (frame.size() < kMinFrameLength)
        return false;
    const int length = qFromLittleEndian<quint16>(frame.constData() + 1);
    return length == frame.size() && quint8(frame.back()) == checksum(frame, length - 1);
}

QByteArray readRecordCommand(quint8 recordNumber)
{
    return buildFrame(TDRCommand::ReadRecord, QByteArray(1, char(recordNumber)));
}

QString readRecordFrame(quint8 recordNumber)
{
    return frameText(readRecordCommand(recordNumber));
}

QString setSerialFrame(const QString &serialText)
{
    return frameText(setSerialCommand(serialText));
}

QByteArray setSerialCommand(const QString &serialText)
{
    QByteArray serial(6, '\0');
    for (int i = 0; i < 6 && i < serialText.size(); ++i) {
        const ushort unit = serialText.at(i).unicode();
        serial[i] = unit < 256 ? char(unit) : '\0';
    }
    return buildFrame(TDRCommand::SetSerial, serial);
}

int rangeCodeFor(quint32 range)
{
    for (std::size_t i = 0; i < rangeTable.size(); ++i) {
        if (rangeTable[i] == range)
            return int(i);
    }
    return -1;
}

quint32 rangeForCode(quint8 code)
{
    return code < rangeTable.size() ? rangeTable[code] : 0;
}

quint8 bcdDecode(quint8 byte)
{
    const int high = byte >> 4;
    const int low = byte & 0x0F;
    if (high > 9 || low > 9)
        return 0;
    return quint8(high * 10 + low);
}

quint8 bcdEncode(uint value)
{
    // The low byte of the decimal digits read as hex holds just the last two
    // digits: 165 -> 0x165 -> 0x65. Computed directly, as reading the whole
    // text as hex overflows for values of nine digits and more.
    return quint8(((value / 10) % 10) << 4 | (value % 10));
}

std::optional<Identity> parseIdentity(const QByteArray &frame)
{
    if (frame.size() < kIdentityMinLength)
        return std::nullopt;
    const auto b = [&frame](int i) { return int(quint8(frame.at(i))); };
    Identity id;
    id.model = quint16(b(3));
    qint64 serial = 0;
    for (int i = 7; i <= 12; ++i)
        serial = serial * 10 + (b(i) - 48);
    id.serialNumber = quint32(serial);
    const QString text = QStringLiteral("20%1%2%3")
                             .arg(b(4), 2, 16, QLatin1Char('0'))
                             .arg(b(5), 2, 16, QLatin1Char('0'))
                             .arg(b(6), 2, 16, QLatin1Char('0'));
    bool ok = false;
    const uint version = text.toUInt(&ok, 10);
    id.version = ok ? version : 0;
    return id;
}

QString RecordEntry::text() const
{
    return QStringLiteral("#%1 %2 %3")
        .arg(number(), 3, 10, QLatin1Char('0'))
        .arg(date(), time(QLatin1Char('_')));
}

namespace {
QString bcdText(quint8 byte)
{
    return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0'));
}
} // namespace

QString RecordEntry::date() const
{
    return QStringLiteral("20%1-%2-%3").arg(bcdText(byte(1)), bcdText(byte(2)), bcdText(byte(3)));
}

QString RecordEntry::time(QChar separator) const
{
    return bcdText(byte(5)) + separator + bcdText(byte(6)) + separator + bcdText(byte(7));
}

QList<RecordEntry> parseRecordList(const QByteArray &frame)
{
    QList<RecordEntry> entries;
    if (frame.size() < 3)
        return entries;
    const int length = qFromLittleEndian<quint16>(frame.constData() + 1);
    const int declared = length >= 3 ? (length - 3) / kRecordEntryLength : 0;
    const int available = (frame.size() - 3) / kRecordEntryLength;
    const int n = qMin(declared, available);
    for (int i = 0; i < n; ++i) {
        RecordEntry entry;
        entry.raw = qFromLittleEndian<quint64>(frame.constData() + 3 + kRecordEntryLength * i);
        entries.append(entry);
    }
    return entries;
}

} // namespace protocol
