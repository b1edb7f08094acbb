#include "bluetooth/backend.h"
#include "bluetooth/emulator/emulatedstack.h"
#include "bluetooth/emulator/scene.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using emu::Scene;
using emu::SceneService;

class TestScene : public QObject
{
    Q_OBJECT

private slots:
    void parsesFullScene();
    void optionalKeysTakeDefaults();
    void demoSceneHasInstrumentAndDistractors();
    void sampleScenesParse_data();
    void sampleScenesParse();
    void rejectsInvalidScene_data();
    void rejectsInvalidScene();
    void backendChoice_data();
    void backendChoice();
    void backendErrorNamesFileAndKey();
    void qtBackendWithoutBluetooth();
};

void TestScene::parsesFullScene()
{
    const QByteArray json = R"({
        "adapters": [ {"name": "Workstation", "address": "00:1A:7D:DA:71:01"},
                      {"name": "Dongle", "address": "00:1A:7D:DA:71:02"} ],
        "defaultAdapter": 1,
        "discoveryMs": 0,
        "devices": [
            {"name": "KV-105", "address": "00:1a:7d:da:71:13",
             "services": [
                 {"name": "Serial Port", "channel": 1, "instrument": {"chunk": 4}},
                 {"name": "Bridge", "channel": 2, "tcp": "127.0.0.1:7001"},
                 {"name": "Closed", "channel": 30}
             ]},
            {"name": "", "address": "00:1A:7D:DA:71:14"}
        ],
        "peers": {"listen": "127.0.0.1:7002", "name": "Meter"}
    })";
    Scene scene;
    QString error;
    QVERIFY2(Scene::parse(json, &scene, &error), qPrintable(error));

    QCOMPARE(scene.adapters.size(), 2);
    QCOMPARE(scene.adapters.at(1).name, QStringLiteral("Dongle"));
    QCOMPARE(scene.adapters.at(1).address, QBluetoothAddress(QStringLiteral("00:1A:7D:DA:71:02")));
    QCOMPARE(scene.defaultAdapter, 1);
    QCOMPARE(scene.discoveryMs, 0);

    QCOMPARE(scene.devices.size(), 2);
    const emu::SceneDevice &kv = scene.devices.at(0);
    QCOMPARE(kv.address, QBluetoothAddress(QStringLiteral("00:1A:7D:DA:71:13")));
    QCOMPARE(kv.services.size(), 3);
    QCOMPARE(kv.services.at(0).kind, SceneService::Kind::Instrument);
    QCOMPARE(kv.services.at(0).instrumentOptions.value("chunk").toInt(), 4);
    QCOMPARE(kv.services.at(1).kind, SceneService::Kind::Tcp);
    QCOMPARE(kv.services.at(1).tcpHost, QHostAddress(QHostAddress::LocalHost));
    QCOMPARE(kv.services.at(1).tcpPort, quint16(7001));
    QCOMPARE(kv.services.at(2).kind, SceneService::Kind::Refusing);
    QCOMPARE(kv.services.at(2).channel, quint8(30));
    QCOMPARE(scene.devices.at(1).name, QString());
    QVERIFY(scene.devices.at(1).services.isEmpty());

    QVERIFY(scene.hasPeers);
    QCOMPARE(scene.peersPort, quint16(7002));
    QCOMPARE(scene.peersName, QStringLiteral("Meter"));

    emu::EmulatedStack stack(scene);
    QCOMPARE(stack.defaultAdapterName(), QStringLiteral("Dongle"));
    QCOMPARE(stack.allDevices().size(), 2);
    QCOMPARE(stack.allDevices().at(0).name(), QStringLiteral("Workstation"));
    QVERIFY(stack.instrument(kv.address, 1));
    QVERIFY(!stack.instrument(kv.address, 2));
}

void TestScene::optionalKeysTakeDefaults()
{
    Scene scene;
    QString error;
    QVERIFY2(Scene::parse(R"({"adapters": []})", &scene, &error), qPrintable(error));
    QVERIFY(scene.adapters.isEmpty());
    QVERIFY(scene.devices.isEmpty());
    QVERIFY(!scene.hasPeers);
    QCOMPARE(scene.defaultAdapter, 0);

    emu::EmulatedStack stack(scene);
    QVERIFY(stack.allDevices().isEmpty());
    QCOMPARE(stack.defaultAdapterName(), QString());
}

void TestScene::demoSceneHasInstrumentAndDistractors()
{
    Scene scene;
    QString error;
    QVERIFY2(Scene::parse(emu::demoSceneJson(), &scene, &error), qPrintable(error));
    QCOMPARE(scene.adapters.size(), 1);

    int instruments = 0;
    bool nameless = false;
    bool severalServicesWithoutMarker = false;
    for (const emu::SceneDevice &device : scene.devices) {
        if (device.name.contains(QLatin1String("KV"))) {
            ++instruments;
            QCOMPARE(device.services.size(), 1);
            QCOMPARE(device.services.at(0).kind, SceneService::Kind::Instrument);
        }
        nameless = nameless || device.name.isEmpty();
        severalServicesWithoutMarker =
            severalServicesWithoutMarker ||
            (!device.name.contains(QLatin1String("KV")) && device.services.size() > 1);
    }
    QCOMPARE(instruments, 1);
    QVERIFY(nameless);
    QVERIFY(severalServicesWithoutMarker);

    // The sample file is the same scene.
    QFile sample(QStringLiteral(VARNEL_SOURCE_DIR "/tools/scenes/demo.json"));
    QVERIFY(sample.open(QIODevice::ReadOnly));
    QCOMPARE(QJsonDocument::fromJson(sample.readAll()),
             QJsonDocument::fromJson(emu::demoSceneJson()));
}

void TestScene::sampleScenesParse_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("demo") << "demo.json";
    QTest::newRow("tcp bridge") << "bridge.json";
    QTest::newRow("two adapters, crowded") << "crowded.json";
}

void TestScene::sampleScenesParse()
{
    QFETCH(QString, file);
    QFile sample(QStringLiteral(VARNEL_SOURCE_DIR "/tools/scenes/") + file);
    QVERIFY(sample.open(QIODevice::ReadOnly));
    Scene scene;
    QString error;
    QVERIFY2(Scene::parse(sample.readAll(), &scene, &error), qPrintable(error));
}

void TestScene::rejectsInvalidScene_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("expected");

    const QByteArray adapter = R"({"name": "A", "address": "00:1A:7D:DA:71:01"})";
    auto scene = [&](const QByteArray &devices, const QByteArray &extra = QByteArray()) {
        return QByteArray(R"({"adapters": [)") + adapter + "], \"devices\": [" + devices + "]" +
               extra + "}";
    };

    QTest::newRow("not JSON") << QByteArray("{\"adapters\": [") << "invalid JSON at offset";
    QTest::newRow("unknown top-level key")
        << QByteArray(R"({"adapters": [], "adaptors": []})") << "adaptors: unknown key";
    QTest::newRow("adapters missing") << QByteArray("{}") << "adapters: required key is missing";
    QTest::newRow("unknown adapter key")
        << QByteArray(R"({"adapters": [{"name": "A", "address": "00:1A:7D:DA:71:01", "x": 1}]})")
        << "adapters[0].x: unknown key";
    QTest::newRow("adapter address malformed")
        << QByteArray(R"({"adapters": [{"name": "A", "address": "00:1A:7D:DA:71"}]})")
        << "adapters[0].address: expected a Bluetooth address";
    QTest::newRow("defaultAdapter out of range")
        << QByteArray(R"({"adapters": [)" + adapter + R"(], "defaultAdapter": 1})")
        << "defaultAdapter: expected an integer from 0 to 0";
    QTest::newRow("unknown device key")
        << scene(R"({"name": "KV", "address": "00:1A:7D:DA:71:13", "colour": "red"})")
        << "devices[0].colour: unknown key";
    QTest::newRow("device address with dashes")
        << scene(R"({"name": "KV", "address": "00-1A-7D-DA-71-13"})")
        << "devices[0].address: expected a Bluetooth address";
    QTest::newRow("two devices with one address")
        << scene(R"({"name": "A", "address": "00:1A:7D:DA:71:13"},
                    {"name": "B", "address": "00:1A:7D:DA:71:13"})")
        << "devices[1].address: same address as devices[0]";
    QTest::newRow("unknown service key") << scene(R"({"name": "KV", "address": "00:1A:7D:DA:71:13",
                     "services": [{"channel": 1}, {"channel": 2, "port": 3}]})")
                                         << "devices[0].services[1].port: unknown key";
    QTest::newRow("channel 31")
        << scene(R"({"name": "KV", "address": "00:1A:7D:DA:71:13", "services": [{"channel": 31}]})")
        << "devices[0].services[0].channel: expected an integer from 1 to 30";
    QTest::newRow("channel used twice")
        << scene(R"({"name": "KV", "address": "00:1A:7D:DA:71:13",
                     "services": [{"channel": 4}, {"channel": 4}]})")
        << "devices[0].services[1].channel: channel 4 is already used";
    QTest::newRow("instrument and tcp together")
        << scene(R"({"name": "KV", "address": "00:1A:7D:DA:71:13",
                     "services": [{"channel": 1, "instrument": {}, "tcp": "127.0.0.1:1"}]})")
        << "devices[0].services[0]: \"instrument\" and \"tcp\" exclude each other";
    QTest::newRow("instrument option unknown")
        << scene(R"({"name": "KV", "address": "00:1A:7D:DA:71:13",
                     "services": [{"channel": 1, "instrument": {"modle": 1}}]})")
        << "devices[0].services[0].instrument: modle";
    QTest::newRow("tcp without port") << scene(R"({"name": "KV", "address": "00:1A:7D:DA:71:13",
                     "services": [{"channel": 1, "tcp": "127.0.0.1"}]})")
                                      << "devices[0].services[0].tcp: expected \"IP:PORT\"";
    QTest::newRow("tcp port too big") << scene(R"({"name": "KV", "address": "00:1A:7D:DA:71:13",
                     "services": [{"channel": 1, "tcp": "127.0.0.1:70000"}]})")
                                      << "devices[0].services[0].tcp: expected \"IP:PORT\"";
    QTest::newRow("peers listen malformed")
        << scene("", R"(, "peers": {"listen": "7002"})") << "peers.listen: expected \"IP:PORT\"";
    QTest::newRow("unknown peers key")
        << scene("", R"(, "peers": {"listen": "127.0.0.1:0", "nmae": "M"})")
        << "peers.nmae: unknown key";
}

void TestScene::rejectsInvalidScene()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, expected);
    Scene scene;
    QString error;
    QVERIFY(!Scene::parse(json, &scene, &error));
    QVERIFY2(error.startsWith(expected), qPrintable(error));
    QVERIFY(!error.contains(QLatin1Char('\n')));
}

void TestScene::backendChoice_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("error");

    QTest::newRow("unset") << QByteArray() << "qt" << QString();
    QTest::newRow("qt") << QByteArray("qt") << "qt" << QString();
    QTest::newRow("emulator") << QByteArray("emulator") << "emulator" << QString();
    QTest::newRow("misspelt") << QByteArray("emulater") << QString()
                              << "VARNEL_BLUETOOTH: unknown value \"emulater\" (expected \"qt\", "
                                 "\"emulator\" or \"emulator:PATH\")";
    QTest::newRow("path missing") << QByteArray("emulator:") << QString()
                                  << "VARNEL_BLUETOOTH: \"emulator:\" needs a scene file path";
    QTest::newRow("unreadable file")
        << QByteArray("emulator:/nonexistent/scene.json") << QString()
        << "VARNEL_BLUETOOTH: scene /nonexistent/scene.json: cannot read the file";
}

void TestScene::backendChoice()
{
    QFETCH(QByteArray, value);
    QFETCH(QString, backend);
    QFETCH(QString, error);

    QString message;
    std::unique_ptr<bt::BluetoothStack> stack = bt::createStack(value, &message);
    if (backend.isEmpty()) {
        QVERIFY(!stack);
        QVERIFY2(message.startsWith(error), qPrintable(message));
    } else {
        QVERIFY2(stack, qPrintable(message));
        QCOMPARE(stack->backendName(), backend);
    }
}

void TestScene::backendErrorNamesFileAndKey()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("scene.json"));

    auto write = [&path](const QByteArray &json) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(json) == json.size();
    };

    QVERIFY(write(R"({"adapters": [], "devices": [{"name": "KV", "address": "00:1A:7D:DA:71:13",
                      "services": [{"channel": 1}, {"channel": 40}]}]})"));
    QString message;
    QVERIFY(!bt::createStack(QFile::encodeName(QStringLiteral("emulator:") + path), &message));
    QCOMPARE(message, QStringLiteral("VARNEL_BLUETOOTH: scene %1: devices[0].services[1].channel: "
                                     "expected an integer from 1 to 30")
                          .arg(path));

    QVERIFY(write("{ not json"));
    QVERIFY(!bt::createStack(QFile::encodeName(QStringLiteral("emulator:") + path), &message));
    QVERIFY2(
        message.startsWith(QStringLiteral("VARNEL_BLUETOOTH: scene %1: invalid JSON").arg(path)),
        qPrintable(message));

    QVERIFY(write(R"({"adapters": [{"name": "A", "address": "00:1A:7D:DA:71:01"}]})"));
    std::unique_ptr<bt::BluetoothStack> stack =
        bt::createStack(QFile::encodeName(QStringLiteral("emulator:") + path), &message);
    QVERIFY2(stack, qPrintable(message));
    QCOMPARE(stack->defaultAdapterName(), QStringLiteral("A"));
}

// This machine has no Bluetooth at all: the Qt backend must report no adapter
// and its objects must come and go without hanging.
void TestScene::qtBackendWithoutBluetooth()
{
    QString message;
    std::unique_ptr<bt::BluetoothStack> stack = bt::createStack("qt", &message);
    QVERIFY(stack);
    if (!stack->allDevices().isEmpty())
        QSKIP("this machine has a Bluetooth adapter");

    const QBluetoothAddress nowhere(QStringLiteral("00:1A:7D:DA:71:01"));
    QCOMPARE(stack->defaultAdapterName(), QString());
    stack->setHostMode(nowhere, QBluetoothLocalDevice::HostDiscoverable);

    std::unique_ptr<bt::ServiceDiscoveryAgent> agent(stack->createDiscoveryAgent(nowhere));
    QVERIFY(!agent->isActive());
    agent->clear();
    agent->start();
    agent->stop();
    agent.reset();

    std::unique_ptr<bt::RfcommSocket> socket(stack->createSocket());
    QCOMPARE(socket->state(), QBluetoothSocket::UnconnectedState);
    QCOMPARE(socket->bytesAvailable(), qint64(0));
    QVERIFY(!socket->canReadLine());
    socket->close();
    socket.reset();

    std::unique_ptr<bt::RfcommServer> server(stack->createServer());
    QVERIFY(!server->listen(nowhere));
    QVERIFY(!server->isListening());
    QCOMPARE(server->nextPendingConnection(), nullptr);

    QBluetoothServiceInfo record;
    record.setServiceName(QStringLiteral("Varnel Server"));
    QVERIFY(!stack->registerService(record, nowhere));
}

QTEST_GUILESS_MAIN(TestScene)
#include "tst_scene.moc"
