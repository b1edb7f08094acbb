// Scanning for instruments: which devices make it into the list, and how.
#include "apptestsupport.h"

#include "bluetooth/emulator/emulatedstack.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray kCrowdedScene = R"({
  "adapters": [ {"name": "Workstation", "address": "00:1A:7D:DA:71:01"} ],
  "devices": [
    {"name": "Phone", "address": "00:1A:7D:DA:72:01",
     "services": [ {"name": "Audio Sink", "channel": 3} ]},
    {"name": "KV-105", "address": "00:1A:7D:DA:72:02",
     "services": [ {"name": "Serial Port", "channel": 1, "instrument": {}},
                   {"name": "Second Port", "channel": 2},
                   {"name": "Third Port", "channel": 4} ]},
    {"name": "kv-100", "address": "00:1A:7D:DA:72:03",
     "services": [ {"name": "Serial Port", "channel": 1} ]},
    {"name": "", "address": "00:1A:7D:DA:72:04",
     "services": [ {"name": "Serial Port", "channel": 1} ]},
    {"name": "KV-100", "address": "00:1A:7D:DA:72:05",
     "services": [ {"name": "Serial Port", "channel": 5} ]},
    {"name": "KV-100", "address": "00:1A:7D:DA:72:06",
     "services": [ {"name": "Serial Port", "channel": 6} ]}
  ]
})";

const QByteArray kEmptyScene = R"({
  "adapters": [ {"name": "Workstation", "address": "00:1A:7D:DA:71:01"} ],
  "devices": [
    {"name": "Phone", "address": "00:1A:7D:DA:72:01",
     "services": [ {"name": "Audio Sink", "channel": 3} ]},
    {"name": "", "address": "00:1A:7D:DA:72:04",
     "services": [ {"name": "Serial Port", "channel": 1} ]}
  ]
})";

} // namespace

class DiscoveryTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void onlyInstrumentsListed();
    void firstEntryChosenWithoutClick();
    void scanFindingNothing();
    void newScanStartsAfresh();
    void choosingStopsRunningScan();
    void activationOnlyLogs();

private:
    void start(const QByteArray &scene);

    QTemporaryDir m_config;
    MainWindow *m_window = nullptr;
    MainWindowProbe *m_probe = nullptr;
};

void DiscoveryTest::init()
{
    isolateSettings(m_config.path());
}

void DiscoveryTest::cleanup()
{
    delete m_probe;
    delete m_window;
    m_probe = nullptr;
    m_window = nullptr;
}

void DiscoveryTest::start(const QByteArray &scene)
{
    QVERIFY(installScene(scene));
    m_window = new MainWindow;
    QVERIFY(m_window->init());
    m_probe = new MainWindowProbe(*m_window);
}

void DiscoveryTest::onlyInstrumentsListed()
{
    start(kCrowdedScene);
    m_probe->action("actionScan")->trigger();
    QCOMPARE(m_probe->status(), QStringLiteral("Scanning..."));
    QVERIFY(!m_probe->list("devicesLst")->isEnabled());
    QTRY_COMPARE(m_probe->status(), QStringLiteral("discovery Finished"));

    // One entry per device, upper-case marker only, nameless devices left out,
    // equal names at different addresses kept apart.
    QCOMPARE(m_probe->items("devicesLst"),
             QStringList({QStringLiteral("KV-105\n00:1A:7D:DA:72:02"),
                          QStringLiteral("KV-100\n00:1A:7D:DA:72:05"),
                          QStringLiteral("KV-100\n00:1A:7D:DA:72:06")}));
    // The device with several services keeps the first one reported.
    QCOMPARE(m_probe->selectedService().serviceName(), QStringLiteral("Serial Port"));
    QCOMPARE(m_probe->selectedService().serverChannel(), 1);
    for (int row = 0; row < 3; ++row)
        QVERIFY(!m_probe->list("devicesLst")->item(row)->icon().isNull());
}

void DiscoveryTest::firstEntryChosenWithoutClick()
{
    start(kCrowdedScene);
    m_probe->action("actionScan")->trigger();
    QTRY_COMPARE(m_probe->status(), QStringLiteral("discovery Finished"));
    QListWidget *devices = m_probe->list("devicesLst");
    QVERIFY(devices->isEnabled());
    QCOMPARE(devices->currentRow(), 0);
    QVERIFY(devices->item(0)->isSelected());
    QVERIFY(m_probe->action("actionConnect")->isEnabled());
    QVERIFY(m_probe->action("actionScan")->isEnabled());
    QCOMPARE(m_probe->selectedService().device().address(),
             QBluetoothAddress(QStringLiteral("00:1A:7D:DA:72:02")));

    devices->setCurrentRow(2);
    QCOMPARE(m_probe->selectedService().device().address(),
             QBluetoothAddress(QStringLiteral("00:1A:7D:DA:72:06")));
}

void DiscoveryTest::scanFindingNothing()
{
    start(kEmptyScene);
    m_probe->action("actionScan")->trigger();
    QTRY_COMPARE(m_probe->status(), QStringLiteral("discovery Finished"));
    QCOMPARE(m_probe->list("devicesLst")->count(), 0);
    QVERIFY(!m_probe->list("devicesLst")->isEnabled());
    QVERIFY(!m_probe->action("actionConnect")->isEnabled());
    QVERIFY(m_probe->action("actionScan")->isEnabled());
    QVERIFY(!m_probe->selectedService().isValid());
}

void DiscoveryTest::newScanStartsAfresh()
{
    start(kCrowdedScene);
    m_probe->action("actionScan")->trigger();
    QTRY_COMPARE(m_probe->status(), QStringLiteral("discovery Finished"));
    const QBluetoothServiceInfo chosen = m_probe->selectedService();

    m_probe->action("actionScan")->trigger();
    QCOMPARE(m_probe->list("devicesLst")->count(), 0);
    QVERIFY(!m_probe->action("actionConnect")->isEnabled());
    // The target stays until a new entry becomes current.
    QCOMPARE(m_probe->selectedService().device().address(), chosen.device().address());
    QTRY_COMPARE(m_probe->status(), QStringLiteral("discovery Finished"));
    QCOMPARE(m_probe->items("devicesLst").size(), 3);
}

void DiscoveryTest::choosingStopsRunningScan()
{
    start(kCrowdedScene);
    m_probe->action("actionScan")->trigger();
    // As soon as an instrument shows up, making it current ends the scan.
    QTRY_VERIFY(m_probe->list("devicesLst")->count() > 0);
    QVERIFY(m_probe->discoveryActive());
    m_probe->list("devicesLst")->setCurrentRow(0);
    QVERIFY(!m_probe->discoveryActive());
    QCOMPARE(m_probe->status(), QStringLiteral("discovery Finished"));
    QVERIFY(m_probe->action("actionConnect")->isEnabled());
    QVERIFY(m_probe->action("actionScan")->isEnabled());
}

void DiscoveryTest::activationOnlyLogs()
{
    start(kCrowdedScene);
    m_probe->action("actionScan")->trigger();
    QTRY_COMPARE(m_probe->status(), QStringLiteral("discovery Finished"));
    QListWidget *devices = m_probe->list("devicesLst");
    QTest::ignoreMessage(QtDebugMsg, "got click \"KV-105\\n00:1A:7D:DA:72:02\"");
    emit devices->itemActivated(devices->item(0));
    QVERIFY(!m_probe->session().service().isValid());
    QVERIFY(!m_probe->action("actionConnect")->isChecked());
}

QTEST_MAIN(DiscoveryTest)
#include "tst_discovery.moc"
