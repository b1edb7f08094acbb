// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/answerassembler.h"
#include "protocol/frame.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

// Frames are built here byte by byte rather than with the code under test.
QByteArray answer(quint8 command, const QByteArray &payload)
{
    QByteArray frame(1, char(command));
    const int length = payload.size() + 4;
    frame.append(char(length & 0xff)).append(char(length >> 8)).append(payload);
    quint32 sum = 0;
    for (char c : frame)
        sum += quint8(c);
    return frame.append(char(sum & 0xff));
}

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// A 283-byte record answer whose samples hold line feeds, each followed by a
// byte that could start an answer.
QByteArray recordAnswer(quint8 number, quint8 seed)
{
    QByteArray payload = QByteArray(1, char(number)) + hex("2102180412304504c800640a");
    for (int i = 0; payload.size() < 279; ++i) {
        payload.append(char((seed + 13 * i) & 0xff));
        if (i % 9 == 0)
            payload.append(char(0x0a)).append(char(0x40 + (i / 9) % 7));
    }
    return answer(0x40, payload.left(279));
}

using Answers = QList<AnswerAssembler::Answer>;

Answers feedCut(const QByteArray &stream, int cut)
{
    AnswerAssembler assembler;
    const Answers first = assembler.feed(stream.left(cut));
    return first + assembler.feed(stream.mid(cut));
}

QList<QByteArray> framesOf(const Answers &answers, bool sound = true)
{
    QList<QByteArray> frames;
    for (const auto &a : answers) {
        if (a.checksumOk == sound)
            frames << a.frame;
    }
    return frames;
}

// One answer of every kind.
QList<QByteArray> everyKind()
{
    return {hex("41040045"),
            hex("410c0007210218041230451a"),
            hex("420e00692102183030313233341e"),
            recordAnswer(7, 1),
            recordAnswer(10, 2), // record number 0x0a right after the length
            hex("40040044"),     // empty slot
            answer(0x43, {}),
            answer(0x44, hex("0a")),
            answer(0x45, hex("0a46")),
            answer(0x46, hex("0a400a41"))};
}

} // namespace

class TestAssembler : public QObject
{
    Q_OBJECT

private slots:
    void everyCut_data();
    void everyCut();
    void plausibleLengths_data();
    void plausibleLengths();
    void strayByteBeforeEveryAnswer();
    void garbageFrameBeforeEveryAnswer_data();
    void garbageFrameBeforeEveryAnswer();
    void sessionCutAnywhere();
    void boundedMemory();
    void clearDropsPartialAnswer();
};

void TestAssembler::everyCut_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("checksumOk");

    const QList<QByteArray> frames = everyKind();
    for (int i = 0; i < frames.size(); ++i)
        QTest::addRow("%d: %s", i, frames.at(i).left(4).toHex().constData())
            << frames.at(i) << true;
    QTest::newRow("list, wrong checksum") << hex("41040047") << false;
    QTest::newRow("identity, wrong checksum") << hex("420e00692102183030313233341f") << false;
}

void TestAssembler::everyCut()
{
    QFETCH(QByteArray, frame);
    QFETCH(bool, checksumOk);

    for (int cut = 0; cut <= frame.size(); ++cut) {
        AnswerAssembler assembler;
        const Answers first = assembler.feed(frame.left(cut));
        QCOMPARE(first.size(), cut == frame.size() ? 1 : 0);
        if (cut < frame.size())
            QCOMPARE(assembler.rxHex(), QString::fromLatin1(frame.left(cut).toHex()));
        const Answers answers = first + assembler.feed(frame.mid(cut));
        QCOMPARE(answers.size(), 1);
        QCOMPARE(answers.at(0).frame, frame);
        QCOMPARE(answers.at(0).checksumOk, checksumOk);
        QVERIFY(!assembler.isAssembling());
        QCOMPARE(assembler.discardedBytes(), 0);
    }
}

void TestAssembler::plausibleLengths_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("plausible");

    QTest::newRow("record block") << 0x40 << 283 << true;
    QTest::newRow("empty slot") << 0x40 << 4 << true;
    QTest::newRow("three bytes") << 0x40 << 3 << false;
    QTest::newRow("short record") << 0x40 << 282 << true;
    QTest::newRow("record longer than a block") << 0x40 << 284 << false;
    QTest::newRow("list with half an entry") << 0x41 << 16 << true;
    QTest::newRow("list of 256 entries and 7 bytes") << 0x41 << 2059 << true;
    QTest::newRow("list of 257 entries") << 0x41 << 2060 << false;
    QTest::newRow("short identity") << 0x42 << 5 << true;
    QTest::newRow("0x46 of 65535") << 0x46 << 65535 << true;
    QTest::newRow("0x47") << 0x47 << 4 << false;
}

void TestAssembler::plausibleLengths()
{
    QFETCH(int, command);
    QFETCH(int, length);
    QFETCH(bool, plausible);
    QCOMPARE(protocol::answerLengthPlausible(quint8(command), length), plausible);
}

void TestAssembler::strayByteBeforeEveryAnswer()
{
    for (const QByteArray &frame : everyKind()) {
        for (int stray = 0; stray < 256; ++stray) {
            const QByteArray stream = char(stray) + frame;
            for (int cut = 0; cut <= stream.size(); ++cut) {
                const Answers answers = feedCut(stream, cut);
                if (framesOf(answers) != QList<QByteArray>{frame} ||
                    !framesOf(answers, false).isEmpty())
                    QFAIL(qPrintable(QStringLiteral("stray %1 before %2, cut at %3")
                                         .arg(stray, 2, 16, QLatin1Char('0'))
                                         .arg(QString::fromLatin1(frame.left(3).toHex()))
                                         .arg(cut)));
            }
        }
    }
}

void TestAssembler::garbageFrameBeforeEveryAnswer_data()
{
    QTest::addColumn<QByteArray>("garbage");
    QTest::addColumn<QList<int>>("spoiltEnds"); // where each spoilt frame ends

    QTest::newRow("0x40 frame, bad checksum") << hex("40040000") << QList<int>{4};
    QTest::newRow("0x41 frame, bad checksum") << hex("41040046") << QList<int>{4};
    QTest::newRow("0x43 frame, bad checksum ending in a start byte")
        << hex("43040045") << QList<int>{4};
    QTest::newRow("0x46 frame, 0x0a inside") << hex("4605000a00") << QList<int>{5};
    QTest::newRow("identity, bad checksum")
        << hex("420e00692102183030313233341f") << QList<int>{14};
    // The stray 0x45 may start an answer of 1091 bytes, inside which the bad
    // frame is not reported; the answer after it still comes through.
    QTest::newRow("stray byte, then a bad frame") << hex("4543040000") << QList<int>{};
    QTest::newRow("lengths below four and one no answer has")
        << hex("410000410100410200410300410340401b") << QList<int>{};
    QTest::newRow("two bad frames") << hex("4404000045040000") << QList<int>{4, 8};
}

void TestAssembler::garbageFrameBeforeEveryAnswer()
{
    QFETCH(QByteArray, garbage);
    QFETCH(QList<int>, spoiltEnds);

    for (const QByteArray &frame : everyKind()) {
        const QByteArray stream = garbage + frame;
        for (int cut = 0; cut <= stream.size(); ++cut) {
            const Answers answers = feedCut(stream, cut);
            const QString where = QStringLiteral("before %1, cut at %2")
                                      .arg(QString::fromLatin1(frame.left(3).toHex()))
                                      .arg(cut);
            QVERIFY2(framesOf(answers) == QList<QByteArray>{frame}, qPrintable(where));
            // Still reported, and the caller may repeat at once only where no
            // answer had begun behind it yet.
            int spoilt = 0;
            for (const auto &a : answers) {
                if (a.checksumOk)
                    continue;
                const int end = spoiltEnds.value(spoilt++);
                QCOMPARE(a.frame, garbage.mid(end - a.frame.size(), a.frame.size()));
                QVERIFY2(a.followedByAnswer == (cut != end), qPrintable(where));
            }
            QCOMPARE(spoilt, spoiltEnds.size());
        }
    }
}

void TestAssembler::sessionCutAnywhere()
{
    const QList<QByteArray> frames = everyKind();
    QByteArray stream;
    for (const QByteArray &frame : frames)
        stream += frame;
    // As the link hands it over: what has arrived in radio chunks of random
    // size, cut after each 0x0a, as hex text.
    QRandomGenerator random(4242);
    for (int round = 0; round < 200; ++round) {
        AnswerAssembler assembler;
        Answers answers;
        QByteArray buffered;
        for (int pos = 0; pos < stream.size();) {
            const int chunk = round == 0 ? stream.size() : random.bounded(1, 700);
            buffered += stream.mid(pos, chunk);
            pos += chunk;
            while (!buffered.isEmpty()) {
                const int lf = buffered.indexOf('\x0a');
                const int take = lf < 0 ? buffered.size() : lf + 1;
                answers += assembler.feedHex(QString::fromLatin1(buffered.left(take).toHex()));
                buffered.remove(0, take);
            }
        }
        QCOMPARE(framesOf(answers), frames);
    }
}

void TestAssembler::boundedMemory()
{
    // Bytes without end that each declare the largest length: memory stays
    // within one frame, and spoilt frames are reported once, without overlap.
    const QByteArray chunk = hex("43ffff").repeated(1000);
    AnswerAssembler assembler;
    qint64 reported = 0;
    for (int i = 0; i < 300; ++i) {
        for (const auto &a : assembler.feed(chunk)) {
            QCOMPARE(a.frame.size(), 0xffff);
            reported += a.frame.size();
        }
        QVERIFY(assembler.rxHex().size() / 2 < 0xffff);
    }
    QCOMPARE(reported, 300 * 3000 / 0xffff * 0xffff);
}

void TestAssembler::clearDropsPartialAnswer()
{
    AnswerAssembler assembler;
    QVERIFY(assembler.feed(hex("420e006921")).isEmpty());
    QVERIFY(assembler.isAssembling());
    assembler.clear();
    QVERIFY(!assembler.isAssembling());
    QCOMPARE(assembler.rxHex(), QString());
    QCOMPARE(framesOf(assembler.feed(hex("41040045"))), QList<QByteArray>{hex("41040045")});
}

QTEST_GUILESS_MAIN(TestAssembler)
#include "tst_assembler.moc"
