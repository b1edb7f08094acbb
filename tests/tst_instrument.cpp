#include "bluetooth/emulator/emulatedinstrument.h"
#include "bluetooth/emulator/waveform.h"
#include "protocol/frame.h"
#include "protocol/tdrrecord.h"

#include <QJsonDocument>
#include <QRandomGenerator>
#include <QtTest>

#include <cmath>

using emu::EmulatedInstrument;

namespace {

std::unique_ptr<EmulatedInstrument> make(const QByteArray &json, QString *error = nullptr)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        qFatal("bad test json: %s", json.constData());
    QString message;
    auto instrument = EmulatedInstrument::fromJson(doc.object(), &message);
    if (error)
        *error = message;
    else if (!instrument)
        qWarning("unexpected option error: %s", qPrintable(message));
    return instrument;
}

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

QByteArray frame(const QString &text)
{
    return protocol::frameBytes(text);
}

bool hasFrameLikeBreak(const QByteArray &samples)
{
    for (int i = 0; i + 1 < samples.size(); ++i) {
        if (quint8(samples.at(i)) == 0x0A && protocol::startsAnswer(quint8(samples.at(i + 1))))
            return true;
    }
    return false;
}

QByteArray samplesOf(const QByteArray &block)
{
    return block.mid(33, protocol::kSampleCount);
}

const QByteArray kOneRecord = R"({"records": [{"number": 7, "date": "2021-02-18",
                                               "time": "12:30:45"}], "chunk": "whole"})";

} // namespace

class TestInstrument : public QObject
{
    Q_OBJECT

private slots:
    void identityAnswer_data();
    void identityAnswer();
    void recordList_data();
    void recordList();
    void readRecord_data();
    void readRecord();
    void readEmptySlot();
    void writeThenRead();
    void setSerial();
    void cutCommands_data();
    void cutCommands();
    void garbageSkipped_data();
    void garbageSkipped();
    void faultInjection_data();
    void faultInjection();
    void cutAnswer_data();
    void cutAnswer();
    void waveformHasFrameLikeBytes_data();
    void waveformHasFrameLikeBytes();
    void faultReflection_data();
    void faultReflection();
    void invalidOptions_data();
    void invalidOptions();
};

void TestInstrument::identityAnswer_data()
{
    QTest::addColumn<QByteArray>("options");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("defaults") << QByteArray("{}") << hex("420e00692102183030313233341e");
    QTest::newRow("given identity")
        << QByteArray(R"({"model": 7, "serial": "ABCDEF", "version": "2019-12-31"})")
        << hex("420e000719123141424344454648");
}

void TestInstrument::identityAnswer()
{
    QFETCH(QByteArray, options);
    QFETCH(QByteArray, expected);
    auto instrument = make(options);
    QVERIFY(instrument);
    QCOMPARE(instrument->receive(frame(protocol::kGetVersionFrame)), QList<QByteArray>{expected});
    QCOMPARE(instrument->commandsReceived(), 1);
}

void TestInstrument::recordList_data()
{
    QTest::addColumn<QByteArray>("options");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("one record") << kOneRecord << hex("410c0007210218041230451a");
    QTest::newRow("no records") << QByteArray(R"({"records": 0})") << hex("41040045");
    QTest::newRow("empty list") << QByteArray(R"({"records": []})") << hex("41040045");
}

void TestInstrument::recordList()
{
    QFETCH(QByteArray, options);
    QFETCH(QByteArray, expected);
    auto instrument = make(options);
    QVERIFY(instrument);
    QCOMPARE(instrument->receive(frame(protocol::kGetListFrame)), QList<QByteArray>{expected});
}

void TestInstrument::readRecord_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("slot");
    for (quint32 seed : {1u, 2u, 77u}) {
        for (int slot = 1; slot <= 12; ++slot)
            QTest::addRow("seed %u slot %d", seed, slot) << seed << slot;
    }
}

void TestInstrument::readRecord()
{
    QFETCH(quint32, seed);
    QFETCH(int, slot);
    auto instrument = make(QStringLiteral(R"({"seed": %1})").arg(seed).toUtf8());
    QVERIFY(instrument);
    QCOMPARE(instrument->recordNumbers().size(), 12);
    QVERIFY(instrument->recordNumbers().contains(slot));

    const auto answers = instrument->receive(frame(protocol::readRecordFrame(quint8(slot))));
    QCOMPARE(answers.size(), 1);
    const QByteArray block = answers.first();
    QCOMPARE(block.size(), protocol::kRecordBlockLength);
    QCOMPARE(quint8(block.at(0)), quint8(0x40));
    QVERIFY(protocol::frameIsSound(block));
    QCOMPARE(int(quint8(block.at(3))), slot);
    QCOMPARE(block, instrument->recordBlock(slot));

    // What the tool makes of it must be a sensible record.
    TDRRecord record = protocol::emptyRecord();
    QVERIFY(protocol::applyRecordBlock(record, block));
    QVERIFY(record.range != 0u);
    const int divisor = quint8(block.at(16));
    QVERIFY(divisor != 0);
    QVERIFY2(protocol::kSampleCount * float(record.distanceStep) >= float(record.range),
             "the samples must cover the range");
    QVERIFY(float(record.length) > 0.0f);
    QVERIFY(float(record.length) <= float(record.range));
    QVERIFY(record.year >= 19 && record.year <= 24);
    QVERIFY(record.month >= 1 && record.month <= 12);
    QVERIFY(record.day >= 1 && record.day <= 31);
    QVERIFY(record.hour < 24 && record.minute < 60 && record.second < 60);
}

void TestInstrument::readEmptySlot()
{
    auto instrument = make(R"({"records": 3})");
    QVERIFY(instrument);
    const auto answers = instrument->receive(frame(protocol::readRecordFrame(200)));
    QCOMPARE(answers, QList<QByteArray>{hex("40040044")});
    QVERIFY(protocol::frameIsSound(answers.first()));
}

void TestInstrument::writeThenRead()
{
    auto source = make(R"({"seed": 5})");
    auto instrument = make(kOneRecord);
    QVERIFY(source && instrument);

    QByteArray command = source->recordBlock(3);
    command[0] = char(TDRCommand::WriteRecord);
    command[3] = char(42);
    protocol::sealFrame(command);
    QCOMPARE(command.left(3), hex("431b01"));

    QCOMPARE(instrument->receive(command), QList<QByteArray>{hex("43040047")});

    QByteArray expected = command;
    expected[0] = char(TDRCommand::ReadRecord);
    protocol::sealFrame(expected);
    QCOMPARE(instrument->recordBlock(42), expected);
    QCOMPARE(instrument->recordNumbers(), (QList<int>{7, 42}));
    QCOMPARE(instrument->receive(frame(protocol::readRecordFrame(42))),
             QList<QByteArray>{expected});

    const auto list = instrument->receive(frame(protocol::kGetListFrame));
    QCOMPARE(list.size(), 1);
    const auto entries = protocol::parseRecordList(list.first());
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries.at(1).number(), quint8(42));
    QCOMPARE(list.first().mid(3 + 8, 8), expected.mid(3, 8));

    // Writing the same slot again replaces the record.
    command[33] = char(quint8(command.at(33)) ^ 0xFF);
    protocol::sealFrame(command);
    QCOMPARE(instrument->receive(command), QList<QByteArray>{hex("43040047")});
    QCOMPARE(instrument->recordBlock(42).at(33), command.at(33));
    QCOMPARE(instrument->recordNumbers().size(), 2);
}

void TestInstrument::setSerial()
{
    auto instrument = make("{}");
    QVERIFY(instrument);
    QCOMPARE(instrument->receive(frame(protocol::setSerialFrame(QStringLiteral("123456")))),
             QList<QByteArray>{hex("44040048")});
    QCOMPARE(instrument->serial(), QStringLiteral("123456"));
    const auto answers = instrument->receive(frame(protocol::kGetVersionFrame));
    QCOMPARE(answers.size(), 1);
    QCOMPARE(answers.first().mid(7, 6), QByteArray("123456"));
    QVERIFY(protocol::frameIsSound(answers.first()));
    QCOMPARE(protocol::parseIdentity(answers.first())->serialNumber, 123456u);
}

void TestInstrument::cutCommands_data()
{
    QTest::addColumn<int>("pieceSize"); // 0: random sizes
    QTest::addColumn<quint32>("seed");
    QTest::newRow("byte by byte") << 1 << 0u;
    QTest::newRow("pairs") << 2 << 0u;
    QTest::newRow("all at once") << 100000 << 0u;
    for (quint32 seed = 1; seed <= 5; ++seed)
        QTest::addRow("random pieces %u", seed) << 0 << seed;
}

void TestInstrument::cutCommands()
{
    QFETCH(int, pieceSize);
    QFETCH(quint32, seed);
    auto instrument = make(R"({"records": 4})");
    auto reference = make(R"({"records": 4})");
    QVERIFY(instrument && reference);

    QByteArray write = reference->recordBlock(2);
    write[0] = char(TDRCommand::WriteRecord);
    write[3] = char(9);
    protocol::sealFrame(write);
    const QList<QByteArray> commands{frame(protocol::kGetVersionFrame),
                                     frame(protocol::kGetListFrame),
                                     frame(protocol::readRecordFrame(3)),
                                     write,
                                     frame(protocol::setSerialFrame(QStringLiteral("654321"))),
                                     frame(protocol::readRecordFrame(9))};
    QList<QByteArray> expected;
    for (const QByteArray &command : commands)
        expected += reference->receive(command);
    QCOMPARE(expected.size(), commands.size());

    QByteArray stream;
    for (const QByteArray &command : commands)
        stream += command;
    QRandomGenerator rng(seed);
    QList<QByteArray> answers;
    for (int at = 0; at < stream.size();) {
        const int size = pieceSize > 0 ? pieceSize : int(rng.bounded(1, 40));
        answers += instrument->receive(stream.mid(at, size));
        at += size;
    }
    QCOMPARE(answers, expected);
    QCOMPARE(instrument->commandsReceived(), commands.size());
    QCOMPARE(instrument->bytesDiscarded(), 0);
}

void TestInstrument::garbageSkipped_data()
{
    QTest::addColumn<QByteArray>("garbage");
    QTest::newRow("noise") << hex("00ff0a0d1234");
    QTest::newRow("line ends") << hex("0a0a0d0a");
    QTest::newRow("command byte with a wrong length") << hex("4109");
    QTest::newRow("get list with a bad checksum") << hex("41040046");
    QTest::newRow("truncated read record") << hex("400500");
    QTest::newRow("read record with a bad checksum") << hex("4005000100");
    QTest::newRow("answer-only byte") << hex("45040049");
    QTest::newRow("set serial header then noise") << hex("440a00313233");
}

void TestInstrument::garbageSkipped()
{
    QFETCH(QByteArray, garbage);
    auto instrument = make("{}");
    QVERIFY(instrument);
    QVERIFY(instrument->receive(garbage).isEmpty());
    const auto answers = instrument->receive(frame(protocol::kGetVersionFrame));
    QCOMPARE(answers, QList<QByteArray>{hex("420e00692102183030313233341e")});
    QCOMPARE(instrument->commandsReceived(), 1);
    QCOMPARE(instrument->bytesDiscarded(), qint64(garbage.size()));
    QCOMPARE(instrument->serial(), QStringLiteral("001234"));
}

void TestInstrument::faultInjection_data()
{
    QTest::addColumn<int>("dropEvery");
    QTest::addColumn<int>("corruptEvery");
    QTest::addColumn<QString>("pattern"); // per answer: s sound, c corrupt, - dropped
    QTest::newRow("none") << 0 << 0 << "sssssss";
    QTest::newRow("drop every 3rd") << 3 << 0 << "ss-ss-s";
    QTest::newRow("drop every answer") << 1 << 0 << "-------";
    QTest::newRow("corrupt every 2nd") << 0 << 2 << "scscscs";
    QTest::newRow("both, drop wins") << 3 << 2 << "sc-cs-s";
}

void TestInstrument::faultInjection()
{
    QFETCH(int, dropEvery);
    QFETCH(int, corruptEvery);
    QFETCH(QString, pattern);
    auto instrument = make(QStringLiteral(R"({"dropEvery": %1, "corruptEvery": %2})")
                               .arg(dropEvery)
                               .arg(corruptEvery)
                               .toUtf8());
    QVERIFY(instrument);
    const QByteArray good = hex("420e00692102183030313233341e");
    QByteArray spoilt = good;
    spoilt[spoilt.size() - 1] = char(0x1f);

    QString seen;
    for (int i = 0; i < pattern.size(); ++i) {
        const auto answers = instrument->receive(frame(protocol::kGetVersionFrame));
        QVERIFY(answers.size() <= 1);
        if (answers.isEmpty())
            seen += QLatin1Char('-');
        else if (answers.first() == good)
            seen += QLatin1Char('s');
        else if (answers.first() == spoilt)
            seen += QLatin1Char('c');
        else
            QFAIL(qPrintable(answers.first().toHex()));
    }
    QCOMPARE(seen, pattern);
    QCOMPARE(instrument->commandsReceived(), pattern.size());
    QCOMPARE(instrument->answersDropped(), int(pattern.count(QLatin1Char('-'))));
    QCOMPARE(instrument->answersSent(), pattern.size() - instrument->answersDropped());
}

void TestInstrument::cutAnswer_data()
{
    QTest::addColumn<QByteArray>("chunk");
    QTest::addColumn<int>("maxPiece");
    QTest::addColumn<bool>("fixed");
    QTest::newRow("whole") << QByteArray(R"("whole")") << 100000 << false;
    QTest::newRow("fixed 1") << QByteArray("1") << 1 << true;
    QTest::newRow("fixed 7") << QByteArray("7") << 7 << true;
    QTest::newRow("fixed larger than any answer") << QByteArray("1000") << 1000 << true;
    QTest::newRow("random") << QByteArray(R"("random")") << 64 << false;
    QTest::newRow("default") << QByteArray() << 64 << false;
}

void TestInstrument::cutAnswer()
{
    QFETCH(QByteArray, chunk);
    QFETCH(int, maxPiece);
    QFETCH(bool, fixed);
    const QByteArray options =
        chunk.isEmpty() ? QByteArray("{}") : QByteArray(R"({"chunk": )") + chunk + "}";
    auto instrument = make(options);
    QVERIFY(instrument);

    QList<int> sizes;
    for (int size : {1, 4, 5, 14, 63, 64, 65, 283, 2052})
        sizes << size;
    bool someRandomPieceSmaller = false;
    for (int size : sizes) {
        QByteArray answer(size, '\0');
        for (int i = 0; i < size; ++i)
            answer[i] = char(i * 37 + 11);
        const auto pieces = instrument->cut(answer);
        QByteArray joined;
        for (int i = 0; i < pieces.size(); ++i) {
            const QByteArray &piece = pieces.at(i);
            QVERIFY(!piece.isEmpty());
            QVERIFY(piece.size() <= maxPiece);
            if (fixed && i + 1 < pieces.size())
                QCOMPARE(piece.size(), maxPiece);
            if (maxPiece == 64 && piece.size() < 64 && i + 1 < pieces.size())
                someRandomPieceSmaller = true;
            joined += piece;
        }
        QCOMPARE(joined, answer);
        if (maxPiece == 100000)
            QCOMPARE(pieces.size(), 1);
    }
    if (maxPiece == 64)
        QVERIFY2(someRandomPieceSmaller, "random cutting must vary the piece sizes");
    QVERIFY(instrument->cut(QByteArray()).isEmpty());
}

void TestInstrument::waveformHasFrameLikeBytes_data()
{
    QTest::addColumn<QByteArray>("options");
    for (int seed = 1; seed <= 40; ++seed)
        QTest::addRow("generated, seed %d", seed)
            << QStringLiteral(R"({"seed": %1, "records": 12})").arg(seed).toUtf8();
    QTest::newRow("listed, quiet") << QByteArray(
        R"({"records": [{"number": 1, "waveform": {"range": 10, "noise": 0}},
                        {"number": 2, "waveform": {"range": 10000, "noise": 0}}]})");
    QTest::newRow("listed, very noisy") << QByteArray(
        R"({"records": [{"number": 1, "waveform": {"range": 100, "noise": 50}},
                        {"number": 2, "waveform": {"range": 3000, "noise": 50,
                         "faults": [{"distance": 20, "kind": "short", "strength": 1}]}}]})");
}

void TestInstrument::waveformHasFrameLikeBytes()
{
    QFETCH(QByteArray, options);
    auto instrument = make(options);
    QVERIFY(instrument);
    for (int slot : instrument->recordNumbers()) {
        const QByteArray samples = samplesOf(instrument->recordBlock(slot));
        QVERIFY2(samples.contains('\x0a'), qPrintable(QString::number(slot)));
        QVERIFY2(hasFrameLikeBreak(samples), qPrintable(QString::number(slot)));
    }
}

void TestInstrument::faultReflection_data()
{
    QTest::addColumn<int>("range");
    QTest::addColumn<double>("distance");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<double>("noise");
    QTest::newRow("open at 40 of 100 m") << 100 << 40.0 << "open" << 0.0;
    QTest::newRow("short at 40 of 100 m") << 100 << 40.0 << "short" << 0.0;
    QTest::newRow("open at 350 of 1000 m, noisy") << 1000 << 350.0 << "open" << 2.0;
    QTest::newRow("short at 800 of 1000 m, noisy") << 1000 << 800.0 << "short" << 2.0;
    QTest::newRow("short at 2200 of 5000 m") << 5000 << 2200.0 << "short" << 1.0;
    QTest::newRow("open at 6 of 10 m") << 10 << 6.0 << "open" << 0.5;
}

void TestInstrument::faultReflection()
{
    QFETCH(int, range);
    QFETCH(double, distance);
    QFETCH(QString, kind);
    QFETCH(double, noise);
    // The same record with and without the fault: same seed, so the same
    // noise; the difference is the reflection alone. The cable end is put at
    // the range, well away from the fault.
    const QString record = QStringLiteral(
        R"({"records": [{"waveform": {"range": %1, "length": %1, "noise": %2 %3}}]})");
    const QString fault =
        QStringLiteral(R"(, "faults": [{"distance": %1, "kind": "%2"}])").arg(distance).arg(kind);
    auto faulty = make(record.arg(range).arg(noise).arg(fault).toUtf8());
    auto sound = make(record.arg(range).arg(noise).arg(QString()).toUtf8());
    QVERIFY(faulty && sound);
    const QByteArray withFault = faulty->recordBlock(1);
    const QByteArray without = sound->recordBlock(1);
    QCOMPARE(withFault.mid(11, 22), without.mid(11, 22));

    const double step = emu::distanceStep(quint8(withFault.at(16)));
    const int expectedAt = int(std::lround(distance / step));
    const QByteArray a = samplesOf(withFault);
    const QByteArray b = samplesOf(without);
    int peakAt = -1;
    int peak = 0;
    for (int i = 0; i < a.size(); ++i) {
        const int difference = int(quint8(a.at(i))) - int(quint8(b.at(i)));
        if (std::abs(difference) > std::abs(peak)) {
            peak = difference;
            peakAt = i;
        }
    }
    QVERIFY2(
        std::abs(peakAt - expectedAt) <= 2,
        qPrintable(QStringLiteral("peak at %1, expected near %2").arg(peakAt).arg(expectedAt)));
    if (kind == QLatin1String("open"))
        QVERIFY2(peak >= 10, qPrintable(QString::number(peak)));
    else
        QVERIFY2(peak <= -10, qPrintable(QString::number(peak)));

    // The reflection also stands out in the trace itself, against the level
    // just in front of it.
    const int before = int(quint8(a.at(expectedAt - 5)));
    const int at = int(quint8(a.at(peakAt)));
    QVERIFY(kind == QLatin1String("open") ? at - before >= 8 : before - at >= 8);
}

void TestInstrument::invalidOptions_data()
{
    QTest::addColumn<QByteArray>("options");
    QTest::addColumn<QString>("key");
    QTest::newRow("unknown key") << QByteArray(R"({"colour": 1})") << "colour";
    QTest::newRow("model too big") << QByteArray(R"({"model": 256})") << "model";
    QTest::newRow("serial too short") << QByteArray(R"({"serial": "12345"})") << "serial";
    QTest::newRow("version not a date") << QByteArray(R"({"version": "2021-02-30"})") << "version";
    QTest::newRow("chunk word") << QByteArray(R"({"chunk": "half"})") << "chunk";
    QTest::newRow("delay negative") << QByteArray(R"({"delayMs": -5})") << "delayMs";
    QTest::newRow("records too many") << QByteArray(R"({"records": 256})") << "records";
    QTest::newRow("record unknown key")
        << QByteArray(R"({"records": [{"number": 1, "name": "x"}]})") << "records[0].name";
    QTest::newRow("record date") << QByteArray(R"({"records": [{"date": "18.02.2021"}]})")
                                 << "records[0].date";
    QTest::newRow("waveform unknown key")
        << QByteArray(R"({"records": [{"waveform": {"colour": 3}}]})")
        << "records[0].waveform.colour";
    QTest::newRow("range not in table")
        << QByteArray(R"({"records": [{"waveform": {"range": 150}}]})")
        << "records[0].waveform.range";
    QTest::newRow("fault kind")
        << QByteArray(
               R"({"records": [{"waveform": {"faults": [{"distance": 5, "kind": "break"}]}}]})")
        << "records[0].waveform.faults[0].kind";
    QTest::newRow("fault beyond the cable")
        << QByteArray(R"({"records": [{"waveform": {"range": 100, "length": 50,
                                       "faults": [{"distance": 60, "kind": "open"}]}}]})")
        << "records[0].waveform.faults[0].distance";
}

void TestInstrument::invalidOptions()
{
    QFETCH(QByteArray, options);
    QFETCH(QString, key);
    QString error;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("instrument options")));
    auto instrument = make(options, &error);
    QVERIFY(!instrument);
    QVERIFY2(error.startsWith(key + QLatin1String(": expected")) ||
                 error == key + QLatin1String(": unknown option"),
             qPrintable(error));
}

QTEST_GUILESS_MAIN(TestInstrument)
#include "tst_instrument.moc"
