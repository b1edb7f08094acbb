// The tool's own RFCOMM service as the window uses it: peers joining through
// the emulator's TCP address, the frames the window sends reaching them, and
// their lines landing in the log.
#include "apptestsupport.h"

#include "bluetooth/emulator/emulatedstack.h"

#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray kScene = R"({
  "adapters": [ {"name": "Workstation", "address": "00:1A:7D:DA:71:01"} ],
  "devices": [
    {"name": "KV-105", "address": "00:1A:7D:DA:71:13",
     "services": [ {"name": "Serial Port", "channel": 1, "instrument": {"delayMs": 1}} ]}
  ],
  "peers": {"listen": "127.0.0.1:0", "name": "Meter"}
})";

} // namespace

class LocalServiceTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void peersGetEveryFrame();
    void peerLinesAreLogged();
    void joiningAndLeavingAreLogged();
    void serviceRecordPublished();

private:
    QTcpSocket *joinPeer();

    QTemporaryDir m_config;
    MainWindow *m_window = nullptr;
    MainWindowProbe *m_probe = nullptr;
    QList<QTcpSocket *> m_peers;
};

void LocalServiceTest::init()
{
    isolateSettings(m_config.path());
    QVERIFY(installScene(kScene));
    m_window = new MainWindow;
    QVERIFY(m_window->init());
    m_probe = new MainWindowProbe(*m_window);
    QVERIFY(bt::emulatedStack()->peersPort() != 0);
}

void LocalServiceTest::cleanup()
{
    qDeleteAll(m_peers);
    m_peers.clear();
    delete m_probe;
    delete m_window;
    m_probe = nullptr;
    m_window = nullptr;
}

QTcpSocket *LocalServiceTest::joinPeer()
{
    auto *peer = new QTcpSocket;
    m_peers.append(peer);
    const int joined = m_probe->log().count(QStringLiteral("Meter has joined.\n"));
    peer->connectToHost(QHostAddress::LocalHost, bt::emulatedStack()->peersPort());
    if (!peer->waitForConnected(5000))
        return nullptr;
    const bool logged = QTest::qWaitFor(
        [&] { return m_probe->log().count(QStringLiteral("Meter has joined.\n")) == joined + 1; },
        5000);
    return logged ? peer : nullptr;
}

void LocalServiceTest::peersGetEveryFrame()
{
    QTcpSocket *first = joinPeer();
    QTcpSocket *second = joinPeer();
    QVERIFY(first && second);

    m_probe->action("actionScan")->trigger();
    QTRY_COMPARE(m_probe->status(), QStringLiteral("discovery Finished"));
    m_probe->action("actionConnect")->setChecked(true);
    QTRY_VERIFY(m_probe->status().startsWith(QStringLiteral("Connected to")));
    QTRY_VERIFY(m_probe->session().queue().isEmpty());
    m_probe->action("actionGet_List")->trigger();
    QTRY_VERIFY(m_probe->list("recordsLst")->isEnabled());

    // Both peers see the two identity requests and the list request, as lines.
    const QByteArray expected = "4205000047\n4205000047\n41040045\n";
    for (QTcpSocket *peer : {first, second}) {
        QByteArray received;
        QTRY_VERIFY((received += peer->readAll()).size() >= expected.size());
        QCOMPARE(received, expected);
    }
}

void LocalServiceTest::peerLinesAreLogged()
{
    QTcpSocket *peer = joinPeer();
    QVERIFY(peer);
    peer->write("4205\r\n  spaced out  \n\nunfinished");
    QTRY_VERIFY(m_probe->log().contains(QStringLiteral("Meter: spaced out\n")));
    const QString log = m_probe->log();
    const int first = log.indexOf(QStringLiteral("Meter: 4205\n"));
    const int second = log.indexOf(QStringLiteral("Meter: spaced out\n"));
    QVERIFY(first >= 0);
    QVERIFY(second > first);
    QVERIFY(log.contains(QStringLiteral("Meter: \n")));
    QVERIFY(!log.contains(QStringLiteral("unfinished")));
    peer->write(" line\n");
    QTRY_VERIFY(m_probe->log().contains(QStringLiteral("Meter: unfinished line\n")));
    // Peer lines are not instrument answers.
    QVERIFY(m_probe->deviceInfo().isEmpty());
}

void LocalServiceTest::joiningAndLeavingAreLogged()
{
    QTcpSocket *peer = joinPeer();
    QVERIFY(peer);
    peer->disconnectFromHost();
    QTRY_VERIFY(m_probe->log().contains(QStringLiteral("Meter has left.\n")));
    QVERIFY(m_probe->log().indexOf(QStringLiteral("Meter has joined.\n")) <
            m_probe->log().indexOf(QStringLiteral("Meter has left.\n")));
}

void LocalServiceTest::serviceRecordPublished()
{
    const QList<QBluetoothServiceInfo> records = bt::emulatedStack()->registeredServices();
    QCOMPARE(records.size(), 1);
    const QBluetoothServiceInfo &info = records.first();
    QCOMPARE(info.serviceName(), QStringLiteral("Varnel Server"));
    QCOMPARE(info.serviceDescription(), QStringLiteral("Varnel server"));
    QVERIFY(info.serviceClassUuids().contains(
        QBluetoothUuid(QStringLiteral("e8e10f95-1a70-4b27-9ccf-02010264e9c8"))));
    QVERIFY(info.serverChannel() > 0);
}

QTEST_MAIN(LocalServiceTest)
#include "tst_localservice.moc"
