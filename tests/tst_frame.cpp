// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/frame.h"

#include <QtTest>

using namespace protocol;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

} // namespace

class TestFrame : public QObject
{
    Q_OBJECT

private slots:
    void checksum_data();
    void checksum();
    void builtFrames_data();
    void builtFrames();
    void frameIsSound_data();
    void frameIsSound();
    void bcd_data();
    void bcd();
    void identity_data();
    void identity();
    void recordList_data();
    void recordList();
};

void TestFrame::checksum_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("expected");

    QTest::newRow("count 0 gives 0") << hex("ffff") << 0 << 0;
    QTest::newRow("GetList 41+04+00") << hex("41040045") << 3 << 0x45;
    QTest::newRow("sum above 255 keeps low byte") << hex("ff02") << 2 << 0x01;
    QTest::newRow("only count bytes are summed") << hex("0102030405") << 2 << 0x03;
}

void TestFrame::checksum()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, count);
    QFETCH(int, expected);
    QCOMPARE(int(protocol::checksum(bytes, count)), expected);
}

void TestFrame::builtFrames_data()
{
    QTest::addColumn<QString>("built");
    QTest::addColumn<QString>("expected");

    QTest::newRow("ReadRecord 7") << readRecordFrame(7) << "400500074c";
    QTest::newRow("ReadRecord 255 wraps the sum") << readRecordFrame(255) << "400500ff44";
    QTest::newRow("payload of 300 bytes has a two-byte length")
        << frameText(buildFrame(TDRCommand::WriteRecord, QByteArray(300, '\0'))).left(6)
        << "433001";
    QTest::newRow("SetSerial 123456") << setSerialFrame("123456") << "440a0031323334353683";
    QTest::newRow("SetSerial, seventh character ignored")
        << setSerialFrame("1234567") << "440a0031323334353683";
    QTest::newRow("SetSerial, Cyrillic letter becomes 0x00")
        << setSerialFrame(QString(QChar(0x0416)) + "23456") << "440a0000323334353652";
    QTest::newRow("SetSerial, Latin-1 letter kept as its byte")
        << setSerialFrame(QString(QChar(0x00e9)) + "23456") << "440a00e932333435363b";
    QTest::newRow("SetSerial, empty text") << setSerialFrame("") << "440a000000000000004e";
    QTest::newRow("log text of 65 bytes is cut")
        << frameTextForLog(QByteArray(64, '\x0a') + '\x0b')
        << QString(128, '0').replace("00", "0a") + QString::fromUtf8("\u2026 (65 bytes)");
}

void TestFrame::builtFrames()
{
    QFETCH(QString, built);
    QFETCH(QString, expected);
    QCOMPARE(built, expected);
}

void TestFrame::frameIsSound_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("sound");

    QTest::newRow("identity answer") << hex("420e00692102183030313233341e") << true;
    QTest::newRow("wrong checksum") << hex("41040046") << false;
    QTest::newRow("length field too large") << hex("41050045") << false;
    QTest::newRow("length field too small") << hex("4104004500") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestFrame::frameIsSound()
{
    QFETCH(QByteArray, frame);
    QFETCH(bool, sound);
    QCOMPARE(protocol::frameIsSound(frame), sound);
}

void TestFrame::bcd_data()
{
    QTest::addColumn<uint>("value");
    QTest::addColumn<int>("byte");
    QTest::addColumn<bool>("encodes"); // value encodes to byte
    QTest::addColumn<bool>("decodes"); // byte decodes to value

    QTest::newRow("21") << 21u << 0x21 << true << true;
    QTest::newRow("99") << 99u << 0x99 << true << true;
    QTest::newRow("0x1A: low digit above 9 decodes to 0") << 0u << 0x1a << false << true;
    QTest::newRow("0xA1: high digit above 9 decodes to 0") << 0u << 0xa1 << false << true;
    QTest::newRow("165 keeps the low byte") << 165u << 0x65 << true << false;
    QTest::newRow("ten digits") << 4294967295u << 0x95 << true << false;
}

void TestFrame::bcd()
{
    QFETCH(uint, value);
    QFETCH(int, byte);
    QFETCH(bool, encodes);
    QFETCH(bool, decodes);
    if (encodes)
        QCOMPARE(int(bcdEncode(value)), byte);
    if (decodes)
        QCOMPARE(uint(bcdDecode(quint8(byte))), value);
}

void TestFrame::identity_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("model");
    QTest::addColumn<quint32>("serial");
    QTest::addColumn<quint32>("version");

    QTest::newRow("model 105, serial 001234, 2021-02-18")
        << hex("420e00692102183030313233341e") << 105 << 1234u << 20210218u;
    QTest::newRow("non-BCD 0x1A in the date gives version 0")
        << hex("420e0069211a183030313233341e") << 105 << 1234u << 0u;
    QTest::newRow("space in the tens place counts -16 tens")
        << hex("420e00692102183030313220340b") << 105 << 1044u << 20210218u;
    QTest::newRow("13 bytes yield nothing") << hex("420d0069210218303031323334") << -1 << 0u << 0u;
    QTest::newRow("longer answer reads the same offsets")
        << hex("42100069210218303031323334000020") << 105 << 1234u << 20210218u;
}

void TestFrame::identity()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, model);
    QFETCH(quint32, serial);
    QFETCH(quint32, version);

    const auto id = parseIdentity(frame);
    QCOMPARE(id.has_value(), model >= 0);
    if (!id)
        return;
    QCOMPARE(int(id->model), model);
    QCOMPARE(id->serialNumber, serial);
    QCOMPARE(id->version, version);
}

void TestFrame::recordList_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QList<quint64>>("raws");

    QTest::newRow("one entry: record 7, 2021-02-18 12:30:45")
        << hex("410c0007210218041230451a") << QStringList{"#007 2021-02-18 12_30_45"}
        << QList<quint64>{0x4530120418022107ull};
    QTest::newRow("empty list is the GetList frame")
        << hex("41040045") << QStringList{} << QList<quint64>{};
    QTest::newRow("three entries in frame order")
        << hex("411c00"
               "0c22123100235959"
               "0001010100000000"
               "7bab0cff99aabbcc"
               "a1")
        << QStringList{"#012 2022-12-31 23_59_59", "#000 2001-01-01 00_00_00",
                       "#123 20ab-0c-ff aa_bb_cc"}
        << QList<quint64>{0x595923003112220cull, 0x0000000001010100ull, 0xccbbaa99ff0cab7bull};
    QTest::newRow("declared length not a multiple of eight rounds down")
        << hex("410d0007210218041230450000") << QStringList{"#007 2021-02-18 12_30_45"}
        << QList<quint64>{0x4530120418022107ull};
}

void TestFrame::recordList()
{
    QFETCH(QByteArray, frame);
    QFETCH(QStringList, texts);
    QFETCH(QList<quint64>, raws);

    const QList<RecordEntry> entries = parseRecordList(frame);
    QStringList gotTexts;
    QList<quint64> gotRaws;
    for (const RecordEntry &entry : entries) {
        gotTexts << entry.text();
        gotRaws << entry.raw;
        QCOMPARE(entry.number(), quint8(entry.raw & 0xff));
    }
    QCOMPARE(gotTexts, texts);
    QCOMPARE(gotRaws, raws);
}

QTEST_GUILESS_MAIN(TestFrame)
#include "tst_frame.moc"
