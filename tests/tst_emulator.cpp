// SPDX-License-Identifier: GPL-3.0-or-later
// The emulator is the test and demo tool: scenes that must be refused, and
// the instrument's link and fault settings having their effect.

#include "bluetooth/backend.h"
#include "bluetooth/emulator/emulatedinstrument.h"
#include "bluetooth/emulator/emulatedstack.h"
#include "bluetooth/emulator/instrumentlink.h"
#include "bluetooth/emulator/scene.h"
#include "protocol/frame.h"
#include "testsupport.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#if defined(Q_OS_UNIX)
#include <sys/stat.h> // mkfifo
#endif

#include <memory>

namespace {

QByteArray sceneWith(const QByteArray &services, const QByteArray &extra = QByteArray())
{
    return R"({"adapters": [{"name": "Workstation", "address": "00:1A:7D:DA:71:01"}],
               "devices": [{"name": "KV-105", "address": "00:1A:7D:DA:71:13", "services": [)" +
           services + "]}]" + extra + "}";
}

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

std::unique_ptr<emu::EmulatedInstrument> instrument(const QByteArray &json)
{
    return emu::EmulatedInstrument::fromJson(QJsonDocument::fromJson(json).object(), nullptr);
}

QByteArray joined(const QList<QByteArray> &pieces)
{
    QByteArray all;
    for (const QByteArray &piece : pieces)
        all += piece;
    return all;
}

} // namespace

class TestEmulator : public QObject
{
    Q_OBJECT

private slots:
    void rejectsBadScene_data();
    void rejectsBadScene();
    void sceneFiles_data();
    void sceneFiles();
    void answerSettings_data();
    void answerSettings();
    void chunking();
    void linkSettings_data();
    void linkSettings();
    void tcpBridgePipesBothWays();
    void connectionsKeepApartAndAreBounded();
};

void TestEmulator::rejectsBadScene_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("expected");
    const QByteArray kv = R"({"channel": 1, "instrument": )";
    QTest::newRow("not JSON") << QByteArray("{\"adapters\": [") << "invalid JSON at offset";
    QTest::newRow("array at the top") << QByteArray("[]") << "expected a JSON object";
    QTest::newRow("no adapters") << QByteArray("{}") << "adapters: required key is missing";
    QTest::newRow("misspelt key") << sceneWith("", R"(, "peer": {})") << "peer: unknown key";
    QTest::newRow("line end in a key")
        << sceneWith("", ", \"pe\\ner\": {}") << "pe\\u000aer: unknown key";
    QTest::newRow("short address")
        << QByteArray(R"({"adapters": [{"name": "A", "address": "00:1A:7D:DA:71"}]})")
        << "adapters[0].address: expected a Bluetooth address";
    QTest::newRow("same address twice")
        << QByteArray(R"({"adapters": [], "devices": [{"name": "a", "address": "00:00:00:00:00:01"},
                         {"name": "b", "address": "00:00:00:00:00:02"},
                         {"name": "c", "address": "00:00:00:00:00:01"}]})")
        << "devices[2].address: same address as devices[0]";
    QTest::newRow("channel twice") << sceneWith(R"({"channel": 3}, {"channel": 3})")
                                   << "devices[0].services[1].channel: channel 3 is already used";
    QTest::newRow("channel 31") << sceneWith(R"({"channel": 31})")
                                << "services[0].channel: expected an integer from 1 to 30";
    for (const char *listen :
         {"1.2.3:80", "256.1.1.1:80", "127.0.0.1", "[::1:80", "localhost:80", "127.0.0.1: 80",
          "::1:47557", "127.0.0.1:+80", "127.0.0.1:080", "[127.0.0.1]:80"})
        QTest::newRow(listen) << sceneWith("", QByteArray(R"(, "peers": {"listen": ")") + listen +
                                                   "\"}")
                              << "peers.listen: expected \"IP:PORT\"";
    QTest::newRow("peers port taken") << sceneWith("", R"(, "peers": {"listen": "127.0.0.1:BUSY"})")
                                      << "peers.listen: cannot listen on 127.0.0.1 port";
    QTest::newRow("too large") << QByteArray(emu::kMaxSceneBytes + 1, ' ')
                               << "the scene is larger than 4 MiB";
    const struct
    {
        const char *name, *options, *expected;
    } instrumentRows[] = {
        {"writeAck 0x47", R"({"writeAck": "0x47"})", "writeAck: expected \"echo\""},
        {"recordOffset 256", R"({"recordOffset": 256})", "recordOffset: expected a whole number"},
        {"serialAck as number", R"({"serialAck": 70})", "serialAck: expected \"echo\""},
        {"stray 256", R"({"stray": 256})", "stray: expected a byte value"},
        {"strayCount 0", R"({"strayCount": 0})", "strayCount: expected a whole number"},
        {"ackDelayMs negative", R"({"ackDelayMs": -1})", "ackDelayMs: expected a whole number"},
        {"endlessStream", R"({"endlessStream": "yes"})", "endlessStream: expected \"lines\""},
        {"hangUpAfter", R"({"hangUpAfter": 1.5})", "hangUpAfter: expected a whole number"},
        {"chunk 0", R"({"chunk": 0})", "chunk: expected \"whole\""},
        {"256 records", R"({"records": 256})", "records: expected a count from 0 to 255"},
        {"record range", R"({"records": [{"waveform": {"range": 1001}}]})",
         "records[0].waveform.range: expected one of 10, 20, 30, 50, 100, 200, 500, 1000, 1500, "
         "3000, 5000, 10000"},
        {"unknown setting", R"({"delay": 5})", "delay: unknown option"},
    };
    for (const auto &row : instrumentRows)
        QTest::newRow(row.name) << sceneWith(kv + row.options + "}")
                                << QStringLiteral("devices[0].services[0].instrument: ") +
                                       row.expected;
}

void TestEmulator::rejectsBadScene()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, expected);
    QTcpServer busy;
    QVERIFY(busy.listen(QHostAddress::LocalHost));
    json.replace("BUSY", QByteArray::number(busy.serverPort()));
    QString error;
    QVERIFY(!emu::EmulatedStack::fromJson(json, &error));
    QVERIFY2(error.contains(expected), qPrintable(error));
    QVERIFY2(!error.contains(QLatin1Char('\n')), qPrintable(error));
}

void TestEmulator::sceneFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected"); // empty: a scene that works
    // Every file the README calls an example scene.
    const QDir scenes(QStringLiteral(VARNEL_SOURCE_DIR "/tools/scenes"));
    const QStringList files = scenes.entryList({QStringLiteral("*.json")});
    for (const QString &file : files)
        QTest::newRow(qPrintable(file)) << scenes.filePath(file) << QString();
#if defined(Q_OS_UNIX)
    QTest::newRow("/dev/zero") << "/dev/zero"
                               << "not a regular file";
    QTest::newRow("fifo") << "FIFO"
                          << "not a regular file";
#endif
    QTest::newRow("directory") << "/"
                               << "not a regular file";
    QTest::newRow("missing") << "/nonexistent/scene.json"
                             << "cannot read the file";
}

void TestEmulator::sceneFiles()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QTemporaryDir dir;
#if defined(Q_OS_UNIX)
    if (path == QLatin1String("FIFO")) {
        path = dir.filePath(QStringLiteral("fifo"));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    }
#endif
    QString error;
    if (expected.isEmpty()) {
        // Parsed, not installed: the scene's fixed ports may be in use here.
        QByteArray json;
        emu::Scene scene;
        QVERIFY2(emu::readSceneFile(path, &json, &error), qPrintable(error));
        QVERIFY2(emu::Scene::parse(json, &scene, &error), qPrintable(error));
        QVERIFY(!scene.adapters.isEmpty());
        return;
    }
    QVERIFY(!bt::createStack("emulator:" + QFile::encodeName(path), &error));
    QVERIFY2(error.startsWith(QStringLiteral("VARNEL_BLUETOOTH: scene %1: %2").arg(path, expected)),
             qPrintable(error));
}

void TestEmulator::answerSettings_data()
{
    QTest::addColumn<QByteArray>("options");
    QTest::addColumn<QByteArray>("commands");
    QTest::addColumn<QByteArray>("expected"); // every answer, stray bytes and cutting included
    QTest::addColumn<QList<int>>("delays");
    const QByteArray version = hex("4205000047");
    const QByteArray identity = hex("420e00692102183030313233341e");
    const QByteArray serial =
        protocol::frameBytes(protocol::setSerialFrame(QStringLiteral("123456")));
    QByteArray write = instrument("{}")->recordBlock(1);
    write[0] = char(0x43);
    protocol::sealFrame(write);
    QTest::newRow("write echoed") << QByteArray("{}") << write << hex("43040047") << QList<int>{5};
    QTest::newRow("write 0x45") << QByteArray(R"({"writeAck": "0x45"})") << write << hex("45040049")
                                << QList<int>{5};
    QTest::newRow("serial echoed")
        << QByteArray("{}") << serial << hex("44040048") << QList<int>{5};
    QTest::newRow("serial 0x46") << QByteArray(R"({"serialAck": "0x46"})") << serial
                                 << hex("4604004a") << QList<int>{5};
    QTest::newRow("serial 0x40") << QByteArray(R"({"serialAck": "0x40"})") << serial
                                 << hex("40040044") << QList<int>{5};
    QTest::newRow("serial answered with the new identity")
        << QByteArray(R"({"serialAck": "identity"})") << serial
        << hex("420e006921021831323334353629") << QList<int>{5};
    QByteArray list = hex("410c00") + write.mid(3, 8);
    list += char(protocol::checksum(list, list.size()));
    QTest::newRow("write answered with the updated list")
        << QByteArray(R"({"writeAck": "list", "records": 0})") << write << list << QList<int>{5};
    QByteArray offset = instrument("{}")->recordBlock(1);
    offset[3] = char(3);
    offset[282] = char(quint8(offset.at(282)) + 2);
    QTest::newRow("record numbered 2 above the list")
        << QByteArray(R"({"recordOffset": 2})") << hex("4005000146") << offset << QList<int>{5};
    QTest::newRow("late acknowledgement")
        << QByteArray(R"({"ackDelayMs": 3500, "delayMs": 7})") << version + serial + version
        << identity + hex("44040048") + hex("420e006921021831323334353629")
        << QList<int>{7, 3500, 7};
    QTest::newRow("two stray 0x41") << QByteArray(R"({"stray": 65, "strayCount": 2})") << version
                                    << hex("4141") + identity << QList<int>{5};
    QTest::newRow("two garbage frames")
        << QByteArray(R"({"garbageFrames": 2})") << version
        << hex("40040045") + hex("41040046") + identity << QList<int>{5};
    QTest::newRow("every 2nd doubled") << QByteArray(R"({"doubleEvery": 2})") << version + version
                                       << identity + identity + identity << QList<int>{5, 5, 5};
    QTest::newRow("every 2nd dropped")
        << QByteArray(R"({"dropEvery": 2})") << version + version + version << identity + identity
        << QList<int>{5, 5};
    QByteArray spoilt = identity;
    spoilt[spoilt.size() - 1] = char(0x1f);
    QTest::newRow("every 2nd spoilt") << QByteArray(R"({"corruptEvery": 2})") << version + version
                                      << identity + spoilt << QList<int>{5, 5};
    QTest::newRow("endless stream: no answers")
        << QByteArray(R"({"endlessStream": "lines"})") << version << QByteArray() << QList<int>{};
}

void TestEmulator::answerSettings()
{
    QFETCH(QByteArray, options);
    QFETCH(QByteArray, commands);
    QFETCH(QByteArray, expected);
    QFETCH(QList<int>, delays);
    const auto emulated = instrument(options);
    QVERIFY(emulated);
    QByteArray got;
    QList<int> gotDelays;
    const QList<emu::EmulatedInstrument::Answer> answers = emulated->answer(commands);
    for (const auto &answer : answers) {
        got += joined(emulated->cut(answer.bytes));
        gotDelays << answer.delayMs;
    }
    QCOMPARE(got.toHex(), expected.toHex());
    QCOMPARE(gotDelays, delays);
}

void TestEmulator::chunking()
{
    const QByteArray identity = hex("420e00692102183030313233341e");
    const auto fixed = instrument(R"({"chunk": 4})");
    QCOMPARE(fixed->cut(identity),
             (QList<QByteArray>{hex("420e0069"), hex("21021830"), hex("30313233"), hex("341e")}));
    QCOMPARE(instrument(R"({"chunk": "whole"})")->cut(identity), QList<QByteArray>{identity});
    const auto random = instrument(R"({"chunk": "random", "seed": 3})");
    const QByteArray block = random->recordBlock(random->recordNumbers().first());
    const QList<QByteArray> pieces = random->cut(block);
    QVERIFY(pieces.size() > 4);
    QCOMPARE(joined(pieces), block);
}

void TestEmulator::linkSettings_data()
{
    QTest::addColumn<QByteArray>("options");
    QTest::addColumn<int>("answersBeforeHangUp"); // -1: the link stays up
    QTest::addColumn<int>("lineEnds");            // 0 none, 1 some; -1 not a stream
    QTest::newRow("hang up after 2") << QByteArray(R"({"hangUpAfter": 2, "chunk": 3})") << 2 << -1;
    QTest::newRow("endless lines") << QByteArray(R"({"endlessStream": "lines"})") << -1 << 1;
    QTest::newRow("endless bytes") << QByteArray(R"({"endlessStream": "bytes"})") << -1 << 0;
}

void TestEmulator::linkSettings()
{
    QFETCH(QByteArray, options);
    QFETCH(int, answersBeforeHangUp);
    QFETCH(int, lineEnds);
    QVERIFY(testsupport::installEmulatedStack(
        sceneWith(R"({"channel": 1, "instrument": )" + options + "}")));
    std::unique_ptr<bt::RfcommSocket> socket(bt::stack().createSocket());
    QSignalSpy error(socket.get(), &bt::RfcommSocket::error);
    QSignalSpy disconnected(socket.get(), &bt::RfcommSocket::disconnected);
    socket->connectToService(testsupport::sceneService(0, 0));
    QTRY_COMPARE(socket->state(), QBluetoothSocket::SocketState::ConnectedState);
    QByteArray received;
    connect(socket.get(), &QIODevice::readyRead, this, [&] { received += socket->readAll(); });
    const QByteArray version = hex("4205000047");
    socket->write(version + version + version);
    if (answersBeforeHangUp >= 0) {
        QTRY_COMPARE(disconnected.count(), 1);
        QCOMPARE(error.count(), 1);
        QCOMPARE(error.at(0).at(0).value<QBluetoothSocket::SocketError>(),
                 QBluetoothSocket::SocketError::RemoteHostClosedError);
        const QByteArray identity = hex("420e00692102183030313233341e");
        QCOMPARE(received.toHex(), (identity + identity).toHex());
        return;
    }
    // The stream goes on as long as it is read, and waits while it is not.
    QTRY_VERIFY(received.size() > 1024 * 1024);
    QCOMPARE(received.contains('\n'), lineEnds == 1);
    disconnect(socket.get(), &QIODevice::readyRead, this, nullptr);
    // Unread, it fills the socket's 64 KiB and stops there.
    QTRY_VERIFY(socket->bytesAvailable() >= 64 * 1024);
    QVERIFY(socket->bytesAvailable() <= 64 * 1024 + 4096);
    QCOMPARE(disconnected.count(), 0);
}

void TestEmulator::tcpBridgePipesBothWays()
{
    QTcpServer far;
    QVERIFY(far.listen(QHostAddress::LocalHost, 0));
    QVERIFY(testsupport::installEmulatedStack(sceneWith(
        R"({"channel": 2, "tcp": "127.0.0.1:)" + QByteArray::number(far.serverPort()) + "\"}")));
    std::unique_ptr<bt::RfcommSocket> socket(bt::stack().createSocket());
    socket->connectToService(testsupport::sceneService(0, 0));
    QTRY_VERIFY(far.hasPendingConnections());
    std::unique_ptr<QTcpSocket> peer(far.nextPendingConnection());
    QTRY_COMPARE(socket->state(), QBluetoothSocket::SocketState::ConnectedState);
    socket->write(hex("4205000047"));
    QByteArray atFar;
    QTRY_COMPARE((atFar += peer->readAll()).toHex(), QByteArray("4205000047"));
    peer->write(hex("41000a31"));
    QTRY_COMPARE(socket->bytesAvailable(), qint64(4));
    QCOMPARE(socket->readLine(), hex("41000a"));
    QSignalSpy disconnected(socket.get(), &bt::RfcommSocket::disconnected);
    peer->close();
    QTRY_COMPARE(disconnected.count(), 1);
}

void TestEmulator::connectionsKeepApartAndAreBounded()
{
    std::shared_ptr<emu::EmulatedInstrument> shared =
        instrument(R"({"records": 1, "chunk": "whole", "delayMs": 0})");
    const QByteArray version = hex("4205000047");
    const QByteArray identity = hex("420e00692102183030313233341e");
    // Half a command on one connection never joins bytes of another.
    emu::InstrumentLink first(shared);
    emu::InstrumentLink second(shared);
    QSignalSpy fromFirst(&first, &emu::InstrumentLink::bytesReady);
    QSignalSpy fromSecond(&second, &emu::InstrumentLink::bytesReady);
    first.write(version.left(3));
    second.write(version);
    first.write(version.mid(3));
    QTRY_COMPARE(fromFirst.count() + fromSecond.count(), 2);
    QCOMPARE(fromFirst.at(0).at(0).toByteArray(), identity);
    QCOMPARE(fromSecond.at(0).at(0).toByteArray(), identity);

    // A client that sends and does not read is read no further once its
    // answers (283 bytes to a 5-byte command) wait unsent.
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.serverPort());
    QTRY_VERIFY(server.hasPendingConnections());
    std::unique_ptr<QTcpSocket> served(server.nextPendingConnection());
    const qint64 bound = 64 * 1024;
    served->setReadBufferSize(bound);
    emu::InstrumentLink link(shared);
    link.serve(served.get(), bound);
    const int commands = 100000; // 28 MB of answers
    client.write(QByteArray::fromHex(protocol::readRecordFrame(1).toLatin1()).repeated(commands));
    QTRY_VERIFY(served->bytesAvailable() > 0 &&
                served->bytesToWrite() + link.unsentBytes() > bound);
    QTest::qWait(100); // more time to read, were it reading
    QVERIFY(served->bytesToWrite() + link.unsentBytes() < bound + (512 / 5 + 1) * 283);
    // Read, it gets every answer.
    qint64 received = 0;
    QTRY_VERIFY_WITH_TIMEOUT((received += client.readAll().size()) == qint64(commands) * 283,
                             60000);
}

QTEST_GUILESS_MAIN(TestEmulator)
#include "tst_emulator.moc"
