#include "bluetooth/emulator/emulatedinstrument.h"
#include "bluetooth/emulator/emulatedstack.h"
#include "testsupport.h"

#include <QBluetoothUuid>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

namespace {

const QBluetoothAddress adapterAddress(QStringLiteral("00:1A:7D:DA:71:01"));

QByteArray sceneWith(const QByteArray &services, const QByteArray &extra = QByteArray())
{
    return R"({"adapters": [{"name": "Workstation", "address": "00:1A:7D:DA:71:01"}],
               "discoveryMs": 1,
               "devices": [{"name": "KV-105", "address": "00:1A:7D:DA:71:13", "services": [)" +
           services + "]}]" + extra + "}";
}

QByteArray tcpService(quint16 port)
{
    return QByteArray(R"({"name": "Bridge", "channel": 2, "tcp": "127.0.0.1:)") +
           QByteArray::number(port) + "\"}";
}

// Records the order in which a socket reports.
struct SocketLog
{
    QStringList events;
    void attach(bt::RfcommSocket *socket)
    {
        QObject::connect(socket, &bt::RfcommSocket::connected, [this] { events << "connected"; });
        QObject::connect(socket, &bt::RfcommSocket::disconnected,
                         [this] { events << "disconnected"; });
        QObject::connect(socket, &bt::RfcommSocket::error, [this](QBluetoothSocket::SocketError e) {
            events << QStringLiteral("error %1").arg(int(e));
        });
    }
};

QString errorEvent(QBluetoothSocket::SocketError e)
{
    return QStringLiteral("error %1").arg(int(e));
}

} // namespace

class TestEmulator : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void adaptersCanChangeAtRunTime();
    void discoveryReportsServicesInOrderThenFinishes();
    void stopCancelsAtOnce();
    void connectionIsRefused_data();
    void connectionIsRefused();
    void tcpServicePipesBothWays();
    void tcpFarEndCloseReportsErrorThenDisconnected();
    void tcpRefusedIsSocketError();
    void deletingConnectedSocketEmitsDisconnected();
    void instrumentAnswersArriveAsSeparatePieces();
    void instrumentAnswersKeepTheirOrder();
    void serverPicksFreeChannelsOnKnownAdaptersOnly();
    void peersBecomePendingConnections();
};

void TestEmulator::cleanup()
{
    bt::BluetoothStack::install(nullptr);
}

void TestEmulator::adaptersCanChangeAtRunTime()
{
    emu::EmulatedStack *stack = testsupport::installEmulatedStack(R"({"adapters": []})");
    QVERIFY(stack);
    QVERIFY(bt::stack().allDevices().isEmpty());
    QCOMPARE(bt::stack().defaultAdapterName(), QString());

    stack->setAdapters(
        {{QStringLiteral("One"), QBluetoothAddress(QStringLiteral("00:00:00:00:00:01"))},
         {QStringLiteral("Two"), QBluetoothAddress(QStringLiteral("00:00:00:00:00:02"))}},
        1);
    const QList<QBluetoothHostInfo> adapters = bt::stack().allDevices();
    QCOMPARE(adapters.size(), 2);
    QCOMPARE(adapters.at(0).name(), QStringLiteral("One"));
    QCOMPARE(adapters.at(1).address(), QBluetoothAddress(QStringLiteral("00:00:00:00:00:02")));
    QCOMPARE(bt::stack().defaultAdapterName(), QStringLiteral("Two"));
    QCOMPARE(bt::stack().adapterName(adapters.at(0).address()), QStringLiteral("One"));
}

void TestEmulator::discoveryReportsServicesInOrderThenFinishes()
{
    QVERIFY(testsupport::installEmulatedStack(R"({
        "adapters": [{"name": "Workstation", "address": "00:1A:7D:DA:71:01"}],
        "discoveryMs": 2,
        "devices": [
            {"name": "KV-105", "address": "00:1A:7D:DA:71:13",
             "services": [{"name": "Serial Port", "channel": 1, "instrument": {}}]},
            {"name": "", "address": "00:1A:7D:DA:71:14",
             "services": [{"name": "Audio", "channel": 3}, {"name": "Chat", "channel": 7}]}
        ]})"));

    std::unique_ptr<bt::ServiceDiscoveryAgent> agent(
        bt::stack().createDiscoveryAgent(adapterAddress));
    QSignalSpy found(agent.get(), &bt::ServiceDiscoveryAgent::serviceDiscovered);
    QSignalSpy finished(agent.get(), &bt::ServiceDiscoveryAgent::finished);
    QStringList order;
    connect(agent.get(), &bt::ServiceDiscoveryAgent::serviceDiscovered, this,
            [&order] { order << "service"; });
    connect(agent.get(), &bt::ServiceDiscoveryAgent::finished, this,
            [&order] { order << "finished"; });

    agent->start();
    QVERIFY(agent->isActive());
    QCOMPARE(found.count(), 0); // never inside start()
    QVERIFY(finished.wait(5000));
    QVERIFY(!agent->isActive());
    QCOMPARE(order, (QStringList{"service", "service", "service", "finished"}));

    const struct
    {
        const char *device;
        const char *address;
        const char *service;
        int channel;
    } expected[] = {{"KV-105", "00:1A:7D:DA:71:13", "Serial Port", 1},
                    {"", "00:1A:7D:DA:71:14", "Audio", 3},
                    {"", "00:1A:7D:DA:71:14", "Chat", 7}};
    for (int i = 0; i < 3; ++i) {
        const auto info = found.at(i).at(0).value<QBluetoothServiceInfo>();
        QCOMPARE(info.device().name(), QString::fromLatin1(expected[i].device));
        QCOMPARE(info.device().address(),
                 QBluetoothAddress(QString::fromLatin1(expected[i].address)));
        QCOMPARE(info.serviceName(), QString::fromLatin1(expected[i].service));
        QCOMPARE(info.attribute(QBluetoothServiceInfo::ServiceName).toString(),
                 QString::fromLatin1(expected[i].service));
        QCOMPARE(info.serverChannel(), expected[i].channel);
        QCOMPARE(info.socketProtocol(), QBluetoothServiceInfo::RfcommProtocol);
        QVERIFY(info.serviceClassUuids().contains(QBluetoothUuid(QBluetoothUuid::SerialPort)));
        QVERIFY(info.isValid());
    }
}

void TestEmulator::stopCancelsAtOnce()
{
    QVERIFY(testsupport::installEmulatedStack(sceneWith(R"({"channel": 1}, {"channel": 2})")));
    std::unique_ptr<bt::ServiceDiscoveryAgent> agent(
        bt::stack().createDiscoveryAgent(adapterAddress));
    QSignalSpy found(agent.get(), &bt::ServiceDiscoveryAgent::serviceDiscovered);
    QSignalSpy finished(agent.get(), &bt::ServiceDiscoveryAgent::finished);
    QSignalSpy canceled(agent.get(), &bt::ServiceDiscoveryAgent::canceled);

    agent->start();
    QVERIFY(found.wait(5000));
    agent->stop();
    QCOMPARE(canceled.count(), 1); // synchronously, like Qt
    QVERIFY(!agent->isActive());

    agent->stop(); // not active: nothing
    QCOMPARE(canceled.count(), 1);

    // Nothing more arrives from the stopped scan.
    QTest::qWait(50);
    QCOMPARE(found.count(), 1);
    QCOMPARE(finished.count(), 0);
}

void TestEmulator::connectionIsRefused_data()
{
    QTest::addColumn<QByteArray>("scene");
    QTest::addColumn<int>("channel");
    QTest::newRow("service without backing")
        << sceneWith(R"({"name": "Closed", "channel": 4})") << 4;
    QTest::newRow("no service on that channel") << sceneWith(R"({"channel": 4})") << 5;
}

void TestEmulator::connectionIsRefused()
{
    QFETCH(QByteArray, scene);
    QFETCH(int, channel);
    QVERIFY(testsupport::installEmulatedStack(scene));

    QBluetoothServiceInfo target = testsupport::sceneService(0, 0);
    QBluetoothServiceInfo::Sequence rfcomm;
    rfcomm << QVariant::fromValue(QBluetoothUuid(QBluetoothUuid::Rfcomm))
           << QVariant::fromValue(quint8(channel));
    QBluetoothServiceInfo::Sequence l2cap;
    l2cap << QVariant::fromValue(QBluetoothUuid(QBluetoothUuid::L2cap));
    QBluetoothServiceInfo::Sequence protocols;
    protocols << QVariant::fromValue(l2cap) << QVariant::fromValue(rfcomm);
    target.setAttribute(QBluetoothServiceInfo::ProtocolDescriptorList, protocols);
    QCOMPARE(target.serverChannel(), channel);

    std::unique_ptr<bt::RfcommSocket> socket(bt::stack().createSocket());
    SocketLog log;
    log.attach(socket.get());
    QSignalSpy error(socket.get(), &bt::RfcommSocket::error);
    socket->connectToService(target);
    QCOMPARE(socket->state(), QBluetoothSocket::ConnectingState);
    QCOMPARE(error.count(), 0);
    QVERIFY(error.wait(5000));
    QCOMPARE(log.events, QStringList{errorEvent(QBluetoothSocket::ServiceNotFoundError)});
    QCOMPARE(socket->state(), QBluetoothSocket::UnconnectedState);
    QCOMPARE(socket->peerName(), QStringLiteral("KV-105"));
}

void TestEmulator::tcpServicePipesBothWays()
{
    QTcpServer far;
    QVERIFY(far.listen(QHostAddress::LocalHost, 0));
    QVERIFY(testsupport::installEmulatedStack(sceneWith(tcpService(far.serverPort()))));

    std::unique_ptr<bt::RfcommSocket> socket(bt::stack().createSocket());
    QSignalSpy connected(socket.get(), &bt::RfcommSocket::connected);
    socket->connectToService(testsupport::sceneService(0, 0));
    QVERIFY(connected.wait(5000));
    QCOMPARE(socket->state(), QBluetoothSocket::ConnectedState);
    QCOMPARE(socket->peerName(), QStringLiteral("KV-105"));
    QVERIFY(far.hasPendingConnections() || far.waitForNewConnection(5000));
    std::unique_ptr<QTcpSocket> peer(far.nextPendingConnection());

    const QByteArray out("\x42\x05\x00\x00\x47", 5);
    QCOMPARE(socket->write(out), qint64(5));
    QByteArray atFar;
    QTRY_VERIFY_WITH_TIMEOUT((atFar += peer->readAll()).size() >= 5, 5000);
    QCOMPARE(atFar, out);

    QSignalSpy readyRead(socket.get(), &QIODevice::readyRead);
    const QByteArray back("\x41\x00\x0a\x31", 4);
    peer->write(back);
    QVERIFY(readyRead.wait(5000));
    QTRY_COMPARE_WITH_TIMEOUT(socket->bytesAvailable(), qint64(4), 5000);
    QVERIFY(socket->canReadLine());
    QCOMPARE(socket->readLine(), QByteArray("\x41\x00\x0a", 3));
    QCOMPARE(socket->readAll(), QByteArray("\x31"));
    QCOMPARE(socket->bytesAvailable(), qint64(0));
}

void TestEmulator::tcpFarEndCloseReportsErrorThenDisconnected()
{
    QTcpServer far;
    QVERIFY(far.listen(QHostAddress::LocalHost, 0));
    QVERIFY(testsupport::installEmulatedStack(sceneWith(tcpService(far.serverPort()))));

    std::unique_ptr<bt::RfcommSocket> socket(bt::stack().createSocket());
    SocketLog log;
    log.attach(socket.get());
    QSignalSpy disconnected(socket.get(), &bt::RfcommSocket::disconnected);
    socket->connectToService(testsupport::sceneService(0, 0));
    QVERIFY(far.waitForNewConnection(5000));
    std::unique_ptr<QTcpSocket> peer(far.nextPendingConnection());
    QTRY_COMPARE_WITH_TIMEOUT(socket->state(), QBluetoothSocket::ConnectedState, 5000);

    peer->close();
    QVERIFY(disconnected.wait(5000));
    QCOMPARE(log.events,
             (QStringList{"connected", errorEvent(QBluetoothSocket::RemoteHostClosedError),
                          "disconnected"}));
    QCOMPARE(socket->state(), QBluetoothSocket::UnconnectedState);
    QVERIFY(!socket->isOpen());

    socket.reset(); // already down: no second disconnected
    QCOMPARE(disconnected.count(), 1);
}

void TestEmulator::tcpRefusedIsSocketError()
{
    const quint16 port = testsupport::unusedTcpPort();
    QVERIFY(port);
    QVERIFY(testsupport::installEmulatedStack(sceneWith(tcpService(port))));
    std::unique_ptr<bt::RfcommSocket> socket(bt::stack().createSocket());
    SocketLog log;
    log.attach(socket.get());
    QSignalSpy error(socket.get(), &bt::RfcommSocket::error);
    socket->connectToService(testsupport::sceneService(0, 0));
    QVERIFY(error.wait(5000));
    QCOMPARE(log.events, QStringList{errorEvent(QBluetoothSocket::ServiceNotFoundError)});
    QCOMPARE(socket->state(), QBluetoothSocket::UnconnectedState);
}

void TestEmulator::deletingConnectedSocketEmitsDisconnected()
{
    QVERIFY(testsupport::installEmulatedStack(sceneWith(R"({"channel": 1, "instrument": {}})")));
    auto *socket = bt::stack().createSocket();
    QSignalSpy connected(socket, &bt::RfcommSocket::connected);
    int disconnects = 0;
    connect(socket, &bt::RfcommSocket::disconnected, this, [&disconnects] { ++disconnects; });
    socket->connectToService(testsupport::sceneService(0, 0));
    QVERIFY(connected.wait(5000));
    delete socket;
    QCOMPARE(disconnects, 1);
}

void TestEmulator::instrumentAnswersArriveAsSeparatePieces()
{
    QVERIFY(testsupport::installEmulatedStack(
        sceneWith(R"({"channel": 1, "instrument": {"chunk": 3, "delayMs": 0}})")));
    std::unique_ptr<bt::RfcommSocket> socket(bt::stack().createSocket());
    QSignalSpy connected(socket.get(), &bt::RfcommSocket::connected);
    socket->connectToService(testsupport::sceneService(0, 0));
    QVERIFY(connected.wait(5000));

    // Read everything at each notification: each one must bring one piece.
    QList<QByteArray> pieces;
    connect(socket.get(), &QIODevice::readyRead, this,
            [&pieces, &socket] { pieces << socket->readAll(); });
    socket->write(QByteArray("\x42\x05\x00\x00\x47", 5));
    QVERIFY(pieces.isEmpty()); // never inside write()

    QByteArray answer;
    QTRY_VERIFY_WITH_TIMEOUT(
        (answer = pieces.isEmpty() ? QByteArray() : pieces.join()).size() >= 3 &&
            answer.size() >= qFromLittleEndian<quint16>(answer.constData() + 1),
        5000);
    QCOMPARE(quint8(answer.at(0)), quint8(0x42));
    QCOMPARE(answer.size(), int(qFromLittleEndian<quint16>(answer.constData() + 1)));
    QCOMPARE(pieces.size(), (answer.size() + 2) / 3);
    for (int i = 0; i < pieces.size(); ++i)
        QCOMPARE(pieces.at(i), answer.mid(i * 3, 3));
}

void TestEmulator::instrumentAnswersKeepTheirOrder()
{
    QVERIFY(testsupport::installEmulatedStack(
        sceneWith(R"({"channel": 1, "instrument": {"chunk": "random", "delayMs": 3}})")));
    std::unique_ptr<bt::RfcommSocket> socket(bt::stack().createSocket());
    QSignalSpy connected(socket.get(), &bt::RfcommSocket::connected);
    socket->connectToService(testsupport::sceneService(0, 0));
    QVERIFY(connected.wait(5000));

    QByteArray received;
    connect(socket.get(), &QIODevice::readyRead, this,
            [&received, &socket] { received += socket->readAll(); });
    // Identity request and record list request in one write.
    socket->write(QByteArray("\x42\x05\x00\x00\x47\x41\x04\x00\x45", 9));

    auto frameLength = [&received](int at) {
        return received.size() >= at + 3
                   ? int(qFromLittleEndian<quint16>(received.constData() + at + 1))
                   : 0;
    };
    QTRY_VERIFY_WITH_TIMEOUT(frameLength(0) > 0 && frameLength(frameLength(0)) > 0 &&
                                 received.size() >= frameLength(0) + frameLength(frameLength(0)),
                             5000);
    QCOMPARE(quint8(received.at(0)), quint8(0x42));
    QCOMPARE(quint8(received.at(frameLength(0))), quint8(0x41));
    QCOMPARE(received.size(), frameLength(0) + frameLength(frameLength(0)));
}

void TestEmulator::serverPicksFreeChannelsOnKnownAdaptersOnly()
{
    QVERIFY(testsupport::installEmulatedStack(sceneWith("")));
    std::unique_ptr<bt::RfcommServer> first(bt::stack().createServer());
    std::unique_ptr<bt::RfcommServer> second(bt::stack().createServer());
    std::unique_ptr<bt::RfcommServer> stranger(bt::stack().createServer());

    QVERIFY(first->listen(adapterAddress));
    QVERIFY(first->isListening());
    QCOMPARE(first->serverPort(), quint16(1));
    QVERIFY(second->listen(adapterAddress, 0));
    QCOMPARE(second->serverPort(), quint16(2));
    QVERIFY(!stranger->listen(QBluetoothAddress(QStringLiteral("00:00:00:00:00:99"))));
    QVERIFY(!stranger->isListening());

    first.reset();
    QVERIFY(stranger->listen(adapterAddress, 0));
    QCOMPARE(stranger->serverPort(), quint16(1));
    QVERIFY(!stranger->hasPendingConnections());
    QCOMPARE(stranger->nextPendingConnection(), nullptr);
}

void TestEmulator::peersBecomePendingConnections()
{
    emu::EmulatedStack *stack = testsupport::installEmulatedStack(
        sceneWith("", R"(, "peers": {"listen": "127.0.0.1:0", "name": "Meter"})"));
    QVERIFY(stack);
    QCOMPARE(stack->peersPort(), quint16(0)); // nobody listens yet

    std::unique_ptr<bt::RfcommServer> server(bt::stack().createServer());
    QVERIFY(server->listen(adapterAddress));
    QVERIFY(stack->peersPort() != 0);
    QSignalSpy newConnection(server.get(), &bt::RfcommServer::newConnection);

    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, stack->peersPort());
    QVERIFY(newConnection.wait(5000));
    QVERIFY(server->hasPendingConnections());
    std::unique_ptr<bt::RfcommSocket> socket(server->nextPendingConnection());
    QVERIFY(socket);
    QVERIFY(!server->hasPendingConnections());
    QCOMPARE(socket->peerName(), QStringLiteral("Meter"));
    QCOMPARE(socket->state(), QBluetoothSocket::ConnectedState);
    QVERIFY(socket->isOpen());

    QSignalSpy readyRead(socket.get(), &QIODevice::readyRead);
    peer.write("hello\n");
    QVERIFY(readyRead.wait(5000));
    QTRY_VERIFY_WITH_TIMEOUT(socket->canReadLine(), 5000);
    QCOMPARE(socket->readLine(), QByteArray("hello\n"));

    socket->write("back\n");
    QTRY_VERIFY_WITH_TIMEOUT(peer.canReadLine(), 5000);
    QCOMPARE(peer.readLine(), QByteArray("back\n"));

    QSignalSpy disconnected(socket.get(), &bt::RfcommSocket::disconnected);
    peer.close();
    QVERIFY(disconnected.wait(5000));
    QCOMPARE(socket->state(), QBluetoothSocket::UnconnectedState);
}

QTEST_GUILESS_MAIN(TestEmulator)
#include "tst_emulator.moc"
