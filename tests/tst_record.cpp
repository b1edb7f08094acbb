// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/tdrrecord.h"

#include <QtTest>

using namespace protocol;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// A record answer as the instrument sends it: record 7 of 2021-02-18 12:30:45,
// range code 4, step divisor 100, value17 1000, value21 151000, value25
// 150000, samples 3, 10, 17, ... (mod 256).
QByteArray recordBlock()
{
    QByteArray block = hex("401b0107210218041230450422c83412"
                           "64e8030000d84d0200f0490200efbeadde");
    for (int i = 0; i < kSampleCount; ++i)
        block.append(char((3 + 7 * i) & 0xff));
    quint32 sum = 0;
    for (char c : block)
        sum += quint8(c);
    return block.append(char(sum & 0xff));
}

// The image a download makes of `block` over an image that held 0xab bytes.
QByteArray downloaded(const QByteArray &block)
{
    QByteArray before(kRecordImageSize, char(0xab));
    TDRRecord record = recordFromBytes(before);
    if (!applyRecordBlock(record, block))
        return {};
    return recordBytes(record);
}

// A downloaded image with range 1500 (code 8); `patch` goes in at `offset`.
QByteArray uploadable(int offset = 0, const QByteArray &patch = {})
{
    QByteArray block = recordBlock();
    block[11] = char(8);
    return downloaded(block).replace(offset, patch.size(), patch);
}

} // namespace

Q_DECLARE_METATYPE(protocol::RecordFileError)

class TestRecord : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void identityFields();
    void download_data();
    void download();
    void shortBlockIsRefused();
    void rangeCodes_data();
    void rangeCodes();
    void fileName_data();
    void fileName();
    void upload_data();
    void upload();
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
}

void TestRecord::identityFields()
{
    TDRRecord record = emptyRecord();
    applyIdentity(record, Identity{105, 1234, 20210218});
    const QByteArray image = recordBytes(record);
    QCOMPARE(image.left(17).toHex(), QByteArray("6900fa0001d20400002a6234012a623401"));
    QCOMPARE(image.mid(17), QByteArray(kRecordImageSize - 17, '\0'));
}

void TestRecord::download_data()
{
    QTest::addColumn<int>("blockOffset"); // recordBlock() with these bytes
    QTest::addColumn<QByteArray>("blockBytes");
    QTest::addColumn<int>("imageOffset"); // gives these image bytes
    QTest::addColumn<QByteArray>("imageBytes");

    QTest::newRow("identity bytes untouched") << 0 << QByteArray() << 0 << QByteArray(17, '\xab');
    QTest::newRow("constants at 17") << 0 << QByteArray() << 17 << hex("000200000000");
    QTest::newRow("constant at 159") << 0 << QByteArray() << 155
                                     << hex("0000000001000000"
                                            "0000000000000000");
    QTest::newRow("tail from 511 zeroed") << 0 << QByteArray() << 511 << QByteArray(37264, '\0');
    QTest::newRow("step divisor 100") << 16 << hex("64") << 49 << hex("ffddbf3f00000000");
    QTest::newRow("step divisor 1") << 16 << hex("01") << 49 << hex("6fe51543");
    QTest::newRow("length 1000 to 151000 over 100")
        << 16 << hex("64e8030000d84d0200") << 33 << hex("0000803f");
    QTest::newRow("length rounds down twice")
        << 16 << hex("64000000003f0d0300") << 33 << hex("0000803f");
    QTest::newRow("value21 below value17 wraps")
        << 16 << hex("64e803000000000000") << 33 << hex("00c52747");
    QTest::newRow("value17 and value21 kept") << 0 << QByteArray() << 79 << hex("e8030000d84d0200");
    QTest::newRow("value25 150000 over 100") << 25 << hex("f0490200") << 25 << hex("00007041");
    QTest::newRow("divisor 0: no value25, length, step; range, constant, value12 kept")
        << 16 << hex("00") << 25 << hex("00000000efbeadde0000000064000000140001002200000000000000");
    QTest::newRow("value13 0 gives -128") << 13 << hex("00") << 57 << hex("80ff");
    QTest::newRow("value13 200 gives 72") << 13 << hex("c8") << 57 << hex("4800");
    // hour, minute, second, 0, spare, month, day, year, 0
    QTest::newRow("date and time, BCD")
        << 4 << hex("21021804123045") << 171 << hex("0c1e2d000402121500");
    QTest::newRow("first sample repeats the second")
        << 33 << hex("aabbcc") << 261 << hex("bbaabbcc");
}

void TestRecord::download()
{
    QFETCH(int, blockOffset);
    QFETCH(QByteArray, blockBytes);
    QFETCH(int, imageOffset);
    QFETCH(QByteArray, imageBytes);
    const QByteArray image =
        downloaded(recordBlock().replace(blockOffset, blockBytes.size(), blockBytes));
    QCOMPARE(image.mid(imageOffset, imageBytes.size()).toHex(), imageBytes.toHex());
}

void TestRecord::shortBlockIsRefused()
{
    QVERIFY(downloaded(recordBlock().left(282)).isEmpty());
    QVERIFY(downloaded(QByteArray()).isEmpty());
    // A longer frame reads only its first 283 bytes.
    QCOMPARE(downloaded(recordBlock() + QByteArray(10, 'w')), downloaded(recordBlock()));
}

void TestRecord::rangeCodes_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<quint32>("range");
    const QList<quint32> ranges{10, 20, 30, 50, 100, 200, 500, 1000, 1500, 3000, 5000, 10000};
    for (int code = 0; code < ranges.size(); ++code)
        QTest::addRow("code %d", code) << code << ranges.at(code);
    QTest::newRow("code 12") << 12 << 0u;
    QTest::newRow("code 255") << 255 << 0u;
}

void TestRecord::rangeCodes()
{
    QFETCH(int, code);
    QFETCH(quint32, range);
    const QByteArray rangeBytes =
        QByteArray(1, char(range & 0xff)) + char(range >> 8) + QByteArray(2, '\0');
    QCOMPARE(rangeForCode(quint8(code)), range);
    QCOMPARE(rangeCodeFor(range), range ? code : -1);
    // Download writes the range, and a file with that range uploads its code.
    QByteArray block = recordBlock();
    block[11] = char(code);
    QCOMPARE(downloaded(block).mid(37, 4).toHex(), rangeBytes.toHex());
    if (range) {
        const QByteArray file = uploadable(37, rangeBytes);
        QCOMPARE(checkRecordImage(file), RecordFileError::None);
        QCOMPARE(int(writeRecordFrame(recordFromBytes(file), 5).at(11)), code);
    }
}

void TestRecord::fileName_data()
{
    QTest::addColumn<quint32>("serial");
    QTest::addColumn<QByteArray>("date"); // image bytes 171..178: h m s 0 spare M D Y
    QTest::addColumn<float>("length");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("name");

    const QByteArray date = hex("0c1e2d0000021215");
    QTest::newRow("length 1.5") << 1234u << date << 1.5f << 7
                                << "#007 2021-02-18 12_30_45 1.5m sn001234.tdr";
    QTest::newRow("length 0") << 1234u << date << 0.0f << 7
                              << "#007 2021-02-18 12_30_45 000m sn001234.tdr";
    QTest::newRow("a million and above in exponent form")
        << 1234u << date << 1234567.0f << 7 << "#007 2021-02-18 12_30_45 1.23457e+06m sn001234.tdr";
    QTest::newRow("small date and time values padded")
        << 0u << hex("0000000000010205") << 3000.0f << 0
        << "#000 2005-01-02 00_00_00 3000m sn000000.tdr";
}

void TestRecord::fileName()
{
    QFETCH(quint32, serial);
    QFETCH(QByteArray, date);
    QFETCH(float, length);
    QFETCH(int, number);
    QFETCH(QString, name);

    QByteArray image(kRecordImageSize, '\0');
    TDRRecord record = recordFromBytes(image.replace(171, date.size(), date));
    record.serialNumber = serial;
    record.length = length;
    QCOMPARE(recordFileName(record, quint8(number)), name);
}

void TestRecord::upload_data()
{
    QTest::addColumn<int>("offset"); // uploadable() with these image bytes
    QTest::addColumn<QByteArray>("imageBytes");
    QTest::addColumn<int>("frameOffset"); // gives these frame bytes, slot 98
    QTest::addColumn<QByteArray>("frameBytes");

    QTest::newRow("head and slot") << 0 << QByteArray() << 0 << hex("431b0162");
    QTest::newRow("year 165 keeps the low BCD byte") << 178 << hex("a5") << 4 << hex("65");
    QTest::newRow("date 21, 2, 18, spare 4") << 175 << hex("04021215") << 4 << hex("21021804");
    QTest::newRow("time 12:30:45") << 171 << hex("0c1e2d") << 8 << hex("123045");
    QTest::newRow("value12 low byte") << 45 << hex("3412") << 12 << hex("34");
    QTest::newRow("value13 -128 gives 0") << 57 << hex("80ff") << 13 << hex("00");
    QTest::newRow("value13 72 gives 200") << 57 << hex("4800") << 13 << hex("c8");
    QTest::newRow("value17, value21")
        << 79 << hex("78563412efbeadde") << 17 << hex("78563412efbeadde");
    QTest::newRow("value25 15.0 over divisor 100")
        << 25 << hex("00007041") << 25 << hex("0f000000");
    QTest::newRow("value29") << 29 << hex("01020304") << 29 << hex("01020304");
    QTest::newRow("step 1.4989623: bytes 14-16 are 149 and 100")
        << 49 << hex("ffddbf3f") << 14 << hex("950064");
    QTest::newRow("sample 0 is not sent, sample 1 is") << 261 << hex("aabb") << 33 << hex("bb");
    QTest::newRow("last sample") << 510 << hex("cc") << 281 << hex("cc");
}

void TestRecord::upload()
{
    QFETCH(int, offset);
    QFETCH(QByteArray, imageBytes);
    QFETCH(int, frameOffset);
    QFETCH(QByteArray, frameBytes);

    const QByteArray frame = writeRecordFrame(recordFromBytes(uploadable(offset, imageBytes)), 98);
    QCOMPARE(frame.size(), kRecordBlockLength);
    QCOMPARE(frame.mid(frameOffset, frameBytes.size()).toHex(), frameBytes.toHex());
    quint32 sum = 0;
    for (int i = 0; i < kRecordBlockLength - 1; ++i)
        sum += quint8(frame.at(i));
    QCOMPARE(quint8(frame.back()), quint8(sum & 0xff));
}

void TestRecord::uploadAfterDownload()
{
    // Download then upload gives back the block except for the fields the two
    // directions map differently.
    QByteArray block = recordBlock();
    block[11] = char(9);
    const QByteArray frame = writeRecordFrame(recordFromBytes(downloaded(block)), 7);
    QCOMPARE(frame.left(14).toHex(), (hex("43") + block.mid(1, 13)).toHex());
    QCOMPARE(frame.mid(14, 2).toHex(), QByteArray("9500"));
    QCOMPARE(frame.mid(16, 9).toHex(), block.mid(16, 9).toHex());
    QCOMPARE(frame.mid(25, 4).toHex(), QByteArray("0f000000"));
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
    QTest::addColumn<RecordFileError>("error");

    const QByteArray good = uploadable();
    QTest::newRow("downloaded record") << good << RecordFileError::None;
    QTest::newRow("trailing bytes of another program")
        << good + QByteArray(100, 'x') << RecordFileError::None;
    QTest::newRow("empty file") << QByteArray() << RecordFileError::Size;
    QTest::newRow("one byte short") << good.left(kRecordImageSize - 1) << RecordFileError::Size;
    QTest::newRow("range 0") << uploadable(37, hex("00000000")) << RecordFileError::Range;
    QTest::newRow("range 1500 in the high word")
        << uploadable(37, hex("0000dc05")) << RecordFileError::Range;
    QTest::newRow("step of divisor 1") << uploadable(49, hex("6fe51543")) << RecordFileError::None;
    QTest::newRow("step 0") << uploadable(49, hex("00000000")) << RecordFileError::Step;
    QTest::newRow("step 150: divisor 0")
        << uploadable(49, hex("00001643")) << RecordFileError::Step;
    QTest::newRow("step 0.5: divisor 299")
        << uploadable(49, hex("0000003f")) << RecordFileError::Step;
    QTest::newRow("step not a number") << uploadable(49, hex("0000c07f")) << RecordFileError::Step;
}

void TestRecord::checkImage()
{
    QFETCH(QByteArray, content);
    QFETCH(RecordFileError, error);
    QCOMPARE(checkRecordImage(content), error);
    // What is uploaded is the first 37775 bytes.
    if (error == RecordFileError::None)
        QCOMPARE(recordBytes(recordFromBytes(content)), content.left(kRecordImageSize));
}

QTEST_GUILESS_MAIN(TestRecord)
#include "tst_record.moc"
