#include "protocol/answerassembler.h"
#include "protocol/frame.h"
#include "protocol/tdrrecord.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QtTest>

using namespace protocol;

namespace {

// Frames are built here byte by byte rather than with the code under test.
QByteArray answer(quint8 command, const QByteArray &payload)
{
    QByteArray frame;
    frame.append(char(command));
    const int length = payload.size() + 4;
    frame.append(char(length & 0xff));
    frame.append(char(length >> 8));
    frame.append(payload);
    quint32 sum = 0;
    for (char c : frame)
        sum += quint8(c);
    frame.append(char(sum & 0xff));
    return frame;
}

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// A 283-byte record answer whose samples hold line feeds, each followed by a
// byte that could start an answer.
QByteArray recordAnswer(quint8 number, quint8 seed)
{
    QByteArray payload(kRecordBlockLength - 4, '\0');
    payload[0] = char(number);
    payload.replace(1, 7, hex("21021804123045"));
    payload[8] = char(4);
    payload[9] = char(200);
    payload[13] = char(100);
    payload.replace(14, 4, hex("e8030000"));
    payload.replace(18, 4, hex("d84d0200"));
    payload.replace(22, 4, hex("f0490200"));
    QByteArray samples;
    for (int i = 0; samples.size() < kSampleCount; ++i) {
        samples.append(char((seed + 13 * i) & 0xff));
        if (i % 9 == 0)
            samples.append(char(0x0a)).append(char(0x40 + (i / 9) % 7));
        if (i % 31 == 5)
            samples.append(char(0x0a)).append(char(0x0a));
    }
    samples.truncate(kSampleCount);
    samples[kSampleCount - 1] = char(0x0a);
    payload.replace(30, kSampleCount, samples);
    return answer(0x40, payload);
}

// Like recordAnswer, but with its own checksum byte being 0x0a.
QByteArray recordAnswerEndingInLineFeed(quint8 number)
{
    QByteArray frame = recordAnswer(number, 77);
    const quint8 shift = quint8(0x0a - quint8(frame.back()));
    frame[200] = char(quint8(frame.at(200)) + shift);
    frame[282] = char(0x0a);
    return frame;
}

QList<QByteArray> sessionAnswers()
{
    return {
        hex("420e00692102183030313233341e"),
        hex("420e00692102183030313233341e"),
        answer(0x41, hex("0721021804123045"
                         "0a21021804123146"
                         "4021021804123247")),
        recordAnswer(7, 1),
        recordAnswer(10, 2), // record number 0x0a right after the length
        recordAnswerEndingInLineFeed(64),
        recordAnswer(66, 200),
        answer(0x43, {}),
        answer(0x43, hex("0a")),
        answer(0x41, {}),
        answer(0x44, {}),
        hex("420e00542102183030313233350a"), // model 84, serial 001235, checksum 0x0a
        answer(0x45, hex("0a46")),
        answer(0x46, hex("0a400a41")),
    };
}

QByteArray concatenated(const QList<QByteArray> &frames)
{
    QByteArray all;
    for (const QByteArray &frame : frames)
        all += frame;
    return all;
}

// What the tool does with each answer, in words: equal descriptions mean equal
// handling.
QStringList handle(const QList<AnswerAssembler::Answer> &answers)
{
    QStringList out;
    TDRRecord record = emptyRecord();
    for (const AnswerAssembler::Answer &a : answers) {
        if (!a.checksumOk) {
            out << QStringLiteral("spoilt %1").arg(QString::fromLatin1(a.frame.toHex()));
            continue;
        }
        switch (a.command()) {
        case 0x42: {
            const auto id = parseIdentity(a.frame);
            if (id) {
                applyIdentity(record, *id);
                out << QStringLiteral("identity %1 %2 %3")
                           .arg(id->model)
                           .arg(id->serialNumber)
                           .arg(id->version);
            }
            break;
        }
        case 0x41: {
            QStringList texts;
            for (const RecordEntry &entry : parseRecordList(a.frame))
                texts << entry.text();
            out << QStringLiteral("list [%1]").arg(texts.join(QLatin1Char('|')));
            break;
        }
        case 0x40:
            if (applyRecordBlock(record, a.frame)) {
                const QByteArray sum =
                    QCryptographicHash::hash(recordBytes(record), QCryptographicHash::Sha1);
                out << recordFileName(record, quint8(a.frame.at(3))) + ' ' +
                           QString::fromLatin1(sum.toHex());
            }
            break;
        default:
            out << QStringLiteral("ack %1").arg(a.command(), 2, 16);
        }
    }
    return out;
}

QList<AnswerAssembler::Answer> feedPieces(const QByteArray &stream, QList<int> cuts)
{
    std::sort(cuts.begin(), cuts.end());
    AnswerAssembler assembler;
    QList<AnswerAssembler::Answer> out;
    int from = 0;
    for (int cut : qAsConst(cuts)) {
        out += assembler.feed(stream.mid(from, cut - from));
        from = cut;
    }
    out += assembler.feed(stream.mid(from));
    return out;
}

QList<QByteArray> framesOf(const QList<AnswerAssembler::Answer> &answers)
{
    QList<QByteArray> frames;
    for (const auto &a : answers)
        frames << a.frame;
    return frames;
}

} // namespace

class TestAssembler : public QObject
{
    Q_OBJECT

private slots:
    void wholeAnswer_data();
    void wholeAnswer();
    void everySplit_data();
    void everySplit();

    void continuationStartingWithAnswerByte_data();
    void continuationStartingWithAnswerByte();
    void twoAnswersInOnePiece();
    void tailAndHeadAcrossPieces();
    void declaredLengthBelowFour_data();
    void declaredLengthBelowFour();
    void garbage_data();
    void garbage();
    void boundedMemory();
    void clearDropsPartialAnswer();
    void emptyPieceDoesNotRepeatAnswer();

    void sessionWhole();
    void sessionEveryTwoPieceCut();
    void sessionRandomCuttings();
    void sessionCutAfterEveryLineFeed();
};

void TestAssembler::wholeAnswer_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("checksumOk");

    QTest::newRow("empty record list") << hex("41040045") << true;
    QTest::newRow("record list, one entry") << hex("410c0007210218041230451a") << true;
    QTest::newRow("identity") << hex("420e00692102183030313233341e") << true;
    QTest::newRow("record block") << recordAnswer(7, 1) << true;
    QTest::newRow("record block ending in 0x0a") << recordAnswerEndingInLineFeed(3) << true;
    QTest::newRow("write ack") << answer(0x43, {}) << true;
    QTest::newRow("serial ack") << answer(0x44, {}) << true;
    QTest::newRow("0x45 answer") << answer(0x45, hex("00")) << true;
    QTest::newRow("0x46 answer") << answer(0x46, hex("0a0a")) << true;
    QTest::newRow("wrong checksum") << hex("41040046") << false;
    QTest::newRow("identity with wrong checksum") << hex("420e00692102183030313233341f") << false;
}

void TestAssembler::wholeAnswer()
{
    QFETCH(QByteArray, frame);
    QFETCH(bool, checksumOk);

    AnswerAssembler assembler;
    const auto answers = assembler.feed(frame);
    QCOMPARE(answers.size(), 1);
    QCOMPARE(answers.at(0).frame.toHex(), frame.toHex());
    QCOMPARE(answers.at(0).checksumOk, checksumOk);
    QCOMPARE(int(answers.at(0).command()), int(quint8(frame.at(0))));
    QVERIFY(!assembler.isAssembling());
    QCOMPARE(assembler.discardedBytes(), 0);
}

void TestAssembler::everySplit_data()
{
    wholeAnswer_data();
}

void TestAssembler::everySplit()
{
    QFETCH(QByteArray, frame);
    QFETCH(bool, checksumOk);

    for (int cut = 0; cut <= frame.size(); ++cut) {
        AnswerAssembler assembler;
        const auto first = assembler.feed(frame.left(cut));
        QCOMPARE(first.size(), cut == frame.size() ? 1 : 0);
        if (cut < frame.size())
            QCOMPARE(assembler.rxHex(), QString::fromLatin1(frame.left(cut).toHex()));
        const auto answers = first + assembler.feed(frame.mid(cut));
        QCOMPARE(answers.size(), 1);
        QCOMPARE(answers.at(0).frame, frame);
        QCOMPARE(answers.at(0).checksumOk, checksumOk);
    }
}

void TestAssembler::continuationStartingWithAnswerByte_data()
{
    QTest::addColumn<int>("byte");
    for (int b = 0x40; b <= 0x46; ++b)
        QTest::addRow("continuation starts with 0x%x", b) << b;
}

void TestAssembler::continuationStartingWithAnswerByte()
{
    QFETCH(int, byte);

    const QByteArray frame = answer(0x40, QByteArray("\x07\x0a", 2) + char(byte) + "\x01\x02");
    const int cut = frame.indexOf('\x0a') + 1;
    AnswerAssembler assembler;
    QVERIFY(assembler.feed(frame.left(cut)).isEmpty());
    const auto answers = assembler.feed(frame.mid(cut));
    QCOMPARE(answers.size(), 1);
    QCOMPARE(answers.at(0).frame, frame);
    QVERIFY(answers.at(0).checksumOk);
}

void TestAssembler::twoAnswersInOnePiece()
{
    const QByteArray first = hex("420e00692102183030313233341e");
    const QByteArray second = hex("410c0007210218041230451a");
    AnswerAssembler assembler;
    const auto answers = assembler.feed(first + second);
    QCOMPARE(framesOf(answers), (QList<QByteArray>{first, second}));
    QVERIFY(!assembler.isAssembling());
}

void TestAssembler::tailAndHeadAcrossPieces()
{
    const QByteArray first = recordAnswer(1, 9);
    const QByteArray second = hex("420e00692102183030313233341e");
    const QByteArray third = hex("41040045");
    const QByteArray stream = first + second + third;
    AnswerAssembler assembler;
    // head of the first | its tail and the head of the second | the rest
    auto answers = assembler.feed(stream.left(100));
    QVERIFY(answers.isEmpty());
    answers += assembler.feed(stream.mid(100, first.size() - 100 + 5));
    QCOMPARE(framesOf(answers), QList<QByteArray>{first});
    QCOMPARE(assembler.rxHex(), QString::fromLatin1(second.left(5).toHex()));
    answers += assembler.feed(stream.mid(first.size() + 5));
    QCOMPARE(framesOf(answers), (QList<QByteArray>{first, second, third}));
}

void TestAssembler::declaredLengthBelowFour_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("samePiece");
    for (int length = 0; length < 4; ++length) {
        QTest::addRow("length %d, then an answer in the same piece", length) << length << true;
        QTest::addRow("length %d, then an answer in the next piece", length) << length << false;
    }
}

void TestAssembler::declaredLengthBelowFour()
{
    QFETCH(int, length);
    QFETCH(bool, samePiece);

    const QByteArray bogus = QByteArray(1, char(0x41)) + char(length) + '\0';
    const QByteArray good = hex("41040045");
    AnswerAssembler assembler;
    QList<AnswerAssembler::Answer> answers;
    if (samePiece) {
        answers = assembler.feed(bogus + good);
    } else {
        answers = assembler.feed(bogus);
        QVERIFY(answers.isEmpty());
        answers += assembler.feed(good);
    }
    QCOMPARE(framesOf(answers), QList<QByteArray>{good});
    QVERIFY(assembler.discardedBytes() >= 1);
}

void TestAssembler::garbage_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QList<QByteArray>>("frames");
    QTest::addColumn<int>("discarded");

    const QByteArray list = hex("41040045");
    const QByteArray id = hex("420e00692102183030313233341e");
    QTest::newRow("garbage before an answer")
        << hex("000aff3047") + list << QList<QByteArray>{list} << 5;
    QTest::newRow("garbage between answers")
        << list + hex("3f0a0a") + id << QList<QByteArray>{list, id} << 3;
    QTest::newRow("garbage after an answer") << id + hex("0a00") << QList<QByteArray>{id} << 2;
    QTest::newRow("only garbage") << hex("0a0a0a3f47ff") << QList<QByteArray>{} << 6;
    QTest::newRow("empty") << QByteArray() << QList<QByteArray>{} << 0;
}

void TestAssembler::garbage()
{
    QFETCH(QByteArray, stream);
    QFETCH(QList<QByteArray>, frames);
    QFETCH(int, discarded);

    AnswerAssembler assembler;
    QCOMPARE(framesOf(assembler.feed(stream)), frames);
    QCOMPARE(assembler.discardedBytes(), qint64(discarded));
    QVERIFY(!assembler.isAssembling());
}

void TestAssembler::boundedMemory()
{
    // The largest declared length, then bytes without end: memory stays within
    // one frame and every 65535 bytes make one (spoilt) answer.
    const QByteArray chunk = QByteArray("\x41\xff\xff").repeated(1000);
    AnswerAssembler assembler;
    int answers = 0;
    qint64 fed = 0;
    for (int i = 0; i < 300; ++i) {
        const auto got = assembler.feed(chunk);
        fed += chunk.size();
        for (const auto &a : got) {
            QCOMPARE(a.frame.size(), 0xffff);
            ++answers;
        }
        QVERIFY(assembler.rxHex().size() / 2 < 0xffff);
    }
    QCOMPARE(qint64(answers), fed / 0xffff);
    QCOMPARE(assembler.discardedBytes(), 0);
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

    // A length field cut in half is forgotten too.
    QVERIFY(assembler.feed(hex("411c")).isEmpty());
    assembler.clear();
    QCOMPARE(framesOf(assembler.feed(hex("41040045"))), QList<QByteArray>{hex("41040045")});
}

void TestAssembler::emptyPieceDoesNotRepeatAnswer()
{
    AnswerAssembler assembler;
    QCOMPARE(assembler.feed(hex("41040045")).size(), 1);
    QVERIFY(assembler.feed(QByteArray()).isEmpty());
    QVERIFY(assembler.feedHex(QString()).isEmpty());
    QVERIFY(assembler.feed(hex("0a")).isEmpty());
}

void TestAssembler::sessionWhole()
{
    const QList<QByteArray> frames = sessionAnswers();
    AnswerAssembler assembler;
    QList<AnswerAssembler::Answer> answers;
    for (const QByteArray &frame : frames)
        answers += assembler.feed(frame);
    QCOMPARE(framesOf(answers), frames);
    const QStringList handled = handle(answers);
    QCOMPARE(handled.size(), frames.size());
    QCOMPARE(handled.at(0), QStringLiteral("identity 105 1234 20210218"));
    QCOMPARE(handled.at(2), QStringLiteral("list [#007 2021-02-18 12_30_45|#010 2021-02-18 "
                                           "12_31_46|#064 2021-02-18 12_32_47]"));
    QVERIFY(handled.at(3).startsWith(QStringLiteral("#007 2021-02-18 12_30_45 001m sn001234.tdr")));
    QVERIFY(handled.at(5).startsWith(QStringLiteral("#064 ")));
    QCOMPARE(handled.at(11), QStringLiteral("identity 84 1235 20210218"));
    QCOMPARE(handled.last(), QStringLiteral("ack 46"));
    QCOMPARE(assembler.discardedBytes(), 0);
}

void TestAssembler::sessionEveryTwoPieceCut()
{
    const QList<QByteArray> frames = sessionAnswers();
    const QByteArray stream = concatenated(frames);
    const QStringList expected = handle(feedPieces(stream, {}));
    for (int cut = 0; cut <= stream.size(); ++cut) {
        const auto answers = feedPieces(stream, {cut});
        if (framesOf(answers) != frames)
            QFAIL(qPrintable(QStringLiteral("cut after byte %1 changes the answers").arg(cut)));
        QCOMPARE(handle(answers), expected);
    }
}

void TestAssembler::sessionRandomCuttings()
{
    const QList<QByteArray> frames = sessionAnswers();
    const QByteArray stream = concatenated(frames);
    const QStringList expected = handle(feedPieces(stream, {}));
    QRandomGenerator random(20210218);
    for (int round = 0; round < 1000; ++round) {
        QList<int> cuts;
        const int count = random.bounded(1, 60);
        for (int i = 0; i < count; ++i)
            cuts << random.bounded(stream.size() + 1);
        const auto answers = feedPieces(stream, cuts);
        if (framesOf(answers) != frames) {
            std::sort(cuts.begin(), cuts.end());
            QString where;
            for (int c : qAsConst(cuts))
                where += QString::number(c) + ' ';
            QFAIL(qPrintable(QStringLiteral("round %1, cuts %2").arg(round).arg(where)));
        }
        QCOMPARE(handle(answers), expected);
    }
}

void TestAssembler::sessionCutAfterEveryLineFeed()
{
    // The link client hands over what has arrived, cut after each 0x0a, as hex
    // text. Arrivals come in radio chunks of random size.
    const QList<QByteArray> frames = sessionAnswers();
    const QByteArray stream = concatenated(frames);
    QVERIFY(stream.count('\x0a') > 20);
    QRandomGenerator random(4242);
    for (int round = 0; round < 200; ++round) {
        AnswerAssembler assembler;
        QList<AnswerAssembler::Answer> answers;
        QByteArray buffered;
        int pos = 0;
        // Round 0: everything arrives at once, so the pieces are exactly the
        // runs ending in 0x0a.
        while (pos < stream.size()) {
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

QTEST_GUILESS_MAIN(TestAssembler)
#include "tst_assembler.moc"
