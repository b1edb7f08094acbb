#include "protocol/tdrrecord.h"

#include <QtTest>

#include <cstring>

using namespace protocol;

namespace {

void putU32(QByteArray &bytes, int offset, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = char((value >> (8 * i)) & 0xff);
}

quint32 u32At(const QByteArray &bytes, int offset)
{
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | quint8(bytes.at(offset + i));
    return value;
}

int u16At(const QByteArray &bytes, int offset)
{
    return quint8(bytes.at(offset)) | (quint8(bytes.at(offset + 1)) << 8);
}

quint32 floatBits(float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// A record answer as the instrument sends it: record 7 of 2021-02-18 12:30:45,
// range code 4, step divisor 100, samples 3, 10, 17, ... (mod 256).
QByteArray recordBlock()
{
    QByteArray block(kRecordBlockLength, '\0');
    block[0] = char(0x40);
    block[1] = char(0x1b);
    block[2] = char(0x01);
    block[3] = char(7);
    const char date[] = {0x21, 0x02, 0x18, 0x04, 0x12, 0x30, 0x45};
    for (int i = 0; i < 7; ++i)
        block[4 + i] = date[i];
    block[11] = char(4);
    block[12] = char(0x22);
    block[13] = char(200);
    block[14] = char(0x34);
    block[15] = char(0x12);
    block[16] = char(100);
    putU32(block, 17, 1000);
    putU32(block, 21, 151000);
    putU32(block, 25, 150000);
    putU32(block, 29, 0xdeadbeef);
    for (int i = 0; i < kSampleCount; ++i)
        block[33 + i] = char((3 + 7 * i) & 0xff);
    block[282] = char(checksum(block, 282));
    return block;
}

QByteArray downloaded(const QByteArray &block, char fill = 0)
{
    TDRRecord record = emptyRecord();
    std::memset(static_cast<void *>(&record), fill, sizeof record);
    if (!applyRecordBlock(record, block))
        return {};
    return recordBytes(record);
}

TDRRecord imageWith(int offset, const QByteArray &bytes, TDRRecord record = emptyRecord())
{
    QByteArray image = recordBytes(record);
    image.replace(offset, bytes.size(), bytes);
    return recordFromBytes(image);
}

// A record that uploads cleanly: range 1500, step divisor 100.
TDRRecord uploadable()
{
    return recordFromBytes(downloaded([] {
        QByteArray b = recordBlock();
        b[11] = char(8);
        return b;
    }()));
}

} // namespace

class TestRecord : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void identityFields();

    void range_data();
    void range();
    void distanceStep_data();
    void distanceStep();
    void length_data();
    void length();
    void value25_data();
    void value25();
    void value13_data();
    void value13();
    void dateAndTime_data();
    void dateAndTime();
    void samplesAreShifted();
    void constantsAndZeros();
    void identityBytesUntouched();
    void divisorZero();
    void shortBlockIsRefused();

    void fileName_data();
    void fileName();
    void fileNameOfDownload();

    void uploadFrame_data();
    void uploadFrame();
    void uploadHeaderAndSamples();
    void uploadAfterDownload();
    void divisorRoundTrip();

    void checkImage_data();
    void checkImage();
};

void TestRecord::initTestCase()
{
    // The tool runs with a Russian default locale; numbers in file names must
    // still use a dot.
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    QCOMPARE(QLocale().decimalPoint(), QChar(','));
}

void TestRecord::identityFields()
{
    TDRRecord record = emptyRecord();
    Identity id;
    id.model = 105;
    id.serialNumber = 1234;
    id.version = 20210218;
    applyIdentity(record, id);
    const QByteArray image = recordBytes(record);
    QCOMPARE(image.left(17).toHex(), QByteArray("6900fa0001d20400002a6234012a623401"));
    QCOMPARE(image.mid(17), QByteArray(kRecordImageSize - 17, '\0'));
}

void TestRecord::range_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<quint32>("range");

    QTest::newRow("code 0") << 0 << 10u;
    QTest::newRow("code 4") << 4 << 100u;
    QTest::newRow("code 8") << 8 << 1500u;
    QTest::newRow("code 11") << 11 << 10000u;
    QTest::newRow("code 12") << 12 << 0u;
    QTest::newRow("code 255") << 255 << 0u;
}

void TestRecord::range()
{
    QFETCH(int, code);
    QFETCH(quint32, range);
    QByteArray block = recordBlock();
    block[11] = char(code);
    QCOMPARE(u32At(downloaded(block), 37), range);
}

void TestRecord::distanceStep_data()
{
    QTest::addColumn<int>("divisor");
    QTest::addColumn<float>("step");

    QTest::newRow("divisor 100") << 100 << 1.4989623f;
    QTest::newRow("divisor 50") << 50 << 2.9979246f;
    QTest::newRow("divisor 1") << 1 << 149.8962249755859f;
    QTest::newRow("divisor 255") << 255 << float(299.7924499511719 / 510.0);
}

void TestRecord::distanceStep()
{
    QFETCH(int, divisor);
    QFETCH(float, step);
    QByteArray block = recordBlock();
    block[16] = char(divisor);
    QCOMPARE(u32At(downloaded(block), 49), floatBits(step));
}

void TestRecord::length_data()
{
    QTest::addColumn<quint32>("value17");
    QTest::addColumn<quint32>("value21");
    QTest::addColumn<int>("divisor");
    QTest::addColumn<float>("length");

    QTest::newRow("1000 to 151000 over 100") << 1000u << 151000u << 100 << 1.0f;
    QTest::newRow("both divisions round down") << 0u << 199999u << 100 << 1.0f;
    QTest::newRow("equal values") << 5000u << 5000u << 100 << 0.0f;
    QTest::newRow("value21 below value17 wraps") << 1000u << 0u << 100 << 42949.0f;
    QTest::newRow("wrap by one") << 1u << 0u << 1 << 4294967.0f;
    QTest::newRow("large length") << 0u << 4000000000u << 1 << 4000000.0f;
}

void TestRecord::length()
{
    QFETCH(quint32, value17);
    QFETCH(quint32, value21);
    QFETCH(int, divisor);
    QFETCH(float, length);
    QByteArray block = recordBlock();
    putU32(block, 17, value17);
    putU32(block, 21, value21);
    block[16] = char(divisor);
    const QByteArray image = downloaded(block);
    QCOMPARE(u32At(image, 33), floatBits(length));
    QCOMPARE(u32At(image, 79), value17);
    QCOMPARE(u32At(image, 83), value21);
}

void TestRecord::value25_data()
{
    QTest::addColumn<quint32>("raw");
    QTest::addColumn<int>("divisor");
    QTest::addColumn<float>("value");

    QTest::newRow("150000 over 100") << 150000u << 100 << 15.0f;
    QTest::newRow("zero") << 0u << 100 << 0.0f;
    QTest::newRow("single precision quotient") << 1000u << 3 << 1000.0f / 3.0f / 100.0f;
    QTest::newRow("largest raw value") << 0xffffffffu << 1 << 4294967296.0f / 100.0f;
}

void TestRecord::value25()
{
    QFETCH(quint32, raw);
    QFETCH(int, divisor);
    QFETCH(float, value);
    QByteArray block = recordBlock();
    putU32(block, 25, raw);
    block[16] = char(divisor);
    QCOMPARE(u32At(downloaded(block), 25), floatBits(value));
}

void TestRecord::value13_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<QByteArray>("stored");

    QTest::newRow("0 gives -128") << 0 << QByteArray::fromHex("80ff");
    QTest::newRow("200 gives 72") << 200 << QByteArray::fromHex("4800");
    QTest::newRow("128 gives 0") << 128 << QByteArray::fromHex("0000");
    QTest::newRow("127 gives -1") << 127 << QByteArray::fromHex("ffff");
    QTest::newRow("255 gives 127") << 255 << QByteArray::fromHex("7f00");
}

void TestRecord::value13()
{
    QFETCH(int, byte);
    QFETCH(QByteArray, stored);
    QByteArray block = recordBlock();
    block[13] = char(byte);
    QCOMPARE(downloaded(block).mid(57, 2).toHex(), stored.toHex());
}

void TestRecord::dateAndTime_data()
{
    QTest::addColumn<QByteArray>("bcd");    // block bytes 4..10
    QTest::addColumn<QByteArray>("stored"); // image bytes 171..179

    // image order: hour, minute, second, 0, spare, month, day, year, 0
    QTest::newRow("2021-02-18 spare 4 12:30:45") << QByteArray::fromHex("21021804123045")
                                                 << QByteArray::fromHex("0c1e2d0004021215"
                                                                        "00");
    QTest::newRow("non-BCD bytes give 0") << QByteArray::fromHex("1a0218041230ff")
                                          << QByteArray::fromHex("0c1e000004021200"
                                                                 "00");
    QTest::newRow("largest BCD values") << QByteArray::fromHex("99999999999999")
                                        << QByteArray::fromHex("63636300636363"
                                                               "6300");
}

void TestRecord::dateAndTime()
{
    QFETCH(QByteArray, bcd);
    QFETCH(QByteArray, stored);
    QByteArray block = recordBlock();
    block.replace(4, 7, bcd);
    QCOMPARE(downloaded(block, char(0xab)).mid(171, 9).toHex(), stored.toHex());
}

void TestRecord::samplesAreShifted()
{
    const QByteArray block = recordBlock();
    const QByteArray image = downloaded(block);
    QCOMPARE(image.at(261), block.at(34));
    QCOMPARE(image.at(262), block.at(33));
    QCOMPARE(image.at(263), block.at(34));
    QCOMPARE(image.at(264), block.at(35));
    QCOMPARE(image.mid(262, 249), block.mid(33, 249));
    QCOMPARE(image.at(510), block.at(281));
}

void TestRecord::constantsAndZeros()
{
    // Every byte from 17 on that the download does not fill from the block must
    // be its constant or zero, whatever the image held before.
    const QByteArray image = downloaded(recordBlock(), char(0xab));
    QByteArray expected(kRecordImageSize - 17, '\0');
    const auto put = [&expected](int offset, const QByteArray &bytes) {
        expected.replace(offset - 17, bytes.size(), bytes);
    };
    put(18, QByteArray::fromHex("02000000"));
    put(41, QByteArray::fromHex("14000100"));
    put(159, QByteArray::fromHex("01000000"));
    // Fields taken from the block, copied from the result to isolate the rest.
    for (const auto &[offset, width] : {std::pair{25, 12},
                                        {37, 4},
                                        {45, 2},
                                        {49, 4},
                                        {57, 2},
                                        {79, 8},
                                        {171, 3},
                                        {175, 4},
                                        {261, 250}})
        put(offset, image.mid(offset, width));
    QCOMPARE(image.mid(17).toHex(), expected.toHex());
    QCOMPARE(u32At(image, 18), 2u);
    QCOMPARE(image.mid(511), QByteArray(kRecordImageSize - 511, '\0'));
}

void TestRecord::identityBytesUntouched()
{
    TDRRecord record = emptyRecord();
    std::memset(static_cast<void *>(&record), 0x5a, 17);
    QVERIFY(applyRecordBlock(record, recordBlock()));
    QCOMPARE(recordBytes(record).left(17), QByteArray(17, char(0x5a)));
}

void TestRecord::divisorZero()
{
    QByteArray block = recordBlock();
    block[16] = char(0);
    const QByteArray image = downloaded(block, char(0xab));
    QVERIFY(!image.isEmpty());
    QCOMPARE(u32At(image, 25), floatBits(0.0f));
    QCOMPARE(u32At(image, 33), floatBits(0.0f));
    QCOMPARE(u32At(image, 49), floatBits(0.0f));
    // The rest of the record is still filled.
    QCOMPARE(u32At(image, 37), 100u);
    QCOMPARE(u32At(image, 79), 1000u);
    QCOMPARE(image.at(178), char(21));
    QCOMPARE(image.mid(262, 249), block.mid(33, 249));
    QVERIFY(!recordFileName(recordFromBytes(image), 7).isEmpty());
}

void TestRecord::shortBlockIsRefused()
{
    TDRRecord record = emptyRecord();
    std::memset(static_cast<void *>(&record), 0x33, sizeof record);
    const QByteArray before = recordBytes(record);
    QVERIFY(!applyRecordBlock(record, recordBlock().left(282)));
    QVERIFY(!applyRecordBlock(record, QByteArray()));
    QCOMPARE(recordBytes(record), before);
    // A longer frame reads only its first 283 bytes.
    QVERIFY(applyRecordBlock(record, recordBlock() + QByteArray(10, char(0x77))));
    QCOMPARE(recordBytes(record).mid(262, 249), recordBlock().mid(33, 249));
}

void TestRecord::fileName_data()
{
    QTest::addColumn<quint32>("serial");
    QTest::addColumn<QByteArray>("date"); // year, month, day, hour, minute, second
    QTest::addColumn<float>("length");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("name");

    const QByteArray date = QByteArray::fromHex("150212"
                                                "0c1e2d");
    QTest::newRow("length 1.5") << 1234u << date << 1.5f << 7
                                << "#007 2021-02-18 12_30_45 1.5m sn001234.tdr";
    QTest::newRow("length 50 padded")
        << 1234u << date << 50.0f << 7 << "#007 2021-02-18 12_30_45 050m sn001234.tdr";
    QTest::newRow("length 1 padded")
        << 1234u << date << 1.0f << 7 << "#007 2021-02-18 12_30_45 001m sn001234.tdr";
    QTest::newRow("length 0") << 1234u << date << 0.0f << 7
                              << "#007 2021-02-18 12_30_45 000m sn001234.tdr";
    QTest::newRow("a million and above in exponent form")
        << 1234u << date << 1234567.0f << 7 << "#007 2021-02-18 12_30_45 1.23457e+06m sn001234.tdr";
    QTest::newRow("six significant digits")
        << 1234u << date << 123456.0f << 7 << "#007 2021-02-18 12_30_45 123456m sn001234.tdr";
    QTest::newRow("fraction below one")
        << 1234u << date << 0.25f << 7 << "#007 2021-02-18 12_30_45 0.25m sn001234.tdr";
    QTest::newRow("seven-digit serial and three-digit record")
        << 1234567u << date << 12.5f << 123 << "#123 2021-02-18 12_30_45 12.5m sn1234567.tdr";
    QTest::newRow("small date and time values padded")
        << 0u << QByteArray::fromHex("050102000000") << 3000.0f << 0
        << "#000 2005-01-02 00_00_00 3000m sn000000.tdr";
}

void TestRecord::fileName()
{
    QFETCH(quint32, serial);
    QFETCH(QByteArray, date);
    QFETCH(float, length);
    QFETCH(int, number);
    QFETCH(QString, name);

    TDRRecord record = emptyRecord();
    record.serialNumber = serial;
    record.year = quint8(date.at(0));
    record.month = quint8(date.at(1));
    record.day = quint8(date.at(2));
    record.hour = quint8(date.at(3));
    record.minute = quint8(date.at(4));
    record.second = quint8(date.at(5));
    record.length = length;
    QCOMPARE(recordFileName(record, quint8(number)), name);
}

void TestRecord::fileNameOfDownload()
{
    TDRRecord record = emptyRecord();
    Identity id;
    id.serialNumber = 1234;
    applyIdentity(record, id);
    QVERIFY(applyRecordBlock(record, recordBlock()));
    QCOMPARE(recordFileName(record, 7),
             QStringLiteral("#007 2021-02-18 12_30_45 001m sn001234.tdr"));
}

void TestRecord::uploadFrame_data()
{
    QTest::addColumn<int>("offset"); // image offset written
    QTest::addColumn<QByteArray>("imageBytes");
    QTest::addColumn<int>("frameOffset");
    QTest::addColumn<QByteArray>("frameBytes");

    const auto h = [](const char *text) { return QByteArray::fromHex(text); };
    QTest::newRow("year 165 keeps the low BCD byte") << 178 << h("a5") << 4 << h("65");
    QTest::newRow("date 21, 2, 18") << 176 << h("021215") << 4 << h("210218");
    QTest::newRow("date spare 4") << 175 << h("04") << 7 << h("04");
    QTest::newRow("time 12:30:45") << 171 << h("0c1e2d") << 8 << h("123045");
    QTest::newRow("range 10 is code 0") << 37 << h("0a000000") << 11 << h("00");
    QTest::newRow("range 1500 is code 8") << 37 << h("dc050000") << 11 << h("08");
    QTest::newRow("range 10000 is code 11") << 37 << h("10270000") << 11 << h("0b");
    QTest::newRow("value12 low byte") << 45 << h("3412") << 12 << h("34");
    QTest::newRow("value13 -128 gives 0") << 57 << h("80ff") << 13 << h("00");
    QTest::newRow("value13 72 gives 200") << 57 << h("4800") << 13 << h("c8");
    QTest::newRow("value13 127 gives 255") << 57 << h("7f00") << 13 << h("ff");
    QTest::newRow("value13 low byte of 300") << 57 << h("2c01") << 13 << h("ac");
    QTest::newRow("value17") << 79 << h("78563412") << 17 << h("78563412");
    QTest::newRow("value21") << 83 << h("efbeadde") << 21 << h("efbeadde");
    QTest::newRow("value29") << 29 << h("01020304") << 29 << h("01020304");
    QTest::newRow("step 1.4989623: bytes 14-16 are 149 and 100")
        << 49 << h("ffddbf3f") << 14 << h("950064");
    QTest::newRow("step 0 sends zeros") << 49 << h("00000000") << 14 << h("000000");
    QTest::newRow("sample 0 is not sent, sample 1 is") << 261 << h("aabb") << 33 << h("bb");
    QTest::newRow("last sample") << 510 << h("cc") << 281 << h("cc");
}

void TestRecord::uploadFrame()
{
    QFETCH(int, offset);
    QFETCH(QByteArray, imageBytes);
    QFETCH(int, frameOffset);
    QFETCH(QByteArray, frameBytes);

    const TDRRecord record = imageWith(offset, imageBytes, uploadable());
    const QByteArray frame = writeRecordFrame(record, 5);
    QCOMPARE(frame.size(), kRecordBlockLength);
    QCOMPARE(frame.mid(frameOffset, frameBytes.size()).toHex(), frameBytes.toHex());
    QVERIFY(frameIsSound(frame));
}

void TestRecord::uploadHeaderAndSamples()
{
    TDRRecord record = uploadable();
    for (int i = 0; i < 250; ++i)
        record.samples[i] = quint8(255 - i);
    const QByteArray frame = writeRecordFrame(record, 98);
    QCOMPARE(frame.left(4).toHex(), QByteArray("431b0162"));
    for (int i = 0; i < kSampleCount; ++i)
        QCOMPARE(quint8(frame.at(33 + i)), quint8(255 - 1 - i));
    QCOMPARE(quint8(frame.at(282)), checksum(frame, 282));
    // value25 15.0 with step divisor 100 goes out as 15.
    QCOMPARE(u32At(frame, 25), 15u);
    QCOMPARE(u16At(frame, 14), 149);
    QCOMPARE(quint8(frame.at(16)), quint8(100));
}

void TestRecord::uploadAfterDownload()
{
    // Download then upload gives back the block except for the fields the two
    // directions map differently.
    QByteArray block = recordBlock();
    block[11] = char(9);
    const QByteArray frame = writeRecordFrame(recordFromBytes(downloaded(block)), 7);
    QVERIFY(frameIsSound(frame));
    QCOMPARE(quint8(frame.at(0)), quint8(0x43));
    QCOMPARE(frame.mid(1, 13).toHex(), block.mid(1, 13).toHex());
    QCOMPARE(u16At(frame, 14), 149);
    QCOMPARE(frame.mid(16, 9).toHex(), block.mid(16, 9).toHex());
    QCOMPARE(u32At(frame, 25), 15u);
    QCOMPARE(frame.mid(29, 253).toHex(), block.mid(29, 253).toHex());
}

void TestRecord::divisorRoundTrip()
{
    const QList<int> oneLower{15, 30, 60, 113, 120, 221, 226, 235, 240, 245};
    QList<int> changed;
    for (int divisor = 1; divisor <= 255; ++divisor) {
        QByteArray block = recordBlock();
        block[11] = char(8);
        block[16] = char(divisor);
        const QByteArray frame = writeRecordFrame(recordFromBytes(downloaded(block)), 0);
        const int sent = quint8(frame.at(16));
        if (sent != divisor) {
            QCOMPARE(sent, divisor - 1);
            changed << divisor;
        }
    }
    QCOMPARE(changed, oneLower);
}

void TestRecord::checkImage_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("error");

    const QByteArray good = recordBytes(uploadable());
    const auto withRange = [&good](const char *hexRange) {
        QByteArray b = good;
        b.replace(37, 4, QByteArray::fromHex(hexRange));
        return b;
    };
    QTest::newRow("downloaded record") << good << int(RecordFileError::None);
    QTest::newRow("range 10000") << withRange("10270000") << int(RecordFileError::None);
    QTest::newRow("empty file") << QByteArray() << int(RecordFileError::Size);
    QTest::newRow("100 bytes") << good.left(100) << int(RecordFileError::Size);
    QTest::newRow("one byte short")
        << good.left(kRecordImageSize - 1) << int(RecordFileError::Size);
    QTest::newRow("one byte long") << good + 'x' << int(RecordFileError::Size);
    QTest::newRow("range 0") << withRange("00000000") << int(RecordFileError::Range);
    QTest::newRow("range 7") << withRange("07000000") << int(RecordFileError::Range);
    QTest::newRow("range 1500 in the high word")
        << withRange("0000dc05") << int(RecordFileError::Range);
}

void TestRecord::checkImage()
{
    QFETCH(QByteArray, content);
    QFETCH(int, error);
    QCOMPARE(int(checkRecordImage(content)), error);
}

QTEST_GUILESS_MAIN(TestRecord)
#include "tst_record.moc"
