// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up of the main window: starting states, the adapter check, the
// choice of the Bluetooth stack.
#include "apptestsupport.h"

#include "app/startup.h"
#include "bluetooth/emulator/emulatedstack.h"
#include "bluetooth/qtstack.h"
#include "common/startup.h"
#include "protocol/tdrrecord.h"

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
    void noAdapterAsks_data();
    void noAdapterAsks();
    void stopsBeforeAnyWindow_data();
    void stopsBeforeAnyWindow();
    void platformArgumentCountsAsDisplay_data();
    void platformArgumentCountsAsDisplay();
    void viewerReportFailuresSayWhy_data();
    void viewerReportFailuresSayWhy();
    void answersHelpAndVersionWithoutDisplay_data();
    void answersHelpAndVersionWithoutDisplay();
    void installedTranslationFollowsTheDesktop_data();
    void installedTranslationFollowsTheDesktop();

private:
    // Started programs see no display, this Bluetooth choice and our settings.
    QProcessEnvironment withoutDisplay(const QString &stack) const;

    QTemporaryDir m_config;
};

QProcessEnvironment StartupTest::withoutDisplay(const QString &stack) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    env.insert(QStringLiteral("VARNEL_BLUETOOTH"), stack);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
    return env;
}

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
    QCOMPARE(probe.controlStates(), QStringLiteral("100000000"));
    QVERIFY(probe.action("actionSelect_Dir")->isEnabled());
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

void StartupTest::noAdapterAsks_data()
{
    QTest::addColumn<QString>("answer"); // how the question is answered
    QTest::newRow("Abort") << "abort";
    QTest::newRow("Escape") << "escape";
    QTest::newRow("Retry once an adapter is there") << "retry";
    // This machine has no Bluetooth at all: the real backend must reach the
    // same question rather than hang or crash.
    QTest::newRow("real backend, Abort") << "qt";
}

void StartupTest::noAdapterAsks()
{
    QFETCH(QString, answer);
    emu::EmulatedStack *stack = nullptr;
    if (answer == QLatin1String("qt")) {
        bt::BluetoothStack::install(std::make_unique<bt::QtStack>());
        if (!bt::stack().allDevices().isEmpty())
            QSKIP("this machine has a Bluetooth adapter");
    } else {
        QVERIFY(stack = installScene(kNoAdapter));
    }
    QStringList asked;
    answerNextDialog([&](QWidget *dialog) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        QVERIFY(box);
        asked << box->windowTitle() + QLatin1Char('|') + box->text().section('\n', 0, 0);
        QCOMPARE(static_cast<QAbstractButton *>(box->defaultButton()),
                 box->button(QMessageBox::Abort));
        if (answer == QLatin1String("escape"))
            return QTest::keyClick(box, Qt::Key_Escape);
        if (answer != QLatin1String("retry"))
            return box->button(QMessageBox::Abort)->click();
        emu::SceneAdapter adapter{QStringLiteral("Plugged In"),
                                  QBluetoothAddress(QStringLiteral("00:1A:7D:DA:71:09"))};
        stack->setAdapters({adapter});
        box->button(QMessageBox::Retry)->click();
    });
    if (answer == QLatin1String("retry")) {
        MainWindow window;
        QVERIFY(window.init());
        QCOMPARE(MainWindowProbe(window).list("computerLst")->item(0)->text(),
                 QStringLiteral("Plugged In\n00:1A:7D:DA:71:09"));
    } else {
        QCOMPARE(runMainWindow(), 0);
        // The window was never shown, and its destructor still stored the directory.
        QCOMPARE(savedDir(), QDir::currentPath());
    }
    QCOMPARE(asked, QStringList{"Varnel Reader|Local Bluetooth Adapter not found."});
    QVERIFY(!QApplication::activeModalWidget());
    if (stack && answer != QLatin1String("retry"))
        QVERIFY(stack->registeredServices().isEmpty());
}

void StartupTest::stopsBeforeAnyWindow_data()
{
    QTest::addColumn<QString>("stack"); // VARNEL_BLUETOOTH
    QTest::addColumn<bool>("display");
    QTest::addColumn<QStringList>("mentions");
    QTest::newRow("bad stack choice")
        << "bluez" << true << QStringList{"VARNEL_BLUETOOTH", "bluez"};
    QTest::newRow("no display") << "emulator" << false << QStringList{"no display", "xvfb-run"};
}

void StartupTest::stopsBeforeAnyWindow()
{
    QFETCH(QString, stack);
    QFETCH(bool, display);
    QFETCH(QStringList, mentions);
    QProcess process;
    QProcessEnvironment env = withoutDisplay(stack);
    if (display)
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(VARNEL_EXECUTABLE), QStringList());
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 2);
    const QString error = QString::fromUtf8(process.readAllStandardError());
    for (const QString &text : mentions)
        QVERIFY2(error.contains(text), qPrintable(error));
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
    QByteArrayList saved;
    const QList<const char *> names{"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    for (const char *name : names) {
        saved << qgetenv(name);
        qunsetenv(name);
    }
    QByteArrayList bytes{"/usr/bin/varnel-viewer"};
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
    if (refused) // under the name it was started by
        QVERIFY(message.startsWith(QStringLiteral("varnel-viewer: no display available")));
}

void StartupTest::viewerReportFailuresSayWhy_data()
{
    QTest::addColumn<QStringList>("arguments"); // %1: a record file, %2: a folder
    QTest::addColumn<QString>("says");
    QTest::newRow("unwritable path")
        << QStringList{"%1", "--report", "/proc/version.pdf"} << "Cannot write /proc/version.pdf: ";
    QTest::newRow("output is a folder") << QStringList{"%1", "--report", "%2"}
                                        << "not a regular file, a FIFO or a character device";
    QTest::newRow("a folder as input") << QStringList{"%2", "--report", "%2/out.pdf"}
                                       << "No report written: it needs record files (*.tdr).";
}

void StartupTest::viewerReportFailuresSayWhy()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, says);
    const QString record = m_config.filePath(QStringLiteral("a.tdr"));
    QFile file(record);
    TDRRecord bytes = protocol::emptyRecord();
    bytes.range = 100;
    bytes.distanceStep = 1.5f;
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(protocol::recordBytes(bytes)) > 0 &&
            file.flush());
    for (QString &argument : arguments)
        argument = argument.replace(QLatin1String("%1"), record)
                       .replace(QLatin1String("%2"), m_config.path());
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_config.path()); // Qt's own warning otherwise
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(m_config.path()); // no translation file there
    process.start(QStringLiteral(VARNEL_VIEWER), arguments);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 1);
    const QString error = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(error.contains(says), qPrintable(error));
    // Each line says what failed and why; the log's own lines may come between.
    for (const QString &line : error.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        QVERIFY2(line.startsWith(QLatin1String("varnel-viewer: ")) ||
                     line.startsWith(QLatin1String("varnel.")),
                 qPrintable(line));
}

void StartupTest::answersHelpAndVersionWithoutDisplay_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("answer"); // the start of stdout
    const QString bin = QStringLiteral(VARNEL_BINARY_DIR "/");
    const QList<QPair<QString, QString>> programs{
        {QStringLiteral("varnel-reader"), QStringLiteral(VARNEL_EXECUTABLE)},
        {QStringLiteral("varnel-viewer"), bin + QStringLiteral("varnel-viewer")},
        {QStringLiteral("varnel-cli"), QStringLiteral(VARNEL_CLI)},
        {QStringLiteral("varnel-instrument"),
         bin + QStringLiteral("tools/simulator/varnel-instrument")}};
    for (const auto &[name, path] : programs) {
        QTest::addRow("%s --help", qPrintable(name)) << path << "--help"
                                                     << "Usage: ";
        QTest::addRow("%s -h", qPrintable(name)) << path << "-h"
                                                 << "Usage: ";
        QTest::addRow("%s --version", qPrintable(name))
            << path << "--version" << name + QStringLiteral(" " VARNEL_VERSION "\n");
    }
}

// No display and an unusable Bluetooth choice: any attempt at a window or a
// radio would end with status 2.
void StartupTest::answersHelpAndVersionWithoutDisplay()
{
    QFETCH(QString, program);
    QFETCH(QString, option);
    QFETCH(QString, answer);
    QProcess process;
    process.setProcessEnvironment(withoutDisplay(QStringLiteral("bluez")));
    process.setWorkingDirectory(m_config.path()); // in English
    process.start(program, {option});
    QVERIFY(process.waitForFinished(30000));
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
             qPrintable(process.readAllStandardError()));
    QVERIFY2(out.startsWith(answer), qPrintable(out));
    if (option != QLatin1String("--version")) // the help names both
        QVERIFY(out.contains(QLatin1String("--help")) && out.contains(QLatin1String("--version")));
}

void StartupTest::installedTranslationFollowsTheDesktop_data()
{
    QTest::addColumn<QString>("language"); // LC_ALL
    QTest::addColumn<bool>("inCurrentDirectory");
    QTest::addColumn<QString>("description");
    const QString russian = QStringLiteral("Показывает файлы рефлектограмм TDR (*.tdr).");
    const QString english = QStringLiteral("Shows TDR waveform files (*.tdr).");
    QTest::newRow("Russian desktop") << "ru_RU.UTF-8" << false << russian;
    QTest::newRow("English desktop") << "en_US.UTF-8" << false << english;
    QTest::newRow("current directory first") << "en_US.UTF-8" << true << russian;
}

// An installed copy: the program in PREFIX/bin, the translation where the
// install rule puts it, started from elsewhere.
void StartupTest::installedTranslationFollowsTheDesktop()
{
    QFETCH(QString, language);
    QFETCH(bool, inCurrentDirectory);
    QFETCH(QString, description);
#if defined(Q_OS_WIN)
    QSKIP("the Unix layout of an installed copy");
#endif
    QTemporaryDir prefix;
    const QDir root(prefix.path());
    const QString program = testsupport::installedCopy(
        prefix.path(), QStringLiteral(VARNEL_BINARY_DIR "/varnel-viewer"),
        QStringLiteral(VARNEL_BINARY_DIR "/Varnel_Reader_ru.qm"),
        inCurrentDirectory ? QStringLiteral("elsewhere") : testsupport::installedTranslations());
    QVERIFY(!program.isEmpty() && root.mkpath(QStringLiteral("elsewhere")));
    QProcess process;
    QProcessEnvironment env = withoutDisplay(QStringLiteral("emulator"));
    env.remove(QStringLiteral("LANGUAGE"));
    env.insert(QStringLiteral("LC_ALL"), language);
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(root.filePath(QStringLiteral("elsewhere")));
    process.start(program, {QStringLiteral("--help")});
    QVERIFY(process.waitForFinished(30000));
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    QVERIFY2(out.contains(description), qPrintable(out));
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
