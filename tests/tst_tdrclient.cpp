// SPDX-License-Identifier: GPL-3.0-or-later
#include "bluetooth/emulator/emulatedstack.h"
#include "link/tdrclient.h"
#include "testsupport.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

namespace {

QByteArray sceneFor(const QByteArray &services)
{
    return R"({"adapters": [{"name": "Workstation", "address": "00:1A:7D:DA:71:01"}],
               "devices": [{"name": "Meter", "address": "00:1A:7D:DA:71:13", "services": [)" +
           services + "]}]}";
}

} // namespace

// A link to a TCP server of the test that plays the instrument.
class Link
{
public:
    bool open()
    {
        if (!far.listen(QHostAddress::LocalHost, 0))
            return false;
        if (!testsupport::installEmulatedStack(
                sceneFor(R"({"name": "Serial Port", "channel": 1, "tcp": "127.0.0.1:)" +
                         QByteArray::number(far.serverPort()) + "\"}")))
            return false;
        client = std::make_unique<TDRClient>(nullptr);
        QSignalSpy connected(client.get(), QOverload<QString>::of(&TDRClient::connected));
        client->startClient(testsupport::sceneService(0, 0));
        if (!connected.wait(5000) || connected.at(0).at(0).toString() != QLatin1String("Meter"))
            return false;
        if (!far.hasPendingConnections() && !far.waitForNewConnection(5000))
            return false;
        instrument.reset(far.nextPendingConnection());
        return instrument != nullptr;
    }

    // Everything the instrument received up to (not including) the marker byte 0xff.
    QByteArray receivedBeforeMarker()
    {
        QSignalSpy arrived(instrument.get(), &QIODevice::readyRead);
        client->sendMessage(QStringLiteral("ff"));
        QByteArray got;
        // The emulated link flushes through the event loop, so wait in it.
        while (!got.endsWith('\xff')) {
            if (!instrument->bytesAvailable() && !arrived.wait(5000))
                return QByteArray("timed out: ") + got.toHex();
            got += instrument->readAll();
        }
        got.chop(1);
        return got;
    }

    QTcpServer far;
    std::unique_ptr<TDRClient> client;
    std::unique_ptr<QTcpSocket> instrument;
};

class TestTDRClient : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void textAndBytes_data();
    void textAndBytes();
    void farEndCloseGivesErrorTextThenDisconnected();
    void refusedConnectionGivesErrorText();
    void destroyingConnectedClientReportsDisconnected();
    void retireSchedulesDeletionOnce();
};

void TestTDRClient::cleanup()
{
    bt::BluetoothStack::install(nullptr);
}

void TestTDRClient::textAndBytes_data()
{
    QTest::addColumn<bool>("sending");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("texts"); // the text sent, or the pieces received
    QTest::newRow("send identity request")
        << true << QByteArray("\x42\x05\x00\x00\x47", 5) << QStringList{"4205000047"};
    QTest::newRow("send upper case digits")
        << true << QByteArray("\x4a\x0b", 2) << QStringList{"4A0B"};
    QTest::newRow("send, non-hex characters skipped")
        << true << QByteArray("\x42\x05\x00", 3) << QStringList{"42 05:00"};
    QTest::newRow("send empty text: nothing") << true << QByteArray() << QStringList{""};
    QTest::newRow("receive, no line end")
        << false << QByteArray("\x41\x05\x00\x00\x46", 5) << QStringList{"4105000046"};
    // Bytes behind a 0x0A are delivered at once, as their own piece.
    QTest::newRow("receive, line end inside")
        << false << QByteArray("\x42\x0a\x00\x31", 4) << QStringList{"420a", "0031"};
    QTest::newRow("receive, several line ends, high bytes in lower case")
        << false << QByteArray("\x0a\x0a\xab\x0a", 4) << QStringList{"0a", "0a", "ab0a"};
}

void TestTDRClient::textAndBytes()
{
    QFETCH(bool, sending);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, texts);
    Link link;
    QVERIFY(link.open());
    if (sending) {
        link.client->sendMessage(texts.at(0));
        QCOMPARE(link.receivedBeforeMarker(), bytes);
        return;
    }
    QSignalSpy received(link.client.get(), &TDRClient::messageReceived);
    link.instrument->write(bytes);
    QTRY_COMPARE_WITH_TIMEOUT(received.count(), texts.size(), 5000);
    for (int i = 0; i < texts.size(); ++i) {
        QCOMPARE(received.at(i).at(0).toString(), QStringLiteral("Meter"));
        QCOMPARE(received.at(i).at(1).toString(), texts.at(i));
    }
}

void TestTDRClient::farEndCloseGivesErrorTextThenDisconnected()
{
    Link link;
    QVERIFY(link.open());
    QStringList order;
    connect(link.client.get(), &TDRClient::socketErrorOccurred, this,
            [&order](const QString &text) { order << text; });
    connect(link.client.get(), &TDRClient::disconnected, this, [&order] { order << "down"; });
    link.instrument->close();
    QTRY_COMPARE_WITH_TIMEOUT(order.size(), 2, 5000);
    QCOMPARE(order, (QStringList{"Meter RemoteHostClosedError occurred", "down"}));
}

void TestTDRClient::refusedConnectionGivesErrorText()
{
    QVERIFY(testsupport::installEmulatedStack(sceneFor(R"({"name": "Closed", "channel": 3})")));
    TDRClient client(nullptr);
    QSignalSpy errors(&client, &TDRClient::socketErrorOccurred);
    QSignalSpy connected(&client, QOverload<QString>::of(&TDRClient::connected));
    client.startClient(testsupport::sceneService(0, 0));
    QVERIFY(errors.wait(5000));
    QCOMPARE(errors.at(0).at(0).toString(), QStringLiteral("Meter ServiceNotFoundError occurred"));
    QCOMPARE(connected.count(), 0);
}

void TestTDRClient::destroyingConnectedClientReportsDisconnected()
{
    Link link;
    QVERIFY(link.open());
    bool closingWhenReported = false;
    int reports = 0;
    TDRClient *client = link.client.get();
    connect(client, &TDRClient::disconnected, this, [&, client] {
        ++reports;
        closingWhenReported = client->isClosing();
    });
    QVERIFY(!client->isClosing());
    link.client.reset();
    QCOMPARE(reports, 1);
    QVERIFY(closingWhenReported);
    // The instrument sees the link go down.
    QTRY_COMPARE_WITH_TIMEOUT(link.instrument->state(), QAbstractSocket::UnconnectedState, 5000);
}

void TestTDRClient::retireSchedulesDeletionOnce()
{
    QVERIFY(testsupport::installEmulatedStack(sceneFor("")));
    QPointer<TDRClient> client = new TDRClient(nullptr);
    QSignalSpy destroyed(client.data(), &QObject::destroyed);
    QVERIFY(!client->isRetired());
    client->retire();
    QVERIFY(client->isRetired());
    client->retire();
    QVERIFY(client); // deferred, never inside the call
    QTRY_VERIFY_WITH_TIMEOUT(!client, 5000);
    QCOMPARE(destroyed.count(), 1);
}

QTEST_GUILESS_MAIN(TestTDRClient)
#include "tst_tdrclient.moc"
