// Scanning, connecting and disconnecting, walked through the window's state
// table on the emulated radio.
#include "apptestsupport.h"

#include "bluetooth/emulator/emulatedstack.h"
#include "protocol/frame.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kStart = QStringLiteral(
    "scan on, devices off, connect off, getList off, records off, load off, files off, "
    "upload off, serial off");
const QString kScanning = QStringLiteral(
    "scan off, devices off, connect off, getList off, records off, load off, files off, "
    "upload off, serial off");
const QString kScanDone = QStringLiteral(
    "scan on, devices on, connect on, getList off, records off, load off, files off, "
    "upload off, serial off");
const QString kConnecting = QStringLiteral(
    "scan on, devices on, connect off checked, getList off, records off, load off, files off, "
    "upload off, serial off");
const QString kLinked = QStringLiteral(
    "scan on, devices on, connect on checked, getList off, records off, load off, files off, "
    "upload off, serial off");
const QString kIdentified = QStringLiteral(
    "scan off, devices off, connect on checked, getList on, records off, load off, files off, "
    "upload off, serial on");
const QString kListed = QStringLiteral(
    "scan off, devices off, connect on checked, getList on, records on, load off, files on, "
    "upload off, serial on");
const QString kDisconnecting =
    QStringLiteral("scan off, devices off, connect on, getList on, records on, load off, files on, "
                   "upload off, serial on");
const QString kDisconnected = QStringLiteral(
    "scan on, devices on, connect on, getList off, records off, load off, files off, "
    "upload off, serial off");
const QString kRefused = QStringLiteral(
    "scan on, devices on, connect on, getList off, records off, load off, files off, "
    "upload off, serial off");

// Plays an instrument over the emulator's TCP bridge, so the test decides
// when the far end goes away.
class BridgeInstrument : public QObject
{
public:
    BridgeInstrument()
    {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, this, [this] {
            peer = server.nextPendingConnection();
            QObject::connect(peer, &QTcpSocket::readyRead, this, [this] {
                const QByteArray bytes = peer->readAll();
                if (bytes.startsWith(char(0x42)))
                    peer->write(
                        protocol::frameBytes(QStringLiteral("420e00692102183030313233341e")));
            });
        });
    }
    void hangUp()
    {
        if (peer)
            peer->disconnectFromHost();
    }
    QTcpServer server;
    QTcpSocket *peer = nullptr;
};

QByteArray sceneJson(quint16 bridgePort)
{
    return QStringLiteral(R"({
      "adapters": [ {"name": "Workstation", "address": "00:1A:7D:DA:71:01"} ],
      "devices": [
        {"name": "KV-105", "address": "00:1A:7D:DA:71:13",
         "services": [ {"name": "Serial Port", "channel": 1,
                        "instrument": {"records": 4, "delayMs": 400, "chunk": "random", "seed": 7}} ]},
        {"name": "KV-200", "address": "00:1A:7D:DA:71:14",
         "services": [ {"name": "Bridge", "channel": 2, "tcp": "127.0.0.1:%1"} ]},
        {"name": "KV-300", "address": "00:1A:7D:DA:71:15",
         "services": [ {"name": "Audio Sink", "channel": 3} ]}
      ]
    })")
        .arg(bridgePort)
        .toUtf8();
}

} // namespace

class ConnectionTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void userDisconnectAndReconnect();
    void refusedServiceThenOtherInstrument();
    void farEndClosesThenReconnect();
    void identityAskedTwiceAndShown();
    void recordListSortedAndSelectable();
    void disconnectDropsQueuedCommands();

private:
    void scanAndPick(int row);
    void connectAndIdentify(const QString &name);
    void compareStates(const QString &expected, const QString &status = QString());

    QTemporaryDir m_config;
    QTemporaryDir m_work;
    BridgeInstrument *m_bridge = nullptr;
    MainWindow *m_window = nullptr;
    MainWindowProbe *m_probe = nullptr;
};

void ConnectionTest::init()
{
    isolateSettings(m_config.path());
    QDir::setCurrent(m_work.path());
    m_bridge = new BridgeInstrument;
    QVERIFY(installScene(sceneJson(m_bridge->server.serverPort())));
    m_window = new MainWindow;
    QVERIFY(m_window->init());
    m_probe = new MainWindowProbe(*m_window);
}

void ConnectionTest::cleanup()
{
    delete m_probe;
    delete m_window;
    delete m_bridge;
    m_probe = nullptr;
    m_window = nullptr;
    m_bridge = nullptr;
}

void ConnectionTest::compareStates(const QString &expected, const QString &status)
{
    QCOMPARE(m_probe->controlStates(), expected);
    if (!status.isNull())
        QCOMPARE(m_probe->status(), status);
}

void ConnectionTest::scanAndPick(int row)
{
    m_probe->action("actionScan")->trigger();
    QTRY_COMPARE(m_probe->status(), QStringLiteral("discovery Finished"));
    m_probe->list("devicesLst")->setCurrentRow(row);
}

void ConnectionTest::connectAndIdentify(const QString &name)
{
    m_probe->action("actionConnect")->setChecked(true);
    QTRY_VERIFY(m_probe->status().startsWith(QStringLiteral("Connected to ") + name));
}

void ConnectionTest::userDisconnectAndReconnect()
{
    compareStates(kStart, QStringLiteral("Disconnected"));

    m_probe->action("actionScan")->trigger();
    compareStates(kScanning, QStringLiteral("Scanning..."));
    QTRY_COMPARE(m_probe->status(), QStringLiteral("discovery Finished"));
    compareStates(kScanDone);
    QCOMPARE(m_probe->list("devicesLst")->currentRow(), 0);
    QVERIFY(m_probe->list("devicesLst")->item(0)->isSelected());

    m_probe->action("actionConnect")->setChecked(true);
    compareStates(kConnecting, QStringLiteral("Connecting to KV-105 ( 00:1A:7D:DA:71:13 )"));

    QTRY_VERIFY(m_probe->log().contains(QStringLiteral("Joined with KV-105.\n")));
    compareStates(kLinked);

    QTRY_COMPARE(m_probe->status(), QStringLiteral("Connected to KV-105 ( 00:1A:7D:DA:71:13 )"));
    compareStates(kIdentified);

    m_probe->action("actionGet_List")->trigger();
    QTRY_COMPARE(m_probe->list("recordsLst")->count(), 4);
    compareStates(kListed);

    m_probe->action("actionConnect")->setChecked(false);
    compareStates(kDisconnecting, QStringLiteral("Disconnecting..."));
    QTRY_COMPARE(m_probe->status(), QStringLiteral("Disconnected"));
    compareStates(kDisconnected);
    QCOMPARE(m_probe->list("recordsLst")->count(), 0);
    QVERIFY(m_probe->recordMap().isEmpty());
    QVERIFY(m_probe->deviceInfo().isEmpty());
    QCOMPARE(m_probe->liveClients(), 0);

    // A second connection to the same instrument.
    connectAndIdentify(QStringLiteral("KV-105"));
    compareStates(kIdentified);
    QCOMPARE(m_probe->liveClients(), 1);
}

void ConnectionTest::refusedServiceThenOtherInstrument()
{
    scanAndPick(2);
    QCOMPARE(m_probe->selectedService().device().name(), QStringLiteral("KV-300"));
    m_probe->action("actionConnect")->setChecked(true);
    QTRY_VERIFY(m_probe->log().contains(QStringLiteral("KV-300 ")));
    QVERIFY(m_probe->log().contains(QStringLiteral(" occurred")));
    QTRY_COMPARE(m_probe->liveClients(), 0);
    compareStates(kRefused, QStringLiteral("Disconnecting..."));

    // Checking it again starts a fresh client.
    m_probe->action("actionConnect")->setChecked(true);
    QTRY_COMPARE(m_probe->liveClients(), 0);
    compareStates(kRefused);

    m_probe->list("devicesLst")->setCurrentRow(0);
    connectAndIdentify(QStringLiteral("KV-105"));
    compareStates(kIdentified);
}

void ConnectionTest::farEndClosesThenReconnect()
{
    scanAndPick(1);
    connectAndIdentify(QStringLiteral("KV-200"));
    compareStates(kIdentified);

    m_bridge->hangUp();
    QTRY_COMPARE(m_probe->status(), QStringLiteral("Disconnected"));
    compareStates(kDisconnected);
    QVERIFY(m_probe->log().contains(QStringLiteral("KV-200 RemoteHostClosedError occurred")));
    QVERIFY(!m_probe->action("actionConnect")->isChecked());

    connectAndIdentify(QStringLiteral("KV-200"));
    compareStates(kIdentified);
}

void ConnectionTest::identityAskedTwiceAndShown()
{
    scanAndPick(0);
    connectAndIdentify(QStringLiteral("KV-105"));
    const QString sent = m_probe->localName() + QStringLiteral(": 4205000047");
    QTRY_COMPARE(m_probe->log().count(sent), 2);
    const QString log = m_probe->log();
    const int first = log.indexOf(sent);
    const int answer = log.indexOf(QStringLiteral("KV-105: 42"), first);
    const int second = log.indexOf(sent, first + 1);
    QVERIFY(answer > first);
    QVERIFY2(second > answer, "the second identity request waits for the first answer");
    QVERIFY(log.indexOf(QStringLiteral("Joined with KV-105.")) < first);
    QCOMPARE(m_probe->deviceInfo(),
             QStringLiteral("TDR 105\ndata format: 250/ 8bit\nsn:001234\np.v:20210218\n"
                            "a.v:20210218"));
}

void ConnectionTest::recordListSortedAndSelectable()
{
    scanAndPick(0);
    connectAndIdentify(QStringLiteral("KV-105"));
    QTRY_VERIFY(m_probe->queue().isEmpty());
    m_probe->action("actionGet_List")->trigger();
    QCOMPARE(m_probe->log().count(QStringLiteral(": 41040045")), 1);
    QListWidget *records = m_probe->list("recordsLst");
    QTRY_COMPARE(records->count(), 4);
    QStringList texts;
    for (int i = 0; i < records->count(); ++i) {
        QListWidgetItem *item = records->item(i);
        texts << item->text();
        QVERIFY(m_probe->recordMap().contains(item));
        const protocol::RecordEntry entry{m_probe->recordMap().value(item)};
        QCOMPARE(entry.text(), item->text());
    }
    QStringList sorted = texts;
    sorted.sort();
    QCOMPARE(texts, sorted);

    QAction *load = m_probe->action("actionLoad_Selected");
    records->item(1)->setSelected(true);
    QVERIFY(load->isEnabled());
    records->item(2)->setSelected(true);
    records->item(1)->setSelected(false);
    QVERIFY(load->isEnabled());
    records->item(2)->setSelected(false);
    QVERIFY(!load->isEnabled());
}

void ConnectionTest::disconnectDropsQueuedCommands()
{
    scanAndPick(0);
    connectAndIdentify(QStringLiteral("KV-105"));
    QTRY_VERIFY(m_probe->queue().isEmpty());
    m_probe->action("actionGet_List")->trigger();
    QTRY_COMPARE(m_probe->list("recordsLst")->count(), 4);
    m_probe->list("recordsLst")->selectAll();
    m_probe->action("actionLoad_Selected")->trigger();
    QVERIFY(!m_probe->queue().isIdle());

    m_probe->action("actionConnect")->setChecked(false);
    QTRY_VERIFY(m_probe->status().startsWith(QStringLiteral("Disconnected")));
    QVERIFY(m_probe->queue().isEmpty());
    QVERIFY2(m_probe->status().contains(
                 QStringLiteral("Disconnected. Queued commands not carried out: 4.")),
             qPrintable(m_probe->status()));

    // Nothing left over reaches the next instrument.
    const int sentBefore = m_probe->log().count(QStringLiteral(": 4005"));
    connectAndIdentify(QStringLiteral("KV-105"));
    QTRY_VERIFY(m_probe->queue().isEmpty());
    QCOMPARE(m_probe->log().count(QStringLiteral(": 4005")), sentBefore);
}

QTEST_MAIN(ConnectionTest)
#include "tst_connection.moc"
