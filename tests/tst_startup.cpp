// Start-up of the main window: starting states, the adapter check, the
// choice of the Bluetooth stack.
#include "apptestsupport.h"

#include "app/startup.h"
#include "bluetooth/emulator/emulatedstack.h"
#include "bluetooth/qtstack.h"

#include <QAbstractButton>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

namespace {

const QByteArray kOneAdapter = R"({
  "adapters": [ {"name": "Workstation", "address": "00:1A:7D:DA:71:01"} ],
  "devices": []
})";

const QByteArray kTwoAdapters = R"({
  "adapters": [ {"name": "Dongle", "address": "00:1A:7D:DA:71:02"},
                {"name": "Built-in", "address": "00:1A:7D:DA:71:03"} ],
  "defaultAdapter": 1,
  "devices": []
})";

const QByteArray kNoAdapter = R"({ "adapters": [], "devices": [] })";

QString savedDir()
{
    QSettings settings(QStringLiteral("Halvern"), QStringLiteral("Varnel Reader"));
    return settings.value(QStringLiteral("Paths/savedir")).toString();
}

} // namespace

class StartupTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void startingStates();
    void adapterEntry_data();
    void adapterEntry();
    void abortWithoutAdapter_data();
    void abortWithoutAdapter();
    void retryAfterAdapterAppears();
    void qtBackendWithoutAdapterAsks();
    void badStackChoiceStops();
    void noDisplayExplainsItself();
    void platformArgumentCountsAsDisplay_data();
    void platformArgumentCountsAsDisplay();

private:
    QTemporaryDir m_config;
};

void StartupTest::init()
{
    isolateSettings(m_config.path());
}

void StartupTest::startingStates()
{
    QVERIFY(installScene(kOneAdapter));
    MainWindow window;
    QVERIFY(window.init());
    MainWindowProbe probe(window);
    QCOMPARE(
        probe.controlStates(),
        QStringLiteral("scan on, devices off, connect off, getList off, records off, load off, "
                       "files off, upload off, serial off"));
    QVERIFY(probe.action("actionSelect_Dir")->isEnabled());
    QVERIFY(probe.action("actionAbout")->isEnabled());
    QVERIFY(probe.action("actionExit")->isEnabled());
    QVERIFY(probe.list("computerLst")->isEnabled());
    QCOMPARE(probe.status(), QStringLiteral("Disconnected"));
    QVERIFY(!window.findChild<QTextEdit *>(QStringLiteral("messageEd"))->isVisibleTo(&window));
    // Set Serial Number sits in the Device menu, hidden, and nowhere else.
    QAction *serial = probe.action("actionSet_Serial");
    QVERIFY(!serial->isVisible());
    QVERIFY(window.findChild<QMenu *>(QStringLiteral("menuDevice"))->actions().contains(serial));
    QVERIFY(!window.findChild<QToolBar *>(QStringLiteral("toolBar"))->actions().contains(serial));
    QVERIFY(!probe.discoveryActive());
    // The local service is up, its record registered on the adapter.
    QCOMPARE(bt::emulatedStack()->registeredServices().size(), 1);
    QCOMPARE(bt::emulatedStack()->hostMode(QBluetoothAddress(QStringLiteral("00:1A:7D:DA:71:01"))),
             QBluetoothLocalDevice::HostDiscoverable);
}

void StartupTest::adapterEntry_data()
{
    QTest::addColumn<QByteArray>("scene");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("localName");
    QTest::newRow("one adapter") << kOneAdapter << QStringLiteral("Workstation\n00:1A:7D:DA:71:01")
                                 << QStringLiteral("Workstation");
    QTest::newRow("two adapters: the first serves, the default names the sender")
        << kTwoAdapters << QStringLiteral("Dongle\n00:1A:7D:DA:71:02")
        << QStringLiteral("Built-in");
}

void StartupTest::adapterEntry()
{
    QFETCH(QByteArray, scene);
    QFETCH(QString, entry);
    QFETCH(QString, localName);
    QVERIFY(installScene(scene));
    MainWindow window;
    QVERIFY(window.init());
    MainWindowProbe probe(window);
    QListWidget *computers = probe.list("computerLst");
    QCOMPARE(computers->count(), 1);
    QCOMPARE(computers->item(0)->text(), entry);
    QVERIFY(!computers->item(0)->icon().isNull());
    QCOMPARE(probe.localName(), localName);
}

void StartupTest::abortWithoutAdapter_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("Abort button") << false;
    QTest::newRow("Escape key") << true;
}

void StartupTest::abortWithoutAdapter()
{
    QFETCH(bool, escape);
    QVERIFY(installScene(kNoAdapter));
    int boxes = 0;
    QString boxText;
    answerNextDialog([&](QWidget *dialog) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        QVERIFY(box);
        ++boxes;
        boxText = box->text();
        QCOMPARE(box->windowTitle(), QStringLiteral("Varnel Reader"));
        QCOMPARE(static_cast<QAbstractButton *>(box->defaultButton()),
                 box->button(QMessageBox::Abort));
        if (escape)
            QTest::keyClick(box, Qt::Key_Escape);
        else
            box->button(QMessageBox::Abort)->click();
    });
    QCOMPARE(runMainWindow(), 0);
    QCOMPARE(boxes, 1);
    QVERIFY(boxText.startsWith(QStringLiteral("Local Bluetooth Adapter not found.\n")));
    // The window was never shown, and its destructor still stored the directory.
    QCOMPARE(savedDir(), QDir::currentPath());
    QVERIFY(bt::emulatedStack()->registeredServices().isEmpty());
}

void StartupTest::retryAfterAdapterAppears()
{
    emu::EmulatedStack *stack = installScene(kNoAdapter);
    QVERIFY(stack);
    int boxes = 0;
    answerNextDialog([&](QWidget *dialog) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        ++boxes;
        emu::SceneAdapter adapter;
        adapter.name = QStringLiteral("Plugged In");
        adapter.address = QBluetoothAddress(QStringLiteral("00:1A:7D:DA:71:09"));
        stack->setAdapters({adapter});
        box->button(QMessageBox::Retry)->click();
    });
    MainWindow window;
    QVERIFY(window.init());
    QCOMPARE(boxes, 1);
    MainWindowProbe probe(window);
    QCOMPARE(probe.list("computerLst")->item(0)->text(),
             QStringLiteral("Plugged In\n00:1A:7D:DA:71:09"));
    QVERIFY(!QApplication::activeModalWidget());
}

void StartupTest::qtBackendWithoutAdapterAsks()
{
    // This machine has no Bluetooth at all: the real backend must reach the
    // same question rather than hang or crash.
    bt::BluetoothStack::install(std::make_unique<bt::QtStack>());
    QCOMPARE(bt::stack().backendName(), bt::QtStack().backendName());
    if (!bt::stack().allDevices().isEmpty())
        QSKIP("this machine has a Bluetooth adapter");
    bool asked = false;
    answerNextDialog([&](QWidget *dialog) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        asked = box && box->text().startsWith(QStringLiteral("Local Bluetooth Adapter"));
        box->button(QMessageBox::Abort)->click();
    });
    QCOMPARE(runMainWindow(), 0);
    QVERIFY(asked);
}

void StartupTest::badStackChoiceStops()
{
    // Before any window: exit status 2 and the reason (the choices themselves
    // are tested with the stack).
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VARNEL_BLUETOOTH"), QStringLiteral("bluez"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(VARNEL_EXECUTABLE), QStringList());
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 2);
    const QString error = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(error.contains(QStringLiteral("VARNEL_BLUETOOTH")) && error.contains("bluez"),
             qPrintable(error));
}

void StartupTest::noDisplayExplainsItself()
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    env.insert(QStringLiteral("VARNEL_BLUETOOTH"), QStringLiteral("emulator"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(VARNEL_EXECUTABLE), QStringList());
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 2);
    const QString error = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(error.contains(QStringLiteral("no display")), qPrintable(error));
    QVERIFY2(error.contains(QStringLiteral("xvfb-run")), qPrintable(error));
}

void StartupTest::platformArgumentCountsAsDisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("refused");
    QTest::newRow("none") << QStringList() << true;
    QTest::newRow("-platform offscreen") << QStringList{"-platform", "offscreen"} << false;
    QTest::newRow("-platform=offscreen") << QStringList{"-platform=offscreen"} << false;
    QTest::newRow("-platform without a value") << QStringList{"-platform"} << true;
    QTest::newRow("-platformtheme only") << QStringList{"-platformtheme", "gtk3"} << true;
}

void StartupTest::platformArgumentCountsAsDisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, refused);
    QList<QByteArray> saved;
    const QList<const char *> names{"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    for (const char *name : names) {
        saved << qgetenv(name);
        qunsetenv(name);
    }
    QList<QByteArray> bytes{"varnel-reader"};
    for (const QString &argument : arguments)
        bytes << argument.toUtf8();
    QVector<const char *> argv;
    for (const QByteArray &b : qAsConst(bytes))
        argv << b.constData();
    const QString message = missingDisplayMessage(argv.size(), argv.constData());
    for (int i = 0; i < names.size(); ++i) {
        if (!saved.at(i).isNull())
            qputenv(names.at(i), saved.at(i));
    }
    QCOMPARE(!message.isEmpty(), refused);
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
