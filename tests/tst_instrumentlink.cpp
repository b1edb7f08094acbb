// End to end below the window: a link client on an emulated instrument whose
// answers arrive in random pieces and whose waveforms are full of 0x0A bytes
// followed by bytes that look like the start of an answer.
#include "testsupport.h"

#include "bluetooth/emulator/emulatedinstrument.h"
#include "bluetooth/emulator/emulatedstack.h"
#include "link/tdrclient.h"
#include "protocol/answerassembler.h"
#include "protocol/frame.h"

#include <QSignalSpy>
#include <QTest>

namespace {

QByteArray scene(const QString &chunk)
{
    return QStringLiteral(R"({
      "adapters": [ {"name": "Workstation", "address": "00:1A:7D:DA:71:01"} ],
      "devices": [
        {"name": "KV-105", "address": "00:1A:7D:DA:71:13",
         "services": [ {"name": "Serial Port", "channel": 1,
                        "instrument": {"records": 16, "seed": 99, "chunk": %1, "delayMs": 0}} ]}
      ]
    })")
        .arg(chunk)
        .toUtf8();
}

} // namespace

class InstrumentLinkTest : public QObject
{
    Q_OBJECT

private slots:
    void everyRecordByteForByte_data();
    void everyRecordByteForByte();
};

void InstrumentLinkTest::everyRecordByteForByte_data()
{
    QTest::addColumn<QString>("chunk");
    QTest::newRow("random pieces") << QStringLiteral("\"random\"");
    QTest::newRow("byte by byte") << QStringLiteral("1");
    QTest::newRow("whole answers") << QStringLiteral("\"whole\"");
}

void InstrumentLinkTest::everyRecordByteForByte()
{
    QFETCH(QString, chunk);
    QString error;
    emu::EmulatedStack *stack = testsupport::installEmulatedStack(scene(chunk), &error);
    QVERIFY2(stack, qPrintable(error));
    emu::EmulatedInstrument *instrument =
        stack->instrument(QBluetoothAddress(QStringLiteral("00:1A:7D:DA:71:13")), 1);
    QVERIFY(instrument);

    TDRClient client(nullptr);
    QSignalSpy up(&client, QOverload<QString>::of(&TDRClient::connected));
    AnswerAssembler assembler;
    QList<QByteArray> answers;
    int pieces = 0;
    connect(&client, &TDRClient::messageReceived, [&](const QString &, const QString &message) {
        ++pieces;
        for (const AnswerAssembler::Answer &answer : assembler.feedHex(message)) {
            QVERIFY(answer.checksumOk);
            answers.append(answer.frame);
        }
    });
    client.startClient(testsupport::sceneService(0));
    QVERIFY(up.wait(5000));

    const QList<int> numbers = instrument->recordNumbers();
    QCOMPARE(numbers.size(), 16);
    int withBreaks = 0;
    for (int number : numbers) {
        const QByteArray block = instrument->recordBlock(number);
        for (int i = 33; i < 281; ++i)
            withBreaks += block.at(i) == '\n' && protocol::startsAnswer(quint8(block.at(i + 1)));
        const int before = answers.size();
        client.sendMessage(protocol::readRecordFrame(quint8(number)));
        QTRY_COMPARE(answers.size(), before + 1);
        QCOMPARE(answers.last(), block);
    }
    QVERIFY2(withBreaks >= numbers.size(), "every waveform holds 0x0A before an answer byte");
    QVERIFY(pieces > numbers.size());
    QCOMPARE(assembler.discardedBytes(), 0);
}

QTEST_MAIN(InstrumentLinkTest)
#include "tst_instrumentlink.moc"
