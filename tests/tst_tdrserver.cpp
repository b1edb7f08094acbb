// SPDX-License-Identifier: GPL-3.0-or-later
#include "bluetooth/emulator/emulatedstack.h"
#include "link/tdrserver.h"
#include "testsupport.h"

#include <QBluetoothUuid>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

namespace {

const QBluetoothAddress adapterAddress(QStringLiteral("00:1A:7D:DA:71:01"));
const QBluetoothUuid serverUuid(QStringLiteral("e8e10f95-1a70-4b27-9ccf-02010264e9c8"));

QByteArray sceneWithPeers()
{
    return R"({"adapters": [{"name": "Workstation", "address": "00:1A:7D:DA:71:01"}],
               "peers": {"listen": "127.0.0.1:0", "name": "Meter"}})";
}

// An attribute value as text: sequences in parentheses, UUIDs by their short
// number where they have one, numbers with their width.
QString describe(const QVariant &value)
{
    if (value.userType() == qMetaTypeId<QBluetoothServiceInfo::Sequence>()) {
        QStringList parts;
        for (const QVariant &item : value.value<QBluetoothServiceInfo::Sequence>())
            parts << describe(item);
        return QLatin1Char('(') + parts.join(QLatin1String(", ")) + QLatin1Char(')');
    }
    if (value.userType() == qMetaTypeId<QBluetoothUuid>()) {
        const QBluetoothUuid uuid = value.value<QBluetoothUuid>();
        bool isShort = false;
        const quint16 shortId = uuid.toUInt16(&isShort);
        return QStringLiteral("uuid ") +
               (isShort ? QStringLiteral("%1").arg(shortId, 4, 16, QLatin1Char('0'))
                        : uuid.toString().mid(1, 36));
    }
    if (value.userType() == qMetaTypeId<quint8>())
        return QStringLiteral("u8 %1").arg(value.toUInt());
    if (value.userType() == qMetaTypeId<quint16>())
        return QStringLiteral("u16 %1").arg(value.toUInt());
    return value.toString();
}

} // namespace

class TestTDRServer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void registersServiceRecord();
    void listenFailureWarnsAndRegistersNothing();
    void sendMessageReachesEveryPeer();
    void peerLinesBecomeMessages_data();
    void peerLinesBecomeMessages();
    void peersJoiningAndLeavingAreReported();
    void endlessLineKeepsMemoryBounded_data();
    void endlessLineKeepsMemoryBounded();

private:
    // Connects a TCP client as a peer; returns it once the server took it.
    std::unique_ptr<QTcpSocket> connectPeer();

    emu::EmulatedStack *stack = nullptr;
    std::unique_ptr<TDRServer> server;
};

void TestTDRServer::init()
{
    stack = testsupport::installEmulatedStack(sceneWithPeers());
    QVERIFY(stack);
    server = std::make_unique<TDRServer>(nullptr);
    server->startServer(adapterAddress);
    QVERIFY(stack->peersPort() != 0);
}

void TestTDRServer::cleanup()
{
    server.reset();
    stack = nullptr;
    bt::BluetoothStack::install(nullptr);
}

std::unique_ptr<QTcpSocket> TestTDRServer::connectPeer()
{
    QSignalSpy joined(server.get(), QOverload<QString>::of(&TDRServer::clientConnected));
    auto peer = std::make_unique<QTcpSocket>();
    peer->connectToHost(QHostAddress::LocalHost, stack->peersPort());
    if (!joined.wait(5000))
        return nullptr;
    return peer;
}

void TestTDRServer::registersServiceRecord()
{
    const QList<QBluetoothServiceInfo> records = stack->registeredServices();
    QCOMPARE(records.size(), 1);
    const QBluetoothServiceInfo &record = records.at(0);

    QCOMPARE(
        record.attributes(),
        (QList<quint16>{
            QBluetoothServiceInfo::ServiceClassIds, QBluetoothServiceInfo::ServiceId,
            QBluetoothServiceInfo::ProtocolDescriptorList, QBluetoothServiceInfo::BrowseGroupList,
            QBluetoothServiceInfo::BluetoothProfileDescriptorList,
            QBluetoothServiceInfo::ServiceName, QBluetoothServiceInfo::ServiceDescription,
            QBluetoothServiceInfo::ServiceProvider}));

    const auto text = [&record](quint16 id) { return describe(record.attribute(id)); };
    QCOMPARE(text(QBluetoothServiceInfo::BluetoothProfileDescriptorList),
             QStringLiteral("((uuid 1101, u16 256))"));
    QCOMPARE(text(QBluetoothServiceInfo::ServiceClassIds),
             QStringLiteral("(uuid e8e10f95-1a70-4b27-9ccf-02010264e9c8, uuid 1101)"));
    QCOMPARE(text(QBluetoothServiceInfo::ServiceName), QStringLiteral("Varnel Server"));
    QCOMPARE(text(QBluetoothServiceInfo::ServiceDescription), QStringLiteral("Varnel server"));
    QCOMPARE(text(QBluetoothServiceInfo::ServiceProvider),
             QStringLiteral("halvern-instruments.example"));
    QCOMPARE(text(QBluetoothServiceInfo::ServiceId),
             QStringLiteral("uuid e8e10f95-1a70-4b27-9ccf-02010264e9c8"));
    QCOMPARE(text(QBluetoothServiceInfo::BrowseGroupList), QStringLiteral("(uuid 1002)"));
    // The emulator hands out channel 1 to the first listener.
    QCOMPARE(text(QBluetoothServiceInfo::ProtocolDescriptorList),
             QStringLiteral("((uuid 0100), (uuid 0003, u8 1))"));

    // A second listener gets another channel, and its record says so.
    TDRServer other(nullptr);
    other.startServer(adapterAddress);
    QCOMPARE(stack->registeredServices().size(), 2);
    QCOMPARE(stack->registeredServices().at(1).serverChannel(), 2);

    server.reset();
    QCOMPARE(stack->registeredServices().size(), 1);
    QCOMPARE(stack->registeredServices().at(0).serverChannel(), 2);
}

void TestTDRServer::listenFailureWarnsAndRegistersNothing()
{
    const QBluetoothAddress stranger(QStringLiteral("00:00:00:00:00:99"));
    TDRServer other(nullptr);
    QTest::ignoreMessage(QtWarningMsg, "Cannot bind TDR server to \"00:00:00:00:00:99\"");
    other.startServer(stranger);
    QCOMPARE(stack->registeredServices().size(), 1); // only the one from init()
    other.startServer(adapterAddress);               // no second attempt
    QCOMPARE(stack->registeredServices().size(), 1);
}

void TestTDRServer::sendMessageReachesEveryPeer()
{
    server->sendMessage(QStringLiteral("41040045")); // to no one
    std::unique_ptr<QTcpSocket> first = connectPeer();
    std::unique_ptr<QTcpSocket> second = connectPeer();
    QVERIFY(first && second);
    QCOMPARE(server->peerCount(), 2);

    server->sendMessage(QStringLiteral("4205000047"));
    QTRY_VERIFY_WITH_TIMEOUT(first->canReadLine() && second->canReadLine(), 5000);
    QCOMPARE(first->readAll(), QByteArray("4205000047\n")); // nothing from before it joined
    QCOMPARE(second->readAll(), QByteArray("4205000047\n"));
}

void TestTDRServer::peerLinesBecomeMessages_data()
{
    QTest::addColumn<QByteArray>("burst");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("two lines in one burst")
        << QByteArray("first\nsecond\n") << QStringList{"first", "second"};
    QTest::newRow("carriage return and blanks")
        << QByteArray("  4105000046 \r\n") << QStringList{"4105000046"};
    QTest::newRow("empty line") << QByteArray("\n") << QStringList{""};
    QTest::newRow("utf-8 text") << QStringLiteral("Привет\n").toUtf8()
                                << QStringList{QStringLiteral("Привет")};
}

void TestTDRServer::peerLinesBecomeMessages()
{
    QFETCH(QByteArray, burst);
    QFETCH(QStringList, messages);
    std::unique_ptr<QTcpSocket> peer = connectPeer();
    QVERIFY(peer);
    QSignalSpy received(server.get(), &TDRServer::messageReceived);
    peer->write(burst);
    QTRY_COMPARE_WITH_TIMEOUT(received.count(), messages.size(), 5000);
    for (int i = 0; i < messages.size(); ++i) {
        QCOMPARE(received.at(i).at(0).toString(), QStringLiteral("Meter"));
        QCOMPARE(received.at(i).at(1).toString(), messages.at(i));
    }
}

void TestTDRServer::peersJoiningAndLeavingAreReported()
{
    QSignalSpy joined(server.get(), QOverload<QString>::of(&TDRServer::clientConnected));
    QSignalSpy left(server.get(), QOverload<QString>::of(&TDRServer::clientDisconnected));
    std::unique_ptr<QTcpSocket> peer = connectPeer();
    QVERIFY(peer);
    QCOMPARE(joined.count(), 1);
    QCOMPARE(joined.at(0).at(0).toString(), QStringLiteral("Meter"));

    peer->close();
    QVERIFY(left.wait(5000));
    QCOMPARE(left.at(0).at(0).toString(), QStringLiteral("Meter"));
    QCOMPARE(server->peerCount(), 0);

    // The server carries on with others, and drops them quietly when it goes.
    std::unique_ptr<QTcpSocket> again = connectPeer();
    QVERIFY(again);
    QCOMPARE(server->peerCount(), 1);
    server.reset();
    QCOMPARE(left.count(), 1);
    QVERIFY(stack->registeredServices().isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(again->state(), QAbstractSocket::UnconnectedState, 5000);
}

void TestTDRServer::endlessLineKeepsMemoryBounded_data()
{
    // A line of `length` bytes, then, once they are in, its last bytes and
    // 0x0A and one more line.
    QTest::addColumn<int>("length");
    QTest::newRow("4 MiB, then its end") << 4 * 1024 * 1024;
    QTest::newRow("one byte short, then its end in the same burst as the 0x0a")
        << TDRServer::MaxLineLength - 1;
}

void TestTDRServer::endlessLineKeepsMemoryBounded()
{
    QFETCH(int, length);
    std::unique_ptr<QTcpSocket> peer = connectPeer();
    QVERIFY(peer);
    const QList<bt::RfcommSocket *> sockets = server->findChildren<bt::RfcommSocket *>();
    QCOMPARE(sockets.size(), 1);
    // Connected after the server's own reader, so it sees what the server left.
    qint64 mostLeft = 0;
    connect(sockets.at(0), &QIODevice::readyRead, this,
            [&] { mostLeft = qMax(mostLeft, sockets.at(0)->bytesAvailable()); });

    QSignalSpy received(server.get(), &TDRServer::messageReceived);
    peer->write(QByteArray(length, 'x'));
    QTRY_VERIFY_WITH_TIMEOUT(received.count() == 1 || server->bufferedBytes() == length, 10000);
    peer->write("xxxxxxxx\nnext\n");
    QTRY_VERIFY_WITH_TIMEOUT(received.count() >= 2, 10000);
    QCOMPARE(received.count(), 2);
    QCOMPARE(received.at(0).at(1).toString(), QString(TDRServer::MaxLineLength, QLatin1Char('x')));
    QCOMPARE(received.at(1).at(1).toString(), QStringLiteral("next"));
    QVERIFY2(mostLeft < TDRServer::MaxLineLength, qPrintable(QString::number(mostLeft)));
    QCOMPARE(server->bufferedBytes(), qint64(0));
}

QTEST_GUILESS_MAIN(TestTDRServer)
#include "tst_tdrserver.moc"
