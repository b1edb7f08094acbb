// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/commandqueue.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

// Frames by short name. The queue looks at no answer's bytes: any checked
// answer is one ("a").
QByteArray command(const QString &name)
{
    static const QMap<QString, QString> fixed{
        {"list", "41040045"}, {"ver", "4205000047"}, {"ser", "440a0031323334353683"}};
    const QString number = QStringLiteral("%1").arg(name.mid(1).toInt(), 2, 16, QLatin1Char('0'));
    if (fixed.contains(name))
        return QByteArray::fromHex(fixed.value(name).toLatin1());
    return QByteArray::fromHex(((name.startsWith('r') ? "400500" : "431b01") + number + "00")
                                   .toLatin1()); // ReadRecord, WriteRecord
}

void fireTimeout(CommandQueue &queue)
{
    QMetaObject::invokeMethod(queue.findChild<QTimer *>(), "timeout");
}

} // namespace

class TestCommandQueue : public QObject
{
    Q_OBJECT

private slots:
    void conversation_data();
    void conversation();
    void clearDropsEverything();
    void timeoutRepeatsThenGivesUp();
    void progressExtendsTheWaitWithinItsBound();
};

void TestCommandQueue::conversation_data()
{
    // "commands | what happens | every frame sent | answers owed, commands
    // given up": "!x" goes out at once, a plain name is queued; "a" is a
    // checked answer, "s" a spoilt one, "t" a time-out, "x" the command in
    // flight given up.
    QTest::addColumn<QString>("script");
    QTest::newRow("any answer releases the command in flight") << "r7 r8 r9 | a a | r7 r8 r9 | 0 0";
    QTest::newRow("at once goes out when idle; waits for nothing")
        << "!ver r4 | a a | ver r4 | 0 0";
    QTest::newRow("at once while busy: its answer is owed first")
        << "r4 r5 !list | a | r4 list | 0 0";
    QTest::newRow("spoilt answer: repeated at once, its answer owed")
        << "w20 w21 | s a a | w20 w20 w21 | 0 0";
    QTest::newRow("spoilt while an answer is owed: no repeat")
        << "r4 !list | s a a | r4 list | 0 0";
    QTest::newRow("late answer, then the repeat's: both absorbed before the next")
        << "w20 w21 w22 | t a a | w20 w20 w21 | 0 0";
    QTest::newRow("first answer lost: a quiet time-out, never a skip")
        << "w20 w21 w22 | t a t a | w20 w20 w21 w22 | 0 0";
    QTest::newRow("owed answers wait while the next is held")
        << "w20 w21 | t t a | w20 w20 w20 | 2 0";
    QTest::newRow("give-up after three sends owes three")
        << "w20 w21 | t t t a | w20 w20 w20 | 2 2";
    QTest::newRow("given up at once: its answer pays, then the next goes")
        << "r1 r2 | x a a | r1 r2 | 0 0";
}

void TestCommandQueue::conversation()
{
    QFETCH(QString, script);
    const QStringList parts = script.split(QStringLiteral(" | "));
    const QStringList counts = parts.at(3).split(QLatin1Char(' '));

    CommandQueue q;
    q.setAnswerTimeout(60000); // time-outs come from the script only
    QMap<QByteArray, QString> names;
    QStringList out;
    const auto sendNext = [&] {
        const QByteArray frame = q.takeNext();
        if (!frame.isEmpty())
            out << names.value(frame);
    };
    connect(&q, &CommandQueue::repeatRequested, this,
            [&](const QByteArray &frame) { out << names.value(frame); });
    connect(&q, &CommandQueue::settled, this, sendNext);
    QSignalSpy gaveUp(&q, &CommandQueue::gaveUp);
    for (QString name : parts.at(0).split(QLatin1Char(' '))) {
        const bool now = name.startsWith('!') && !name.remove(0, 1).isEmpty();
        names.insert(command(name), name);
        if (now) {
            q.startNow(command(name));
            out << name;
        } else {
            q.enqueue(command(name));
            sendNext();
        }
    }
    for (const QString &step : parts.at(1).split(QLatin1Char(' '))) {
        if (step == QLatin1String("t"))
            fireTimeout(q);
        else if (step == QLatin1String("s"))
            q.answerSpoilt();
        else if (step == QLatin1String("x"))
            QVERIFY(q.abandonInFlight());
        else
            q.answerReceived();
        sendNext();
    }
    QCOMPARE(out.join(QLatin1Char(' ')), parts.at(2));
    QCOMPARE(q.owedAnswers(), counts.at(0).toInt());
    QCOMPARE(gaveUp.count(), counts.at(1) == QLatin1String("0") ? 0 : 1);
    if (!gaveUp.isEmpty())
        QCOMPARE(gaveUp.at(0).at(1).toString(), counts.at(1));
}

void TestCommandQueue::clearDropsEverything()
{
    CommandQueue queue;
    QCOMPARE(queue.clear(), 0);
    for (const char *name : {"w1", "w2", "w3"})
        queue.enqueue(command(name));
    QCOMPARE(queue.takeNext(), command("w1"));
    queue.answerSpoilt();
    QVERIFY(queue.answerReceived());
    QCOMPARE(queue.owedAnswers(), 1);
    QVERIFY(queue.takeNext().isEmpty()); // held while an answer is owed
    // A new link owes nothing of the old one.
    QCOMPARE(queue.clear(), 2);
    QVERIFY(queue.isEmpty());
    QCOMPARE(queue.owedAnswers(), 0);
    QVERIFY(!queue.answerReceived());
}

void TestCommandQueue::timeoutRepeatsThenGivesUp()
{
    CommandQueue queue;
    queue.setAnswerTimeout(1);
    QSignalSpy repeats(&queue, &CommandQueue::repeatRequested);
    QSignalSpy gaveUp(&queue, &CommandQueue::gaveUp);
    for (const char *name : {"ver", "r1", "list"})
        queue.enqueue(command(name));
    QCOMPARE(queue.takeNext(), command("ver"));
    QTRY_COMPARE(gaveUp.count(), 1);
    QCOMPARE(repeats.count(), 2);
    QCOMPARE(repeats.at(1).at(0).toByteArray(), command("ver"));
    QCOMPARE(gaveUp.at(0).at(0).toByteArray(), command("ver"));
    QCOMPARE(gaveUp.at(0).at(1).toInt(), 3);
    QVERIFY(queue.isEmpty());
    // The three answers owed are taken as lost after a quiet time-out.
    QTRY_COMPARE(queue.owedAnswers(), 0);
    queue.startNow(command("w6"));
    QVERIFY(queue.answerReceived());
}

void TestCommandQueue::progressExtendsTheWaitWithinItsBound()
{
    CommandQueue queue;
    // The time an answer takes at the slowest link speed, on top of the
    // time-out: 283 bytes for a record, 4 + 8 * 256 for the longest list.
    QCOMPARE(queue.answerBound(command("r1")), 3283);
    QCOMPARE(queue.answerBound(command("w1")), 5052);
    auto *timer = queue.findChild<QTimer *>();
    queue.progressMade();
    QVERIFY(!timer->isActive()); // nothing in flight, nothing owed

    // Bytes that keep coming extend the wait, but only up to the bound.
    queue.setAnswerTimeout(40);
    queue.setLinkSpeed(2830); // 100 ms for a record
    QSignalSpy repeats(&queue, &CommandQueue::repeatRequested);
    queue.enqueue(command("r1"));
    QCOMPARE(queue.takeNext(), command("r1"));
    QTimer babble;
    connect(&babble, &QTimer::timeout, &queue, &CommandQueue::progressMade);
    babble.start(5);
    QTRY_COMPARE(repeats.count(), 1);
    QVERIFY(queue.answerReceived());
    QCOMPARE(queue.owedAnswers(), 1);
}

QTEST_GUILESS_MAIN(TestCommandQueue)
#include "tst_commandqueue.moc"
