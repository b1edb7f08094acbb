#include "protocol/commandqueue.h"
#include "protocol/frame.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

using namespace protocol;

namespace {

QByteArray hex(const QString &text)
{
    return QByteArray::fromHex(text.toLatin1());
}

// A 283-byte record answer for `number`; only its head matters to the queue.
QByteArray recordAnswer(quint8 number)
{
    QByteArray frame(kRecordBlockLength, '\0');
    frame[0] = char(0x40);
    frame[3] = char(number);
    sealFrame(frame);
    return frame;
}

const QString kWriteFrame = QStringLiteral("43") + QString(2 * (kRecordBlockLength - 1), '0');

} // namespace

class TestCommandQueue : public QObject
{
    Q_OBJECT

private slots:
    void startNow();
    void matching_data();
    void matching();
    void lateAnswerToRepeatedReadReleasesOnce();
    void repeatsTwiceThenGivesUp();
    void answerStopsTheTimeout();
    void pieceRestartsTheTimeout();
    void spoiltAnswer();
    void clearCountsDroppedCommands();
};

void TestCommandQueue::startNow()
{
    CommandQueue queue;
    queue.enqueue(readRecordFrame(4));
    // Nothing in flight: the frame goes out ahead of the waiting ones.
    QVERIFY(queue.startNow(kGetVersionFrame));
    QCOMPARE(queue.inFlight(), kGetVersionFrame);
    QCOMPARE(queue.pending(), QList<QString>{readRecordFrame(4)});

    // Something in flight: it waits behind the others.
    QVERIFY(!queue.startNow(kGetListFrame));
    QCOMPARE(queue.inFlight(), kGetVersionFrame);
    QCOMPARE(queue.pending(), (QList<QString>{readRecordFrame(4), kGetListFrame}));

    QVERIFY(queue.answerReceived(hex("420e00692102183030313233341e")));
    QCOMPARE(queue.takeNext(), readRecordFrame(4));
    QVERIFY(queue.answerReceived(recordAnswer(4)));
    QCOMPARE(queue.takeNext(), kGetListFrame);
}

void TestCommandQueue::matching_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("matches");

    const QByteArray identity = hex("420e00692102183030313233341e");
    const QByteArray list = hex("41040045");
    QTest::newRow("identity answers GetVersion") << kGetVersionFrame << identity << true;
    QTest::newRow("list answers GetList") << kGetListFrame << list << true;
    QTest::newRow("list does not answer GetVersion") << kGetVersionFrame << list << false;
    QTest::newRow("identity does not answer GetList") << kGetListFrame << identity << false;
    QTest::newRow("record 7 answers ReadRecord 7") << readRecordFrame(7) << recordAnswer(7) << true;
    QTest::newRow("record 8 does not answer ReadRecord 7")
        << readRecordFrame(7) << recordAnswer(8) << false;
    QTest::newRow("record 0 answers ReadRecord 0") << readRecordFrame(0) << recordAnswer(0) << true;
    QTest::newRow("list does not answer ReadRecord") << readRecordFrame(7) << list << false;
    QTest::newRow("0x43 answers WriteRecord") << kWriteFrame << hex("43040047") << true;
    QTest::newRow("0x44 answers SetSerial") << setSerialFrame("123456") << hex("44040048") << true;
    QTest::newRow("0x44 does not answer WriteRecord") << kWriteFrame << hex("44040048") << false;
    QTest::newRow("0x45 answers nothing we send") << kGetVersionFrame << hex("45040049") << false;
    QTest::newRow("nothing in flight") << QString() << identity << false;
}

void TestCommandQueue::matching()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, answer);
    QFETCH(bool, matches);

    CommandQueue queue;
    queue.enqueue(kGetListFrame);
    if (!command.isEmpty())
        QVERIFY(queue.startNow(command));
    QCOMPARE(queue.answerReceived(answer), matches);
    QCOMPARE(queue.isIdle(), matches || command.isEmpty());
    // A match releases exactly one frame; a mismatch none.
    QCOMPARE(queue.takeNext().isEmpty(), !(matches || command.isEmpty()));
}

void TestCommandQueue::lateAnswerToRepeatedReadReleasesOnce()
{
    CommandQueue queue;
    QSignalSpy repeats(&queue, &CommandQueue::repeatRequested);
    queue.enqueue(readRecordFrame(7));
    queue.enqueue(readRecordFrame(8));
    queue.enqueue(readRecordFrame(9));
    QCOMPARE(queue.takeNext(), readRecordFrame(7));

    // The first answer is lost on the way (spoilt): the request goes out again.
    queue.answerSpoilt(0x40);
    QCOMPARE(repeats.count(), 1);
    QCOMPARE(repeats.at(0).at(0).toString(), readRecordFrame(7));

    // Both the slow first answer and the answer to the repeat arrive.
    QVERIFY(queue.answerReceived(recordAnswer(7)));
    QCOMPARE(queue.takeNext(), readRecordFrame(8));
    QVERIFY(!queue.answerReceived(recordAnswer(7)));
    QCOMPARE(queue.inFlight(), readRecordFrame(8));
    QCOMPARE(queue.takeNext(), QString());
    QCOMPARE(queue.pending(), QList<QString>{readRecordFrame(9)});
}

void TestCommandQueue::repeatsTwiceThenGivesUp()
{
    CommandQueue queue;
    QCOMPARE(queue.answerTimeout(), 3000);
    queue.setAnswerTimeout(50);
    QSignalSpy repeats(&queue, &CommandQueue::repeatRequested);
    QSignalSpy gaveUp(&queue, &CommandQueue::gaveUp);
    queue.enqueue(kGetVersionFrame);
    queue.enqueue(readRecordFrame(1));
    queue.enqueue(kGetListFrame);
    QCOMPARE(queue.takeNext(), kGetVersionFrame);

    QVERIFY(gaveUp.wait(5000));
    QCOMPARE(repeats.count(), 2);
    for (const auto &args : qAsConst(repeats))
        QCOMPARE(args.at(0).toString(), kGetVersionFrame);
    QCOMPARE(gaveUp.count(), 1);
    QCOMPARE(gaveUp.at(0).at(0).toString(), kGetVersionFrame);
    QCOMPARE(gaveUp.at(0).at(1).toInt(), 3);
    QVERIFY(queue.isEmpty());

    // Nothing more happens afterwards.
    QVERIFY(!gaveUp.wait(200));
    QCOMPARE(repeats.count(), 2);
}

void TestCommandQueue::answerStopsTheTimeout()
{
    CommandQueue queue;
    queue.setAnswerTimeout(30);
    QSignalSpy repeats(&queue, &CommandQueue::repeatRequested);
    QSignalSpy gaveUp(&queue, &CommandQueue::gaveUp);
    queue.enqueue(kGetListFrame);
    QCOMPARE(queue.takeNext(), kGetListFrame);
    QVERIFY(queue.answerReceived(hex("41040045")));
    QVERIFY(!repeats.wait(200));
    QCOMPARE(gaveUp.count(), 0);

    // A mismatching answer does not stop it.
    QVERIFY(queue.startNow(kGetVersionFrame));
    QVERIFY(!queue.answerReceived(hex("41040045")));
    QVERIFY(repeats.wait(5000));
}

void TestCommandQueue::pieceRestartsTheTimeout()
{
    // Pieces keep arriving for longer than the time-out: no repeat while they
    // do, and the repeat comes one time-out after the last of them.
    const int timeout = 300;
    CommandQueue queue;
    queue.setAnswerTimeout(timeout);
    QSignalSpy repeats(&queue, &CommandQueue::repeatRequested);
    QVERIFY(queue.startNow(kGetListFrame));

    QElapsedTimer clock;
    clock.start();
    QTimer pieces;
    pieces.setTimerType(Qt::PreciseTimer);
    pieces.setInterval(timeout / 4);
    qint64 lastPiece = 0;
    int count = 0;
    bool repeatedEarly = false;
    connect(&pieces, &QTimer::timeout, this, [&] {
        repeatedEarly = repeatedEarly || repeats.count() > 0;
        queue.pieceReceived();
        lastPiece = clock.elapsed();
        if (++count == 8)
            pieces.stop();
    });
    pieces.start();

    QVERIFY(repeats.wait(10000));
    QVERIFY(!repeatedEarly);
    QCOMPARE(count, 8);
    QVERIFY(lastPiece > timeout);
    // Timers may fire up to 5 % early.
    QVERIFY2(clock.elapsed() >= lastPiece + timeout * 9 / 10,
             qPrintable(QStringLiteral("repeat at %1 ms, last piece at %2 ms")
                            .arg(clock.elapsed())
                            .arg(lastPiece)));
}

void TestCommandQueue::spoiltAnswer()
{
    CommandQueue queue;
    QSignalSpy repeats(&queue, &CommandQueue::repeatRequested);
    QSignalSpy gaveUp(&queue, &CommandQueue::gaveUp);

    // Nothing in flight: nothing to repeat.
    queue.answerSpoilt(0x42);
    QCOMPARE(repeats.count(), 0);

    queue.enqueue(kGetVersionFrame);
    queue.enqueue(kGetListFrame);
    QCOMPARE(queue.takeNext(), kGetVersionFrame);

    // A spoilt answer with another command byte is not ours.
    queue.answerSpoilt(0x41);
    QCOMPARE(repeats.count(), 0);

    // Ours is repeated at once, without waiting for the time-out.
    queue.answerSpoilt(0x42);
    QCOMPARE(repeats.count(), 1);
    queue.answerSpoilt(0x42);
    QCOMPARE(repeats.count(), 2);
    QCOMPARE(gaveUp.count(), 0);
    queue.answerSpoilt(0x42);
    QCOMPARE(repeats.count(), 2);
    QCOMPARE(gaveUp.count(), 1);
    QCOMPARE(gaveUp.at(0).at(0).toString(), kGetVersionFrame);
    QCOMPARE(gaveUp.at(0).at(1).toInt(), 2);
    QVERIFY(queue.isEmpty());
}

void TestCommandQueue::clearCountsDroppedCommands()
{
    CommandQueue queue;
    QCOMPARE(queue.clear(), 0);
    queue.enqueue(readRecordFrame(1));
    queue.enqueue(readRecordFrame(2));
    QCOMPARE(queue.clear(), 2);
    QVERIFY(queue.isEmpty());

    queue.enqueue(readRecordFrame(1));
    queue.enqueue(readRecordFrame(2));
    queue.enqueue(readRecordFrame(3));
    QCOMPARE(queue.takeNext(), readRecordFrame(1));
    QCOMPARE(queue.clear(), 3);
    QVERIFY(queue.isIdle());
    QVERIFY(!queue.answerReceived(recordAnswer(1)));

    // The in-flight command's time-out is cancelled with it.
    queue.setAnswerTimeout(20);
    QSignalSpy repeats(&queue, &CommandQueue::repeatRequested);
    QVERIFY(queue.startNow(kGetListFrame));
    QCOMPARE(queue.clear(), 1);
    QVERIFY(!repeats.wait(200));
}

QTEST_GUILESS_MAIN(TestCommandQueue)
#include "tst_commandqueue.moc"
