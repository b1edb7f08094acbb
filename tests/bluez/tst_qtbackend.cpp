// SPDX-License-Identifier: GPL-3.0-or-later
// The Qt Bluetooth backend against a mocked BlueZ (run through run.sh): Qt's
// own classes do the D-Bus work, varnel-instrument answers at the far end of
// the RFCOMM link, and the window is driven through its actions and widgets.
// SDP records come from a STAND-IN sdpscanner (bin/sdpscanner), because the
// real helper needs kernel Bluetooth; Qt still parses its output itself.

#include "app/mainwindow.h"
#include "bluetooth/backend.h"
#include "bluetooth/bluetoothstack.h"
#include "bluetooth/emulator/emulatedinstrument.h"

#include <QAction>
#include <QBluetoothLocalDevice>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <memory>

namespace {

const QString kInstrument = QStringLiteral("00:1A:7D:DA:71:13");
const QString kAdapter = QStringLiteral("00:01:02:03:04:05"); // the mock's hci0

QStringList warnings;
QtMessageHandler defaultHandler = nullptr;

void keepWarnings(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtWarningMsg)
        warnings.append(text);
    defaultHandler(type, context, text);
}

QDBusInterface mock(const QString &path = QStringLiteral("/"),
                    const QString &interface = QStringLiteral("org.bluez.Mock"))
{
    return QDBusInterface(QStringLiteral("org.bluez"), path, interface,
                          QDBusConnection::systemBus());
}

} // namespace

class QtBackendTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startsOnTheMockAdapter();
    void scanListsTheInstrumentOnce();
    void connectShowsTheIdentity();
    void downloadIsByteExact();
    void linkLostMidTransfer();
    void lastInstrumentWithoutScan();
    void unknownDeviceFailsToConnect();
    void cleanupTestCase();

private:
    QAction *action(const char *name) { return m_window->findChild<QAction *>(name); }
    QListWidget *list(const char *name) { return m_window->findChild<QListWidget *>(name); }
    QString status() { return m_window->statusBar()->currentMessage(); }
    QStringList tdrFiles() { return QDir(m_files.path()).entryList({QStringLiteral("*.tdr")}); }
    void connectToInstrument();

    QTemporaryDir m_files;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<emu::EmulatedInstrument> m_reference;
};

void QtBackendTest::initTestCase()
{
    QVERIFY2(qEnvironmentVariableIsSet("VARNEL_TEST_WORK"), "run this test through run.sh");
    QVERIFY(!qEnvironmentVariableIsSet("VARNEL_BLUETOOTH"));
    QString error;
    auto stack = bt::createStack(qgetenv("VARNEL_BLUETOOTH"), &error);
    QVERIFY2(stack, qPrintable(error));
    bt::BluetoothStack::install(std::move(stack));

    // The same settings varnel-instrument was started with; it is deterministic.
    QFile settings(qEnvironmentVariable("VARNEL_TEST_SETTINGS"));
    QVERIFY(settings.open(QIODevice::ReadOnly));
    m_reference = emu::EmulatedInstrument::fromJson(
        QJsonDocument::fromJson(settings.readAll()).object().value("instrument").toObject(),
        &error);
    QVERIFY2(m_reference, qPrintable(error));

    QSettings(QStringLiteral("Halvern"), QStringLiteral("Varnel Reader"))
        .setValue(QStringLiteral("Paths/savedir"), m_files.path());
    defaultHandler = qInstallMessageHandler(keepWarnings);
    m_window = std::make_unique<MainWindow>();
    QVERIFY(m_window->init());
    m_window->show();
}

void QtBackendTest::startsOnTheMockAdapter()
{
    QListWidget *computers = list("computerLst");
    QCOMPARE(computers->count(), 1);
    QCOMPARE(computers->item(0)->text(), QStringLiteral("Bench PC\n") + kAdapter);
    QTRY_COMPARE(QBluetoothLocalDevice(QBluetoothAddress(kAdapter)).hostMode(),
                 QBluetoothLocalDevice::HostDiscoverable);

    // Without kernel Bluetooth the local service cannot listen: the tool says
    // so and runs on as a client, and registers no service record.
    QVERIFY2(warnings.join('\n').contains(QStringLiteral("Cannot bind TDR server to")),
             qPrintable(warnings.join('\n')));
    const QDBusReply<QStringList> profiles = mock().call(QStringLiteral("Profiles"));
    QVERIFY2(profiles.isValid(), qPrintable(profiles.error().message()));
    for (const QString &profile : profiles.value())
        QVERIFY2(!profile.startsWith(QStringLiteral("server")), qPrintable(profile));
    QCOMPARE(status(), QStringLiteral("Disconnected"));
    QVERIFY(action("actionScan")->isEnabled());
}

void QtBackendTest::scanListsTheInstrumentOnce()
{
    action("actionScan")->trigger();
    QCOMPARE(status(), QStringLiteral("Scanning..."));
    // The device search runs to its own time-out: under 30 s with Qt 5, about 40 s with Qt 6.
    QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("discovery Finished"), 50000);
    QListWidget *devices = list("devicesLst");
    QCOMPARE(devices->count(), 1);
    QCOMPARE(devices->item(0)->text(), QStringLiteral("KV-105\n") + kInstrument);
    QVERIFY(action("actionConnect")->isEnabled());
}

void QtBackendTest::connectToInstrument()
{
    action("actionConnect")->setChecked(true);
    QTRY_COMPARE_WITH_TIMEOUT(status(),
                              QStringLiteral("Connected to KV-105 ( %1 )").arg(kInstrument), 10000);
}

void QtBackendTest::connectShowsTheIdentity()
{
    connectToInstrument();
    const QString identity = m_window->findChild<QLabel *>("devnameLbl")->text();
    QVERIFY2(identity.contains(QStringLiteral("TDR 105")), qPrintable(identity));
    QVERIFY2(identity.contains(QStringLiteral("sn:004711")), qPrintable(identity));
    QVERIFY(action("actionGet_List")->isEnabled());
    const QString log = m_window->findChild<QTextEdit *>("messageEd")->toPlainText();
    QVERIFY2(log.contains(QStringLiteral("Joined with KV-105.")), qPrintable(log));
}

void QtBackendTest::downloadIsByteExact()
{
    action("actionGet_List")->trigger();
    QListWidget *records = list("recordsLst");
    QTRY_COMPARE_WITH_TIMEOUT(records->count(), 6, 10000);
    records->selectAll();
    action("actionLoad_Selected")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(tdrFiles().size(), 6, 20000);

    // File layout: offsets 262-510 hold block bytes 33-281 (the samples) and
    // offsets 79-86 block bytes 17-24, each byte as the instrument sent it.
    const QStringList files = tdrFiles();
    for (const QString &name : files) {
        const int number = name.mid(1, 3).toInt();
        const QByteArray block = m_reference->recordBlock(number);
        QVERIFY2(!block.isEmpty(), qPrintable(name));
        QFile file(m_files.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(bytes.size(), 37775);
        QCOMPARE(bytes.mid(262, 249), block.mid(33, 249));
        QCOMPARE(bytes.mid(79, 8), block.mid(17, 8));
    }
}

void QtBackendTest::linkLostMidTransfer()
{
    // Drop the link, then reconnect through a simulator that hangs up after
    // its fourth answer: two identity answers, the list, one record.
    action("actionConnect")->setChecked(false);
    QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("Disconnected"), 10000);
    QDBusReply<void> bridged =
        mock().call(QStringLiteral("SetBridge"), kInstrument,
                    qEnvironmentVariable("VARNEL_TEST_WORK") + QStringLiteral("/dropping.sock"));
    QVERIFY2(bridged.isValid(), qPrintable(bridged.error().message()));
    for (const QString &name : tdrFiles())
        QVERIFY(QFile::remove(m_files.filePath(name)));

    connectToInstrument();
    action("actionGet_List")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(list("recordsLst")->count(), 6, 10000);
    list("recordsLst")->selectAll();
    action("actionLoad_Selected")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(status().startsWith(QStringLiteral("Disconnected")), 10000);
    QCOMPARE(tdrFiles().size(), 1);
    QCOMPARE(list("recordsLst")->count(), 0);
    QVERIFY(!action("actionGet_List")->isEnabled());
    QVERIFY(action("actionScan")->isEnabled());
    QVERIFY(list("devicesLst")->isEnabled());
    QVERIFY(m_window->findChild<QLabel *>("devnameLbl")->text().isEmpty());
}

void QtBackendTest::lastInstrumentWithoutScan()
{
    // The next run connects from the service kept in the settings: no scan.
    QDBusReply<void> bridged =
        mock().call(QStringLiteral("SetBridge"), kInstrument,
                    qEnvironmentVariable("VARNEL_TEST_WORK") + QStringLiteral("/instrument.sock"));
    QVERIFY2(bridged.isValid(), qPrintable(bridged.error().message()));
    m_window.reset();
    m_window = std::make_unique<MainWindow>();
    QVERIFY(m_window->init());
    action("actionConnect_Last")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(status(),
                              QStringLiteral("Connected to KV-105 ( %1 )").arg(kInstrument), 10000);
    // The device list shows what it is connected to.
    QCOMPARE(list("devicesLst")->count(), 1);
    QCOMPARE(list("devicesLst")->item(0)->text(), QStringLiteral("KV-105\n") + kInstrument);
}

void QtBackendTest::unknownDeviceFailsToConnect()
{
    // The instrument leaves the mock's device list; connecting to it fails.
    QDBusReply<void> removed =
        mock(QStringLiteral("/org/bluez/hci0"), QStringLiteral("org.bluez.Adapter1"))
            .call(QStringLiteral("RemoveDevice"),
                  QVariant::fromValue(
                      QDBusObjectPath(QStringLiteral("/org/bluez/hci0/dev_00_1A_7D_DA_71_13"))));
    QVERIFY2(removed.isValid(), qPrintable(removed.error().message()));
    if (action("actionConnect")->isChecked())
        action("actionConnect")->setChecked(false);
    action("actionConnect")->setChecked(true);
    QTRY_VERIFY_WITH_TIMEOUT(!action("actionConnect")->isChecked(), 10000);
    QVERIFY(action("actionConnect")->isEnabled());
    QVERIFY2(status().contains(QStringLiteral("KV-105")) ||
                 status() == QStringLiteral("Disconnecting..."),
             qPrintable(status()));
}

void QtBackendTest::cleanupTestCase()
{
    m_window.reset();
    qInstallMessageHandler(nullptr);
}

QTEST_MAIN(QtBackendTest)
#include "tst_qtbackend.moc"
