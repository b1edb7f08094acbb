"""The planted faults of tools/mutants.py: (what, file, text, replacement).

Each is a fault this tool could really have. The text must stand exactly once in its file.
"""

MUTANTS = [
    # Frames
    ("checksum keeps seven bits", "protocol/frame.cpp",
     "return quint8(sum & 0xFF);", "return quint8(sum & 0x7F);"),
    ("checksum skips the first byte", "protocol/frame.cpp",
     "for (int i = 0; i < count; ++i)", "for (int i = 1; i < count; ++i)"),
    ("length field one short", "protocol/frame.cpp",
     "qToLittleEndian<quint16>(quint16(frame.size()), frame.data() + 1);",
     "qToLittleEndian<quint16>(quint16(frame.size() - 1), frame.data() + 1);"),
    ("length field big-endian", "protocol/frame.cpp",
     "qToLittleEndian<quint16>(quint16(frame.size()), frame.data() + 1);",
     "qToBigEndian<quint16>(quint16(frame.size()), frame.data() + 1);"),
    ("serial text padded with spaces", "protocol/frame.cpp",
     "QByteArray serial(6, '\\0');", "QByteArray serial(6, ' ');"),
    ("a range value mistyped", "protocol/frame.h",
     "500, 1000, 1500,", "500, 1001, 1500,"),
    # BCD and the identity
    ("BCD decodes the digits swapped", "protocol/frame.cpp",
     "return quint8(high * 10 + low);", "return quint8(low * 10 + high);"),
    ("BCD accepts a digit above 9", "protocol/frame.cpp",
     "if (high > 9 || low > 9)", "if (high > 15 || low > 15)"),
    ("BCD encodes the tens wrongly", "protocol/frame.cpp",
     "return quint8(((value / 10) % 10) << 4 | (value % 10));",
     "return quint8(((value / 10) % 10) << 3 | (value % 10));"),
    ("serial read one byte late", "protocol/frame.cpp",
     "for (int i = 7; i <= 12; ++i)", "for (int i = 8; i <= 13 && i < frame.size(); ++i)"),
    ("record list entry offset off by one", "protocol/frame.cpp",
     "frame.constData() + 3 + kRecordEntryLength * i", "frame.constData() + 4 + kRecordEntryLength * i"),
    # The record image
    ("first sample slot not repeated", "protocol/tdrrecord.cpp",
     "record.samples[0] = blockByte(block, 34);", "record.samples[0] = blockByte(block, 33);"),
    ("month and day swapped on download", "protocol/tdrrecord.cpp",
     "record.month = bcdDecode(blockByte(block, 5));", "record.month = bcdDecode(blockByte(block, 6));"),
    ("distance step from the wrong constant", "protocol/tdrrecord.cpp",
     "record.distanceStep = float(kHalfLightSpeedD / (2.0 * divisor));",
     "record.distanceStep = float(kHalfLightSpeedD / (2.0 * divisor + 1));"),
    ("value13 offset not taken off", "protocol/tdrrecord.cpp",
     "record.value13 = qint16(int(blockByte(block, 13)) - 128);",
     "record.value13 = qint16(int(blockByte(block, 13)));"),
    ("upload writes samples one slot early", "protocol/tdrrecord.cpp",
     "out[33 + i] = record.samples[1 + i];", "out[33 + i] = record.samples[i];"),
    ("upload forgets the slot number", "protocol/tdrrecord.cpp",
     "out[3] = slot;", "out[3] = 0;"),
    ("upload step divisor rounded up", "protocol/tdrrecord.cpp",
     "const quint8 divisor = quint8(truncate64(divisorF) & 0xFF);",
     "const quint8 divisor = quint8(truncate64(divisorF + 0.5f) & 0xFF);"),
    # File names
    ("file name without the record number's zeros", "protocol/tdrrecord.cpp",
     ".arg(recordNumber, 3, 10, zero);", ".arg(recordNumber);"),
    ("file name with a four-digit serial", "protocol/tdrrecord.cpp",
     ".arg(quint32(record.serialNumber), 6, 10, zero)", ".arg(quint32(record.serialNumber), 4, 10, zero)"),
]
