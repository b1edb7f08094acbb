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
    void init() { isolateSettings(m_config.path()); }
    void cleanup()
    {
        delete m_probe;
        delete m_window;
    }
    void instrumentsListedFirstChosen();
    void scanFindingNothing();
    void choosingStopsRunningScan();

private:
    void scan(const QByteArray &scene)
    {
        QVERIFY(installScene(scene));
        m_window = new MainWindow;
        QVERIFY(m_window->init());
        m_probe = new MainWindowProbe(*m_window);
        m_probe->action("actionScan")->trigger();
    }

    QTemporaryDir m_config;
    MainWindow *m_window = nullptr;
    MainWindowProbe *m_probe = nullptr;
};

void DiscoveryTest::instrumentsListedFirstChosen()
{
    scan(kCrowdedScene);
    QCOMPARE(m_probe->status(), QStringLiteral("Scanning..."));
    QTRY_COMPARE(m_probe->status(), QStringLiteral("discovery Finished"));

    // One entry per device, upper-case marker only, nameless devices left out,
    // equal names at different addresses kept apart.
    const QStringList expected{QStringLiteral("KV-105\n00:1A:7D:DA:72:02"),
                               QStringLiteral("KV-100\n00:1A:7D:DA:72:05"),
                               QStringLiteral("KV-100\n00:1A:7D:DA:72:06")};
    QCOMPARE(m_probe->items("devicesLst"), expected);
    QListWidget *devices = m_probe->list("devicesLst");
    // The first entry is chosen without a click, with the first service the
    // device reported.
    QCOMPARE(devices->currentRow(), 0);
    QCOMPARE(m_probe->selectedService().serviceName(), QStringLiteral("Serial Port"));
    QCOMPARE(m_probe->selectedService().serverChannel(), 1);
    devices->setCurrentRow(2);
    const QBluetoothAddress chosen(QStringLiteral("00:1A:7D:DA:72:06"));
    QCOMPARE(m_probe->selectedService().device().address(), chosen);

    // A new scan starts afresh; the target stays until an entry becomes current.
    m_probe->action("actionScan")->trigger();
    QVERIFY(m_probe->items("devicesLst").isEmpty());
    QCOMPARE(m_probe->selectedService().device().address(), chosen);
    QTRY_COMPARE(m_probe->status(), QStringLiteral("discovery Finished"));
    QCOMPARE(m_probe->items("devicesLst"), expected);
}

void DiscoveryTest::scanFindingNothing()
{
    scan(kEmptyScene);
    QTRY_COMPARE(m_probe->status(), QStringLiteral("discovery Finished"));
    QVERIFY(m_probe->items("devicesLst").isEmpty());
    QVERIFY(!m_probe->list("devicesLst")->isEnabled());
    QVERIFY(!m_probe->action("actionConnect")->isEnabled());
    QVERIFY(m_probe->action("actionScan")->isEnabled());
    QVERIFY(!m_probe->selectedService().isValid());
}

void DiscoveryTest::choosingStopsRunningScan()
{
    scan(kCrowdedScene);
    // As soon as an instrument shows up, making it current ends the scan.
    QTRY_VERIFY(m_probe->list("devicesLst")->count() > 0);
    QVERIFY(m_probe->discoveryActive());
    m_probe->list("devicesLst")->setCurrentRow(0);
    QVERIFY(!m_probe->discoveryActive());
    QCOMPARE(m_probe->status(), QStringLiteral("discovery Finished"));
    QVERIFY(m_probe->action("actionConnect")->isEnabled());

    // Activating an entry only logs it.
    QListWidget *devices = m_probe->list("devicesLst");
    QTest::ignoreMessage(QtDebugMsg, "got click \"KV-105\\n00:1A:7D:DA:72:02\"");
    emit devices->itemActivated(devices->item(0));
    QVERIFY(!m_probe->session().service().isValid());
}

QTEST_MAIN(DiscoveryTest)
#include "tst_discovery.moc"
