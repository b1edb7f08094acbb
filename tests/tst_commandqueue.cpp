// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/commandqueue.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

// Frames by short name. The queue looks at the command byte and, for
// ReadRecord, the record number only, and gets checked answers only.
QString command(const QString &name)
{
    static const QMap<QString, QString> fixed{
        {"list", "41040045"}, {"ver", "4205000047"}, {"ser", "440a0031323334353683"}};
    const QString number = QStringLiteral("%1").arg(name.mid(1).toInt(), 2, 16, QLatin1Char('0'));
    if (fixed.contains(name))
        return fixed.value(name);
    return (name.startsWith('r') ? "400500" : "431b01") + number + "00"; // ReadRecord, WriteRecord
}

QByteArray answer(const QString &name)
{
    if (name.startsWith(QLatin1String("rec"))) // a whole record answer
        return QByteArray::fromHex("401b01") + char(name.mid(3).toInt()) + QByteArray(279, '\0');
    static const QMap<QString, QByteArray> fixed{
        {"empty", "40040044"}, {"list", "41040045"},  {"id", "420e00692102183030313233341e"},
        {"ack43", "43040047"}, {"ack44", "44040048"}, {"ack45", "45040049"},
        {"ack46", "4604004a"}};
    return QByteArray::fromHex(fixed.value(name));
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
    void quietSettlesOwedAnswers();
    void pieceRestartsTheTimeout();
};

void TestCommandQueue::conversation_data()
{
    // "queued | what arrives | every frame sent | answers owed, commands given
    // up": commands and answers by name; "t" is a time-out of the command in
    // flight, "sNN" a spoilt answer starting NN.
    QTest::addColumn<QString>("script");
    QTest::newRow("record answer releases its own ReadRecord only")
        << "r7 r8 | rec8 rec7 | r7 r8 | 0 0";
    QTest::newRow("startNow goes out at once when idle, else joins the queue")
        << "!ver r4 !list | id rec4 | ver r4 list | 0 0";
    QTest::newRow("empty slot answers any ReadRecord") << "r7 r8 | empty | r7 r8 | 0 0";
    QTest::newRow("GetVersion only by identity, repeated only on a spoilt 0x42")
        << "ver list | list ack45 s41 s43 id | ver list | 0 0";
    for (const char *ack : {"ack43", "ack44", "ack45", "ack46"}) {
        QTest::addRow("%s releases WriteRecord", ack)
            << "w20 w21 | " + QString(ack) + " | w20 w21 | 0 0";
        QTest::addRow("%s releases SetSerial", ack)
            << "ser ver | " + QString(ack) + " | ser ver | 0 0";
    }
    QTest::newRow("late 0x40-0x42 answers do not release a write")
        << "w20 w21 | rec7 empty list id ack45 | w20 w21 | 0 0";
    QTest::newRow("spoilt acknowledgement repeats a write at once")
        << "w20 w21 | s45 ack45 | w20 w20 w21 | 1 0";
    QTest::newRow("write repeated, both acknowledgements arrive")
        << "w20 w21 w22 w23 | t ack43 ack43 ack43 | w20 w20 w21 w22 | 0 0";
    // The same observations as an acknowledgement arriving late (after the
    // repeat) whose duplicate then comes while slot 21's own answer is lost:
    // the duplicate must not release slot 21.
    QTest::newRow("first acknowledgement lost, only the repeat's arrives")
        << "w20 w21 w22 | t ack45 ack45 | w20 w20 w21 | 0 0";
    QTest::newRow("... costing slot 21 one time-out, never a skip")
        << "w20 w21 w22 | t ack45 ack45 t ack45 | w20 w20 w21 w21 w22 | 1 0";
    QTest::newRow("owed acknowledgements settled by the list answer")
        << "w20 list w21 w22 | t ack46 list ack46 | w20 w20 list w21 w22 | 0 0";
    QTest::newRow("acknowledgement after the give-up")
        << "w20 w21 | t t t ack43 | w20 w20 w20 | 2 2";
    QTest::newRow("duplicate record answer is late, saved, releases nothing")
        << "r7 r8 r9 | t rec7 rec7 rec8 | r7 r7 r8 r9 | 0 0";
    QTest::newRow("duplicate empty-slot answer does not release the next read")
        << "r7 r8 r9 | t empty empty | r7 r7 r8 | 0 0";
    QTest::newRow("duplicate identity does not release the second GetVersion")
        << "ver ver ser | t id id | ver ver ver | 0 0";
}

void TestCommandQueue::conversation()
{
    QFETCH(QString, script);
    const QStringList parts = script.split(QStringLiteral(" | "));
    const QStringList counts = parts.at(3).split(QLatin1Char(' '));

    CommandQueue q;
    QMap<QString, QString> names;
    QStringList out;
    for (QString name : parts.at(0).split(QLatin1Char(' '))) {
        const bool now = name.startsWith('!') && !name.remove(0, 1).isEmpty(); // startNow
        names.insert(command(name), name);
        if (!now)
            q.enqueue(command(name));
        else if (q.startNow(command(name)))
            out << name;
    }
    connect(&q, &CommandQueue::repeatRequested, this,
            [&](const QString &frame) { out << names.value(frame); });
    QSignalSpy gaveUp(&q, &CommandQueue::gaveUp);
    const auto sendNext = [&] {
        const QString frame = q.takeNext();
        if (!frame.isEmpty())
            out << names.value(frame);
    };
    sendNext();
    for (const QString &step : parts.at(1).split(QLatin1Char(' '))) {
        if (step == QLatin1String("t"))
            q.answerSpoilt(quint8(QByteArray::fromHex(q.inFlight().toLatin1()).at(0)));
        else if (step.startsWith(QLatin1Char('s')))
            q.answerSpoilt(quint8(step.mid(1).toUInt(nullptr, 16)));
        else if (q.answerReceived(answer(step)))
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
    queue.answerSpoilt(0x43);
    QVERIFY(queue.answerReceived(answer("ack43")));
    QCOMPARE(queue.takeNext(), command("w2"));
    QCOMPARE(queue.owedAnswers(), 1);
    // A new link owes nothing of the old one.
    QCOMPARE(queue.clear(), 2);
    QVERIFY(queue.isEmpty());
    QCOMPARE(queue.owedAnswers(), 0);
    QVERIFY(!queue.answerReceived(answer("ack43")));
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
    QCOMPARE(repeats.at(1).at(0).toString(), command("ver"));
    QCOMPARE(gaveUp.at(0).at(0).toString(), command("ver"));
    QCOMPARE(gaveUp.at(0).at(1).toInt(), 3);
    QVERIFY(queue.isEmpty());
}

void TestCommandQueue::quietSettlesOwedAnswers()
{
    // Given up after three sends, three answers are owed; a time-out of quiet
    // with nothing in flight takes them as lost, so a new write's answer
    // releases it.
    CommandQueue queue;
    queue.enqueue(command("w5"));
    queue.takeNext();
    for (int i = 0; i < 3; ++i)
        queue.answerSpoilt(0x43);
    QCOMPARE(queue.owedAnswers(), 3);
    queue.setAnswerTimeout(1);
    QTRY_COMPARE(queue.owedAnswers(), 0);
    QVERIFY(queue.startNow(command("w6")));
    QVERIFY(queue.answerReceived(answer("ack45")));
}

void TestCommandQueue::pieceRestartsTheTimeout()
{
    CommandQueue queue;
    auto *timer = queue.findChild<QTimer *>();
    queue.pieceReceived();
    QVERIFY(!timer->isActive()); // nothing in flight, nothing owed
    QVERIFY(queue.startNow(command("list")));
    timer->stop();
    queue.pieceReceived();
    QVERIFY(timer->isActive());
    QVERIFY(queue.answerReceived(answer("list")));
    QVERIFY(!timer->isActive());
}

QTEST_GUILESS_MAIN(TestCommandQueue)
#include "tst_commandqueue.moc"
