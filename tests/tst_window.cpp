// SPDX-License-Identifier: GPL-3.0-or-later
// The main window as a view of the session: its controls walk the state
// table, its status bar tells what happened, its log stays bounded.
#include "apptestsupport.h"

#include "bluetooth/emulator/emulatedstack.h"
#include "protocol/frame.h"
#include "records/labelbook.h"

#include <QAbstractButton>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include <memory>

namespace {

// Control states, legend in MainWindowProbe::controlStates.
const QString kStart = QStringLiteral("100000000");
const QString kScanning = QStringLiteral("000000000");
const QString kScanDone = QStringLiteral("111000000");
const QString kConnecting = QStringLiteral("11c000000");
const QString kLinked = QStringLiteral("11C000000");
const QString kIdentified = QStringLiteral("00C100001");
const QString kListed = QStringLiteral("00C110101");
const QString kPicked = QStringLiteral("00C111111"); // records and files selected
const QString kDisconnecting = QStringLiteral("001110111");
const QString kDisconnected = QStringLiteral("111000000");

// Device 0 the emulated instrument, 1 a bridge the test answers, 2 no instrument.
QByteArray sceneJson(quint16 bridgePort)
{
    return QStringLiteral(R"({
      "adapters": [ {"name": "Workstation", "address": "00:1A:7D:DA:71:01"} ],
      "devices": [
        {"name": "KV-105", "address": "00:1A:7D:DA:71:13",
         "services": [ {"name": "Serial Port", "channel": 1,
                        "instrument": {"records": 4, "delayMs": 30, "chunk": "random", "seed": 7}},
                       {"name": "Second Port", "channel": 4} ]},
        {"name": "KV-200", "address": "00:1A:7D:DA:71:14",
         "services": [ {"name": "Bridge", "channel": 2, "tcp": "127.0.0.1:%1"} ]},
        {"name": "KV-300", "address": "00:1A:7D:DA:71:15",
         "services": [ {"name": "Audio Sink", "channel": 3} ]},
        {"name": "Phone", "address": "00:1A:7D:DA:72:01", "services": [ {"name": "A", "channel": 3} ]},
        {"name": "kv-100", "address": "00:1A:7D:DA:72:03", "services": [ {"name": "S", "channel": 1} ]},
        {"name": "", "address": "00:1A:7D:DA:72:04", "services": [ {"name": "S", "channel": 1} ]},
        {"name": "KV-100", "address": "00:1A:7D:DA:72:05", "services": [ {"name": "S", "channel": 5} ]},
        {"name": "KV-100", "address": "00:1A:7D:DA:72:06", "services": [ {"name": "S", "channel": 6} ]}
      ],
      "peers": {"listen": "127.0.0.1:0", "name": "Meter"}
    })")
        .arg(bridgePort)
        .toUtf8();
}

} // namespace

class WindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void stateTableWalk();
    void refusedServiceSaysWhy();
    void farEndClosesThenReconnect();
    void uploadDialogOutlivesListAndLink();
    void logStaysBounded_data();
    void logStaysBounded();
    void scanChoicesAndEmptyScan();
    void lostDownloadResumes();
    void lastInstrumentWithoutScan();
    void attemptAbandonable_data();
    void attemptAbandonable();
    void overwriteAskedForHeldSlots_data();
    void overwriteAskedForHeldSlots();
    void stopAskedOnlyWhileTransferring_data();
    void stopAskedOnlyWhileTransferring();
    void shortcutsShownAndDistinct();
    void fileFilterFindsLabels_data();
    void fileFilterFindsLabels();

private:
    void scanAndConnect(int row);
    void compareStates(const QString &expected, const QString &status = QString());
    void newWindow();

    QTemporaryDir m_config;
    QTemporaryDir m_work;
    QTcpServer m_bridge;
    QTcpSocket *m_peer = nullptr;
    MainWindow *m_window = nullptr;
    MainWindowProbe *m_probe = nullptr;
};

void WindowTest::init()
{
    isolateSettings(m_config.path());
    QDir::setCurrent(m_work.path());
    const QStringList left = QDir(m_work.path()).entryList(QDir::Files);
    for (const QString &name : left)
        QFile::remove(m_work.filePath(name));
    m_bridge.listen(QHostAddress::LocalHost);
    connect(&m_bridge, &QTcpServer::newConnection, this, [this] {
        m_peer = m_bridge.nextPendingConnection();
        connect(m_peer, &QTcpSocket::readyRead, this, [this] {
            const QByteArray asked = m_peer->readAll();
            if (asked.startsWith(char(0x42)))
                m_peer->write(protocol::frameBytes(QStringLiteral("420e00692102183030313233341e")));
            else if (asked.startsWith(char(0x41)))
                m_peer->write(protocol::frameBytes(protocol::kGetListFrame)); // no records
        });
    });
    QVERIFY(installScene(sceneJson(m_bridge.serverPort())));
    m_window = new MainWindow;
    QVERIFY(m_window->init());
    m_probe = new MainWindowProbe(*m_window);
}

void WindowTest::cleanup()
{
    delete m_probe;
    delete m_window;
    m_bridge.close();
    m_bridge.disconnect(this);
    m_peer = nullptr;
}

void WindowTest::compareStates(const QString &expected, const QString &status)
{
    QCOMPARE(m_probe->controlStates(), expected);
    if (!status.isNull())
        QCOMPARE(m_probe->status(), status);
}

void WindowTest::scanAndConnect(int row)
{
    m_probe->action("actionScan")->trigger();
    QTRY_COMPARE(m_probe->status(), QStringLiteral("discovery Finished"));
    m_probe->list("devicesLst")->setCurrentRow(row);
    m_probe->action("actionConnect")->setChecked(true);
}

void WindowTest::stateTableWalk()
{
    // A peer of the local service gets every frame sent, and its lines are logged.
    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, bt::emulatedStack()->peersPort());
    QTRY_VERIFY(m_probe->log().contains(QStringLiteral("Meter has joined.\n")));
    peer.write("  hello  \n");
    QTRY_VERIFY(m_probe->log().contains(QStringLiteral("Meter: hello\n")));

    compareStates(kStart, QStringLiteral("Disconnected"));
    m_probe->action("actionScan")->trigger();
    compareStates(kScanning, QStringLiteral("Scanning..."));
    QTRY_COMPARE(m_probe->status(), QStringLiteral("discovery Finished"));
    compareStates(kScanDone);
    // Instruments only (upper-case marker, a name), one entry per device with
    // its first service; the first is chosen without a click.
    QCOMPARE(m_probe->items("devicesLst"),
             QStringList({"KV-105\n00:1A:7D:DA:71:13", "KV-200\n00:1A:7D:DA:71:14",
                          "KV-300\n00:1A:7D:DA:71:15", "KV-100\n00:1A:7D:DA:72:05",
                          "KV-100\n00:1A:7D:DA:72:06"}));
    QCOMPARE(m_probe->list("devicesLst")->currentRow(), 0);
    QCOMPARE(m_probe->selectedService().serverChannel(), 1);
    QTest::ignoreMessage(QtDebugMsg, "got click \"KV-105\\n00:1A:7D:DA:71:13\"");
    emit m_probe->list("devicesLst")->itemActivated(m_probe->list("devicesLst")->item(0));
    QVERIFY(!m_probe->session().service().isValid()); // activating only logs

    QString linked;
    connect(&m_probe->session(), &InstrumentSession::linkUp, this,
            [&] { linked = m_probe->controlStates(); });
    m_probe->action("actionConnect")->setChecked(true);
    compareStates(kConnecting, QStringLiteral("Connecting to KV-105 ( 00:1A:7D:DA:71:13 )"));
    QTRY_COMPARE(linked, kLinked);
    QVERIFY(m_probe->log().contains(QStringLiteral("Joined with KV-105.\n")));
    QTRY_COMPARE(m_probe->status(), QStringLiteral("Connected to KV-105 ( 00:1A:7D:DA:71:13 )"));
    compareStates(kIdentified);
    QCOMPARE(m_probe->deviceInfo(), QStringLiteral("TDR 105\ndata format: 250/ 8bit\nsn:001234\n"
                                                   "p.v:20210218\na.v:20210218"));

    // Asked twice, the second time after the first answer.
    QTRY_VERIFY(m_probe->session().queue().isEmpty());
    const QString log = m_probe->log();
    const QString ask = m_probe->localName() + QStringLiteral(": 4205000047");
    QCOMPARE(log.count(ask), 2);
    QVERIFY(log.indexOf(QStringLiteral("Joined with")) < log.indexOf(ask));
    QVERIFY(log.indexOf(QStringLiteral("KV-105: 42")) < log.lastIndexOf(ask));

    m_probe->action("actionGet_List")->trigger();
    QTRY_COMPARE(m_probe->items("recordsLst").size(), 4);
    compareStates(kListed);

    // A download: Cancel while it runs, a summary when it ends, and the file
    // selection kept through the refills of the file list.
    QListWidget *records = m_probe->list("recordsLst");
    records->item(0)->setSelected(true);
    records->item(2)->setSelected(true);
    m_probe->action("actionLoad_Selected")->trigger();
    QVERIFY(m_probe->action("actionCancel")->isEnabled());
    QTRY_COMPARE(m_probe->items("filesLst").size(), 1);
    m_probe->list("filesLst")->item(0)->setSelected(true);
    QTRY_COMPARE(m_probe->status(), QStringLiteral("Records saved: 2."));
    QVERIFY(!m_probe->action("actionCancel")->isEnabled());
    QCOMPARE(m_probe->items("filesLst").size(), 2);
    QCOMPARE(m_probe->list("filesLst")->selectedItems().size(), 1);
    // Records on disk are marked; Select New picks the others.
    QVERIFY(!records->item(2)->icon().isNull() && records->item(3)->icon().isNull());
    m_probe->action("actionSelect_New")->trigger();
    QVERIFY(records->item(1)->isSelected() && records->item(3)->isSelected());
    QCOMPARE(records->selectedItems().size(), 2);
    compareStates(kPicked);

    // The next chain's summary replaces the last one.
    answerNextDialog([](QWidget *dialog) {
        auto *input = qobject_cast<QInputDialog *>(dialog);
        input->setIntValue(20);
        input->accept();
    });
    m_probe->action("actionUpload_Selected")->trigger();
    QTRY_COMPARE(m_probe->status(), QStringLiteral("Records written: 1."));
    QTRY_COMPARE(m_probe->items("recordsLst").size(), 5);

    m_probe->action("actionConnect")->setChecked(false);
    compareStates(kDisconnecting, QStringLiteral("Disconnecting..."));
    QTRY_COMPARE(m_probe->status(), QStringLiteral("Disconnected"));
    compareStates(kDisconnected);
    QVERIFY(m_probe->items("recordsLst").isEmpty());
    QVERIFY(m_probe->deviceInfo().isEmpty());

    m_probe->action("actionConnect")->setChecked(true);
    QTRY_COMPARE(m_probe->status(), QStringLiteral("Connected to KV-105 ( 00:1A:7D:DA:71:13 )"));
    compareStates(kIdentified);
    QTRY_VERIFY(m_probe->session().queue().isEmpty());

    QByteArray sent;
    const QStringList lines = m_probe->log().split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (line.startsWith(m_probe->localName() + QStringLiteral(": ")))
            sent += line.mid(m_probe->localName().size() + 2).toLatin1() + '\n';
    }
    QVERIFY(sent.startsWith("4205000047\n4205000047\n41040045\n4005000146\n4005000348\n431b0114"));
    QByteArray mirrored;
    QTRY_VERIFY((mirrored += peer.readAll()).size() >= sent.size());
    QCOMPARE(mirrored, sent);
    peer.disconnectFromHost();
    QTRY_VERIFY(m_probe->log().contains(QStringLiteral("Meter has left.\n")));
}

void WindowTest::refusedServiceSaysWhy()
{
    scanAndConnect(2);
    // In words; the stack's own name of the error stays in the log.
    const QString words =
        QStringLiteral("The instrument did not answer. Is it switched on and in range?");
    QTRY_COMPARE(m_probe->status(),
                 QStringLiteral("Could not connect to KV-300 ( 00:1A:7D:DA:71:15 ): ") + words);
    QCOMPARE(m_probe->notice(),
             QStringLiteral("Could not connect to KV-300 (00:1A:7D:DA:71:15). ") + words);
    QVERIFY(m_probe->log().contains(QStringLiteral("KV-300 ServiceNotFoundError occurred")));
    compareStates(kDisconnected);

    m_probe->list("devicesLst")->setCurrentRow(0);
    m_probe->action("actionConnect")->setChecked(true);
    QTRY_VERIFY(m_probe->status().startsWith(QStringLiteral("Connected to KV-105")));
    compareStates(kIdentified);
}

void WindowTest::farEndClosesThenReconnect()
{
    scanAndConnect(1);
    QTRY_VERIFY(m_probe->status().startsWith(QStringLiteral("Connected to KV-200")));
    // Both identity requests answered before the far end goes.
    QTRY_VERIFY(m_probe->session().queue().isEmpty());
    m_peer->disconnectFromHost();
    QTRY_COMPARE(m_probe->status(), QStringLiteral("Disconnected"));
    compareStates(kDisconnected);
    QVERIFY(m_probe->log().contains(QStringLiteral("KV-200 RemoteHostClosedError occurred")));
    QCOMPARE(m_probe->notice(), QStringLiteral("The connection to KV-200 (00:1A:7D:DA:71:14) was "
                                               "lost. The instrument closed the connection."));

    m_probe->action("actionConnect")->setChecked(true);
    QTRY_VERIFY(m_probe->status().startsWith(QStringLiteral("Connected to KV-200")));
    compareStates(kIdentified);
}

void WindowTest::uploadDialogOutlivesListAndLink()
{
    QFile file(m_work.filePath(QStringLiteral("a.tdr")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    scanAndConnect(1);
    QTRY_VERIFY(m_probe->status().startsWith(QStringLiteral("Connected to KV-200")));
    QTRY_VERIFY(m_probe->session().queue().isEmpty());
    m_probe->action("actionGet_List")->trigger();
    QTRY_VERIFY(m_probe->list("filesLst")->isEnabled());
    QTRY_COMPARE(m_probe->status(), QStringLiteral("The instrument holds no records."));
    QTRY_COMPARE(m_probe->items("filesLst"), QStringList({"a.tdr"}));
    m_probe->list("filesLst")->item(0)->setSelected(true);

    // While the dialog is open the file list is refilled and the link goes.
    answerNextDialog([this](QWidget *dialog) {
        m_probe->store().refresh();
        m_peer->disconnectFromHost();
        QTRY_COMPARE(m_probe->status(), QStringLiteral("Disconnected"));
        qobject_cast<QDialog *>(dialog)->accept();
    });
    m_probe->action("actionUpload_Selected")->trigger();
    QCOMPARE(m_probe->status(),
             QStringLiteral("Not connected to an instrument: nothing was uploaded."));
    QCOMPARE(m_probe->list("filesLst")->selectedItems().size(), 1); // kept through the refill
    QVERIFY(m_probe->session().queue().isEmpty());
    QVERIFY(!m_probe->log().contains(QStringLiteral(": 431b01")));
}

void WindowTest::logStaysBounded_data()
{
    QTest::addColumn<bool>("fromPeer");
    QTest::addColumn<QByteArray>("chunk");
    QByteArray everyByte;
    for (int i = 0; i < 256; ++i)
        everyByte.append(char(i));
    QTest::newRow("instrument streams lines") << false << everyByte;
    QTest::newRow("instrument streams without line ends") << false << QByteArray(8192, 'U');
    QTest::newRow("peer floods long lines") << true << QByteArray(100000, 'a').append('\n');
}

void WindowTest::logStaysBounded()
{
    QFETCH(bool, fromPeer);
    QFETCH(QByteArray, chunk);
    QTcpSocket peer;
    QTcpSocket *source = &peer;
    if (fromPeer) {
        peer.connectToHost(QHostAddress::LocalHost, bt::emulatedStack()->peersPort());
        QTRY_VERIFY(m_probe->log().contains(QStringLiteral("Meter has joined.\n")));
    } else {
        scanAndConnect(1);
        QTRY_VERIFY(m_probe->status().startsWith(QStringLiteral("Connected to KV-200")));
        QTRY_VERIFY(m_probe->session().queue().isEmpty());
        source = m_peer;
    }
    // Far more lines than the log keeps, each as long as it comes.
    auto *log = m_window->findChild<QTextEdit *>(QStringLiteral("messageEd"));
    int appended = 0;
    QTimer flood;
    connect(log->document(), &QTextDocument::contentsChanged, &flood, [&] { ++appended; });
    connect(&flood, &QTimer::timeout, &flood, [&] {
        if (source->bytesToWrite() < (1 << 20))
            source->write(chunk);
    });
    flood.start(0);
    QTRY_VERIFY_WITH_TIMEOUT(appended > MainWindow::kLogLines + 500, 120000);
    flood.stop();
    QVERIFY(log->document()->blockCount() <= MainWindow::kLogLines);
    QVERIFY(log->document()->characterCount() <=
            MainWindow::kLogLines * (MainWindow::kLogLineChars + 64));
}

void WindowTest::scanChoicesAndEmptyScan()
{
    // Making an entry current ends a running scan.
    m_probe->action("actionScan")->trigger();
    QTRY_VERIFY(m_probe->list("devicesLst")->count() > 0);
    QVERIFY(m_probe->discoveryActive());
    m_probe->list("devicesLst")->setCurrentRow(0);
    QVERIFY(!m_probe->discoveryActive());
    QCOMPARE(m_probe->status(), QStringLiteral("discovery Finished"));
    // A new scan starts afresh; the target stays until an entry becomes current.
    m_probe->action("actionScan")->trigger();
    QVERIFY(m_probe->items("devicesLst").isEmpty());
    QCOMPARE(m_probe->selectedService().device().name(), QStringLiteral("KV-105"));
    QTRY_COMPARE(m_probe->items("devicesLst").size(), 5);

    // A scan that finds no instrument leaves nothing to connect to.
    delete m_probe;
    delete m_window;
    QVERIFY(installScene(R"({"adapters": [{"name": "W", "address": "00:1A:7D:DA:71:01"}],
                             "devices": [{"name": "Phone", "address": "00:1A:7D:DA:72:01",
                                          "services": [{"name": "A", "channel": 3}]}]})"));
    m_window = new MainWindow;
    QVERIFY(m_window->init());
    m_probe = new MainWindowProbe(*m_window);
    m_probe->action("actionScan")->trigger();
    QTRY_COMPARE(m_probe->status(), QStringLiteral("discovery Finished"));
    QCOMPARE(m_probe->controlStates(), kStart);
    QVERIFY(!m_probe->selectedService().isValid());
    QVERIFY2(m_probe->notice().startsWith(QStringLiteral("No instrument found. ")),
             qPrintable(m_probe->notice()));
}

void WindowTest::lostDownloadResumes()
{
    // The instrument hangs up after five answers on every link: two identity
    // answers, the list, then two records.
    QVERIFY(installScene(R"({"adapters": [{"name": "W", "address": "00:1A:7D:DA:71:01"}],
        "devices": [{"name": "KV-105", "address": "00:1A:7D:DA:71:13",
                     "services": [{"name": "S", "channel": 1,
                                   "instrument": {"records": 6, "hangUpAfter": 5}}]}]})"));
    newWindow();
    scanAndConnect(0);
    QTRY_VERIFY(m_probe->status().startsWith(QStringLiteral("Connected to KV-105")));
    m_probe->action("actionGet_List")->trigger();
    QTRY_COMPARE(m_probe->items("recordsLst").size(), 6);
    m_probe->list("recordsLst")->selectAll();
    m_probe->action("actionLoad_Selected")->trigger();
    QTRY_COMPARE(m_probe->status(), QStringLiteral("Disconnected. Records not downloaded: 4."));
    QCOMPARE(m_probe->notice(),
             QStringLiteral("The connection to KV-105 (00:1A:7D:DA:71:13) was lost during the "
                            "download. Records not downloaded: 4 (#003, #004, #005, #006)."));
    QCOMPARE(m_probe->noticeAction(), QStringLiteral("Reconnect and resume"));

    // Reconnected, the list asked again, and only what is missing fetched.
    m_window->findChild<QAbstractButton *>("noticeAction")->click();
    QTRY_VERIFY2(m_probe->notice().endsWith(QStringLiteral("(#005, #006).")),
                 qPrintable(m_probe->notice()));
    QCOMPARE(QDir(m_work.path()).entryList({"#00*.tdr"}).size(), 4);
    QVERIFY(QDir(m_work.path()).entryList({"#003*.tdr"}).size() == 1);

    // A disconnect asked for is no surprise.
    m_window->findChild<QAbstractButton *>("noticeClose")->click();
    m_probe->action("actionConnect")->setChecked(false);
    m_probe->action("actionConnect")->setChecked(true);
    QTRY_VERIFY(m_probe->status().startsWith(QStringLiteral("Connected to KV-105")));
    m_probe->action("actionConnect")->setChecked(false);
    QTRY_COMPARE(m_probe->status(), QStringLiteral("Disconnected"));
    QCOMPARE(m_probe->notice(), QString());
}

void WindowTest::newWindow()
{
    delete m_probe;
    delete m_window;
    m_window = new MainWindow;
    QVERIFY(m_window->init());
    m_probe = new MainWindowProbe(*m_window);
}

void WindowTest::lastInstrumentWithoutScan()
{
    scanAndConnect(1);
    QTRY_VERIFY(m_probe->status().startsWith(QStringLiteral("Connected to KV-200")));
    QSettings settings(QStringLiteral("Halvern"), QStringLiteral("Varnel Reader"));
    QCOMPARE(settings.value("LastInstrument/address").toString(),
             QStringLiteral("00:1A:7D:DA:71:14"));
    QCOMPARE(settings.value("LastInstrument/channel").toInt(), 2);
    QCOMPARE(settings.value("LastInstrument/uuid").toString(),
             QStringLiteral("{00001101-0000-1000-8000-00805f9b34fb}"));

    // The next run connects from the settings alone, without a scan.
    newWindow();
    QAction *last = m_probe->action("actionConnect_Last");
    QCOMPARE(last->text(), QStringLiteral("Connect to last instrument (KV-200)"));
    QVERIFY(last->isEnabled() && last->isVisible());
    last->trigger();
    QTRY_COMPARE(m_probe->status(), QStringLiteral("Connected to KV-200 ( 00:1A:7D:DA:71:14 )"));
    QCOMPARE(m_probe->items("devicesLst"), QStringList{"KV-200\n00:1A:7D:DA:71:14"});
    QVERIFY(!last->isEnabled());
    // A link that goes by itself leaves Connect checked and the (empty)
    // device list open; the first click unchecks, the second connects.
    emit m_probe->session().linkDown(QString());
    compareStates(QStringLiteral("11C000000"), QStringLiteral("Disconnected"));
    m_probe->action("actionConnect")->trigger();
    QTRY_COMPARE(m_probe->status(), QStringLiteral("Disconnected"));
    m_probe->action("actionConnect")->trigger();
    QTRY_COMPARE(m_probe->status(), QStringLiteral("Connected to KV-200 ( 00:1A:7D:DA:71:14 )"));

    // A scan that finds it makes it the current entry.
    m_probe->action("actionConnect")->setChecked(false);
    QTRY_COMPARE(m_probe->status(), QStringLiteral("Disconnected"));
    m_probe->action("actionScan")->trigger();
    QTRY_COMPARE(m_probe->status(), QStringLiteral("discovery Finished"));
    QCOMPARE(m_probe->list("devicesLst")->currentRow(), 1);

    // Gone from the air: the status says so.
    settings.setValue("LastInstrument/address", "00:1A:7D:DA:7F:FF");
    newWindow();
    m_probe->action("actionConnect_Last")->trigger();
    QTRY_COMPARE(m_probe->status(),
                 QStringLiteral("Could not connect to the last instrument KV-200 ( "
                                "00:1A:7D:DA:7F:FF ): The instrument did not answer. Is it "
                                "switched on and in range?"));
}

void WindowTest::attemptAbandonable_data()
{
    QTest::addColumn<QString>("way");
    QTest::newRow("Esc") << "actionCancel";
    QTest::newRow("Connect, after a new current entry") << "actionConnect";
}

void WindowTest::attemptAbandonable()
{
    QFETCH(QString, way);
    QVERIFY(m_probe->action("actionCancel")->shortcuts().contains(QKeySequence(Qt::Key_Escape)));
    scanAndConnect(0);
    compareStates(kConnecting);
    QVERIFY(m_probe->action("actionCancel")->isEnabled()); // trigger() ignores that
    if (way == QLatin1String("actionConnect")) {
        m_probe->list("devicesLst")->setCurrentRow(1);
        compareStates(QStringLiteral("11C000000"));
    }
    m_probe->action(way.toLatin1().constData())->trigger();
    compareStates(kDisconnected, QStringLiteral("Disconnected"));
    QTest::qWait(200); // the abandoned link would have come up by now
    QVERIFY(!m_probe->session().isLinked());
    compareStates(kDisconnected, QStringLiteral("Disconnected"));
}

void WindowTest::overwriteAskedForHeldSlots_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("answer"); // empty: no question expected
    QTest::addColumn<QString>("status"); // the summary of the upload, empty when none
    // Record 1 is downloaded first, so it is on disk; 2 to 4 are not. The
    // last row reads the written slot back.
    QTest::newRow("free slot, no question") << 20 << QString() << "Records written: 1.";
    QTest::newRow("slot of a saved record, Cancel") << 1 << "Cancel" << QString();
    QTest::newRow("slot of an unsaved record, Cancel") << 3 << "Cancel" << QString();
    QTest::newRow("slot of an unsaved record, Overwrite, read back")
        << 4 << "Overwrite 1 record"
        << "Records written: 1. Read back and identical: 1.";
}

void WindowTest::overwriteAskedForHeldSlots()
{
    QFETCH(int, slot);
    QFETCH(QString, answer);
    QFETCH(QString, status);
    scanAndConnect(0);
    QTRY_VERIFY(m_probe->status().startsWith(QStringLiteral("Connected to KV-105")));
    m_probe->action("actionGet_List")->trigger();
    QTRY_COMPARE(m_probe->items("recordsLst").size(), 4);
    m_probe->list("recordsLst")->item(0)->setSelected(true);
    m_probe->action("actionLoad_Selected")->trigger();
    QTRY_COMPARE(m_probe->status(), QStringLiteral("Records saved: 1."));
    m_probe->list("filesLst")->item(0)->setSelected(true);
    m_probe->action("actionRead_Back")->setChecked(slot == 4);
    // "#003 2021-02-18 12_30_00" in the list: "FILE → slot 3, replacing the record of
    // 2021-02-18 12:30:00".
    const QString held = slot <= 4 ? m_probe->items("recordsLst").at(slot - 1) : QString();
    const QString line = QStringLiteral("%1 → slot %2, replacing the record of %3")
                             .arg(m_probe->items("filesLst").at(0))
                             .arg(slot)
                             .arg(held.mid(5).replace(QLatin1Char('_'), QLatin1Char(':')));

    auto asked = std::make_shared<QString>();
    QAction *upload = m_probe->action("actionUpload_Selected");
    answerNextDialog([slot, answer, asked, upload](QWidget *dialog) {
        // Off while its slot question runs, and the question says the range.
        *asked = upload->isEnabled() ? QStringLiteral("enabled") : QString();
        QVERIFY(qobject_cast<QInputDialog *>(dialog)->labelText().startsWith("Slots 0 to 99.\n"));
        qobject_cast<QInputDialog *>(dialog)->setIntValue(slot);
        qobject_cast<QInputDialog *>(dialog)->accept();
        if (!answer.isEmpty())
            answerNextDialog([answer, asked](QWidget *next) {
                auto *box = qobject_cast<QMessageBox *>(next);
                *asked += box->text();
                const QList<QAbstractButton *> buttons = box->buttons();
                for (QAbstractButton *button : buttons) {
                    if (button->text() == answer)
                        button->click();
                }
            });
    });
    upload->trigger();
    QVERIFY(upload->isEnabled());
    QCOMPARE(asked->isEmpty(), answer.isEmpty());
    QVERIFY2(answer.isEmpty() || asked->contains(line), qPrintable(*asked + " / " + line));
    QCOMPARE(asked->contains(QStringLiteral("NOT in the working directory")),
             !answer.isEmpty() && slot > 1);
    if (!status.isEmpty())
        QTRY_COMPARE(m_probe->status(), status);
    QTRY_VERIFY(m_probe->session().queue().isIdle());
    QCOMPARE(m_probe->log().contains(QStringLiteral(": 431b")), !status.isEmpty());
    QCOMPARE(
        m_probe->log().contains(QStringLiteral(": 431b01%1").arg(slot, 2, 16, QLatin1Char('0'))),
        !status.isEmpty());
}

void WindowTest::stopAskedOnlyWhileTransferring_data()
{
    QTest::addColumn<bool>("running");
    QTest::addColumn<bool>("disconnect"); // else quit
    QTest::addColumn<int>("answer");
    QTest::newRow("idle, quit") << false << false << 0;
    QTest::newRow("running, quit, No") << true << false << int(QMessageBox::No);
    QTest::newRow("running, quit, Yes") << true << false << int(QMessageBox::Yes);
    QTest::newRow("running, disconnect, No") << true << true << int(QMessageBox::No);
    QTest::newRow("running, disconnect, Yes") << true << true << int(QMessageBox::Yes);
}

void WindowTest::stopAskedOnlyWhileTransferring()
{
    QFETCH(bool, running);
    QFETCH(bool, disconnect);
    QFETCH(int, answer);
    m_window->show();
    scanAndConnect(0);
    QTRY_VERIFY(m_probe->status().startsWith(QStringLiteral("Connected to KV-105")));
    m_probe->action("actionGet_List")->trigger();
    QVERIFY(m_probe->listBusy());
    QTRY_COMPARE(m_probe->items("recordsLst").size(), 4);
    QVERIFY(!m_probe->listBusy());
    if (running) {
        m_probe->list("recordsLst")->selectAll();
        m_probe->action("actionLoad_Selected")->trigger();
    }

    auto asked = std::make_shared<QString>();
    auto later = std::make_shared<QString>();
    QPointer<QTimer> hook = answerNextDialog([answer, asked, later](QWidget *dialog) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        *asked = box->text();
        // The count goes on while the question waits.
        [[maybe_unused]] const bool moved =
            QTest::qWaitFor([&] { return box->text() != *asked; }, 10000);
        *later = box->text();
        box->button(QMessageBox::StandardButton(answer))->click();
    });
    if (disconnect)
        m_probe->action("actionConnect")->setChecked(false);
    else
        m_probe->action("actionExit")->trigger();
    delete hook;
    const QString verb = disconnect ? QStringLiteral("disconnect") : QStringLiteral("quit");
    QVERIFY2(
        asked->contains(QRegularExpression(
            QStringLiteral("^Download running: [0-4] of 4 saved\\. Stop and %1\\?$").arg(verb))) ==
            running,
        qPrintable(*asked));
    if (running)
        QVERIFY2(asked->mid(18, 1) < later->mid(18, 1), qPrintable(*asked + " / " + *later));

    const bool stopped = answer != QMessageBox::No;
    QCOMPARE(m_window->isVisible(), disconnect || !stopped);
    QCOMPARE(m_probe->action("actionConnect")->isChecked(), !(disconnect && stopped));
    if (running && !stopped)
        QTRY_COMPARE(m_probe->status(), QStringLiteral("Records saved: 4."));
    if (disconnect && stopped)
        QTRY_VERIFY(m_probe->status().startsWith(QStringLiteral("Disconnected")));
    // Whatever was finished stays on disk.
    QTRY_COMPARE(m_probe->session().chain(), InstrumentSession::Chain::None);
    QCOMPARE(m_probe->items("filesLst").size(), QDir(m_work.path()).entryList({"*.tdr"}).size());
}

void WindowTest::shortcutsShownAndDistinct()
{
    QSet<QString> seen;
    const QList<QAction *> actions = m_window->findChild<QMenu *>("menuDevice")->actions();
    for (QAction *action : actions) {
        if (action->isSeparator() || !action->isVisible())
            continue;
        QVERIFY2(!action->shortcut().isEmpty(), qPrintable(action->text()));
        for (const QKeySequence &key : action->shortcuts()) {
            QVERIFY2(!seen.contains(key.toString()), qPrintable(key.toString()));
            seen.insert(key.toString());
        }
    }
    QCOMPARE(m_probe->action("actionExit")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    QVERIFY(m_probe->action("actionGet_List")->shortcuts().contains(QKeySequence(Qt::Key_F5)));
    QCOMPARE(m_probe->action("actionSelect_New")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
}

void WindowTest::fileFilterFindsLabels_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("a cable in any case") << "feeder" << QStringList{"a.tdr"};
    QTest::newRow("a word of the note") << "POLE" << QStringList{"a.tdr"};
    QTest::newRow("every word must match") << "feeder b7" << QStringList{};
    QTest::newRow("a name") << "c.t" << QStringList{"c.tdr"};
    QTest::newRow("nothing typed") << " " << QStringList{"a.tdr", "b.tdr", "c.tdr"};
}

void WindowTest::fileFilterFindsLabels()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, shown);
    for (const char *name : {"a.tdr", "b.tdr", "c.tdr"}) {
        QFile file(m_work.filePath(QLatin1String(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(name); // bytes of their own
    }
    LabelBook labels(m_work.path());
    QCOMPARE(labels.setLabel({"a.tdr"}, {"Feeder 3", "joint at the pole"}), QString());
    QCOMPARE(labels.setLabel({"b.tdr"}, {"B7", {}}), QString());
    m_probe->store().refresh();
    QListWidget *list = m_probe->list("filesLst");
    list->selectAll();
    m_window->findChild<QLineEdit *>(QStringLiteral("filesFilterEd"))->setText(filter);
    QStringList visible;
    for (int row = 0; row < list->count(); ++row)
        if (!list->item(row)->isHidden())
            visible << list->item(row)->text();
    QCOMPARE(visible, shown);
    // What is hidden is not uploaded unseen; the items keep their bare names.
    QCOMPARE(list->selectedItems().size(), shown.size());
    QCOMPARE(m_probe->items("filesLst"), QStringList({"a.tdr", "b.tdr", "c.tdr"}));
}

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
