// varnel-cli end to end on the emulated stack: what it prints, the files it
// writes, its exit status.
#include "apptestsupport.h"
#include "testsupport.h"

#include "bluetooth/emulator/emulatedstack.h"
#include "protocol/trace.h"
#include "session/instrumentsession.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

QByteArray sceneJson(const QString &instrument)
{
    return QStringLiteral(R"({
      "adapters": [ {"name": "Workstation", "address": "00:1A:7D:DA:71:01"} ],
      "devices": [
        {"name": "KV-105", "address": "00:1A:7D:DA:71:13",
         "services": [ {"name": "Serial Port", "channel": 1, "instrument": %1} ]},
        {"name": "Phone", "address": "00:1A:7D:DA:72:01",
         "services": [ {"name": "Audio Sink", "channel": 3} ]},
        {"name": "KV-100", "address": "00:1A:7D:DA:72:05",
         "services": [ {"name": "Serial Port", "channel": 1, "instrument": {}} ]},
        {"name": "KV-100", "address": "00:1A:7D:DA:72:06",
         "services": [ {"name": "Serial Port", "channel": 1, "instrument": {}} ]},
        {"name": "KV-200", "address": "00:1A:7D:DA:71:14",
         "services": [ {"name": "Serial Port", "channel": 1,
                        "instrument": {"records": 4, "hangUpAfter": 4}} ]},
        {"name": "KV-300", "address": "00:1A:7D:DA:71:15",
         "services": [ {"name": "Audio Sink", "channel": 3} ]}
      ]
    })")
        .arg(instrument)
        .toUtf8();
}

// Writes are acknowledged with 0x45, as an instrument may do.
const QString kInstrument =
    QStringLiteral(R"({"records": 4, "seed": 5, "chunk": "random", "writeAck": "0x45"})");

struct Result
{
    int code = -1;
    QString out;
    QString err;
};

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class CliTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void commands_data();
    void commands();
    void downloadWritesWhatTheWindowWrites();
    void uploadSkipsBadFiles();
    void showAndExport();
    void ctrlCStopsAfterRecordInFlight_data();
    void ctrlCStopsAfterRecordInFlight();

private:
    void start(QProcess &process, const QStringList &args);
    Result run(const QStringList &args);
    QString writeRecordFile(const QString &name);

    QTemporaryDir m_dir;
    QString m_scene;
};

void CliTest::init()
{
    m_scene = m_dir.filePath(QStringLiteral("scene.json"));
    QFile scene(m_scene);
    QVERIFY(scene.open(QIODevice::WriteOnly));
    scene.write(sceneJson(kInstrument));
}

void CliTest::start(QProcess &process, const QStringList &args)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VARNEL_BLUETOOTH"), QStringLiteral("emulator:") + m_scene);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.path());
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(m_dir.path());
    process.start(QStringLiteral(VARNEL_CLI), args);
}

Result CliTest::run(const QStringList &args)
{
    QProcess process;
    start(process, args);
    Result result;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.code = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QString CliTest::writeRecordFile(const QString &name)
{
    TDRRecord record = protocol::emptyRecord();
    record.range = 100;
    record.distanceStep = 1.4989623f;
    record.serialNumber = 1234;
    record.year = 21, record.month = 2, record.day = 18;
    record.hour = 12, record.minute = 30, record.second = 45;
    record.samples[10] = 200;
    QFile file(m_dir.filePath(name));
    if (file.open(QIODevice::WriteOnly))
        file.write(protocol::recordBytes(record));
    return file.fileName();
}

void CliTest::commands_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::newRow("scan") << QStringList{"scan"} << 0 << "00:1A:7D:DA:71:13\tKV-105\n"
                          << "";
    QTest::newRow("scan --all") << QStringList{"scan", "--all"} << 0 << "\tPhone\n"
                                << "";
    QTest::newRow("info by name") << QStringList{"info", "KV-105"} << 0
                                  << "Model: TDR 105\nSerial number: 001234\nVersion: 20210218\n"
                                  << "";
    QTest::newRow("info by address")
        << QStringList{"info", "00:1A:7D:DA:71:13"} << 0 << "Instrument: KV-105"
        << "";
    QTest::newRow("list") << QStringList{"list", "KV-105"} << 0 << "#004 20"
                          << "";
    QTest::newRow("unknown device") << QStringList{"info", "KV-999"} << 3 << ""
                                    << "no instrument \"KV-999\" in range";
    QTest::newRow("ambiguous name") << QStringList{"info", "KV-100"} << 2 << ""
                                    << "KV-100 (00:1A:7D:DA:72:05), KV-100 (00:1A:7D:DA:72:06)";
    QTest::newRow("failing link") << QStringList{"info", "KV-300"} << 3 << ""
                                  << "cannot talk to KV-300 (00:1A:7D:DA:71:15)";
    QTest::newRow("link lost mid-download")
        << QStringList{"download", "KV-200", "--all", "--to", "."} << 3 << ""
        << "Records not downloaded: 3.";
    QTest::newRow("record not stored")
        << QStringList{"download", "KV-105", "2", "9", "--to", "."} << 1 << ""
        << "record 9 is not in the instrument";
    QTest::newRow("download without records") << QStringList{"download", "KV-105"} << 2 << ""
                                              << "download needs --all, --new or record numbers";
    QTest::newRow("slot out of range")
        << QStringList{"upload", "KV-105", "--slot", "100", "a"} << 2 << ""
        << "upload needs --slot N, N from 0 to 99";
    QTest::newRow("unknown option") << QStringList{"list", "KV-105", "--bogus"} << 2 << ""
                                    << "Unknown option 'bogus'";
    QTest::newRow("export without --csv") << QStringList{"export", "a.tdr"} << 2 << ""
                                          << "export needs --csv";
    QTest::newRow("no command") << QStringList{} << 2 << ""
                                << "no command given";
    QTest::newRow("help of a command") << QStringList{"upload", "--help"} << 0 << "--slot <N>"
                                       << "";
    QTest::newRow("version") << QStringList{"--version"} << 0 << "varnel-cli 0.1.0\n"
                             << "";
}

void CliTest::commands()
{
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, out);
    QFETCH(QString, err);
    const Result result = run(args);
    QVERIFY2(result.out.contains(out), qPrintable(result.out));
    QVERIFY2(result.err.contains(err), qPrintable(result.err));
    QCOMPARE(result.code, code);
}

void CliTest::downloadWritesWhatTheWindowWrites()
{
    QTemporaryDir cli;
    const Result result = run({"download", "KV-105", "--all", "--to", cli.path(), "--json"});
    QCOMPARE(result.code, 0);
    const QJsonObject json = QJsonDocument::fromJson(result.out.toUtf8()).object();
    QCOMPARE(json.value("done").toInt(), 4);
    QCOMPARE(json.value("text").toString(), QStringLiteral("Records saved: 4."));
    const QJsonArray saved = json.value("saved").toArray();
    QCOMPARE(saved.size(), 4);

    // The window's session on the same scene, in this process.
    QVERIFY(installScene(sceneJson(kInstrument)));
    QTemporaryDir gui;
    InstrumentSession session;
    session.store().setDirectory(gui.path());
    session.connectTo(testsupport::sceneService(0));
    QTRY_VERIFY(session.isLinked() && session.queue().isEmpty());
    QSignalSpy finished(&session, &InstrumentSession::chainFinished);
    QVERIFY(session.download({1, 2, 3, 4}));
    QTRY_COMPARE(finished.count(), 1);

    const QStringList names = QDir(gui.path()).entryList(QDir::Files);
    QCOMPARE(QDir(cli.path()).entryList(QDir::Files), names);

    // Only what is missing, then nothing.
    QVERIFY(QFile::remove(gui.filePath(names.at(2))));
    const QString args = QStringLiteral("download KV-105 --new --quiet --json --to ") + gui.path();
    Result again = run(args.split(QLatin1Char(' ')));
    QCOMPARE(QJsonDocument::fromJson(again.out.toUtf8()).object().value("saved").toArray(),
             QJsonArray({QJsonObject{{"number", 3}, {"file", names.at(2)}}}));
    again = run(args.split(QLatin1Char(' ')));
    QCOMPARE(again.code, 0);
    QVERIFY(QJsonDocument::fromJson(again.out.toUtf8())["saved"].toArray().isEmpty());
    for (int i = 0; i < names.size(); ++i) {
        QCOMPARE(saved.at(i).toObject().value("file").toString(), names.at(i));
        const QByteArray bytes = readAll(gui.filePath(names.at(i)));
        QCOMPARE(bytes.size(), 37775);
        QCOMPARE(readAll(cli.filePath(names.at(i))), bytes);
    }
}

void CliTest::uploadSkipsBadFiles()
{
    const QString good = writeRecordFile(QStringLiteral("good.tdr"));
    QFile bad(m_dir.filePath(QStringLiteral("bad.tdr")));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("short");
    bad.close();

    Result result = run({"upload", "KV-105", "--slot", "20", good, good});
    QCOMPARE(result.code, 0);
    QCOMPARE(result.err, QStringLiteral("Records written: 2.\n"));

    result = run({"upload", "KV-105", "--slot", "20", good, bad.fileName(), "--json"});
    QCOMPARE(result.code, 1);
    const QJsonObject json = QJsonDocument::fromJson(result.out.toUtf8()).object();
    QCOMPARE(json.value("done").toInt(), 1);
    QCOMPARE(json.value("skipped").toArray().first().toString(),
             QStringLiteral("\"bad.tdr\" (not a record file)"));
}

void CliTest::showAndExport()
{
    const QString file = writeRecordFile(QStringLiteral("r.tdr"));
    Result result = run({"show", file, "--json"});
    QCOMPARE(result.code, 0);
    const QJsonObject shown =
        QJsonDocument::fromJson(result.out.toUtf8()).array().first().toObject();
    QCOMPARE(shown.value("date").toString(), QStringLiteral("2021-02-18"));
    QCOMPARE(shown.value("time").toString(), QStringLiteral("12:30:45"));
    QCOMPARE(shown.value("range_m").toInt(), 100);
    QCOMPARE(shown.value("serial").toString(), QStringLiteral("001234"));
    QCOMPARE(shown.value("samples").toInt(), 250);
    QVERIFY(qAbs(shown.value("step_m").toDouble() - 1.4989623) < 1e-6);
    result = run({"show", file, m_dir.filePath(QStringLiteral("missing.tdr"))});
    QCOMPARE(result.code, 1);
    QVERIFY(result.out.contains(QStringLiteral("  range: 100 m\n")));

    // The same CSV as the viewer's export, to stdout or to a file.
    const QString viewerCsv = protocol::traceCsv(protocol::readTrace(file).trace);
    QVERIFY(viewerCsv.contains(QStringLiteral("\n14.9896,200\n")));
    result = run({"export", file, "--csv"});
    QCOMPARE(result.code, 0);
    QCOMPARE(result.out, viewerCsv);
    const QString out = m_dir.filePath(QStringLiteral("r.csv"));
    QCOMPARE(run({"export", file, "--csv", "-o", out}).code, 0);
    QCOMPARE(QString::fromUtf8(readAll(out)), viewerCsv);
}

void CliTest::ctrlCStopsAfterRecordInFlight_data()
{
    QTest::addColumn<QString>("options");
    QTest::addColumn<int>("interrupts");
    QTest::newRow("once: the record in flight is saved")
        << R"({"records": 10, "seed": 5, "delayMs": 150})" << 1;
    // Without the second stop the download would end only by giving up.
    QTest::newRow("twice on a babbling link: at once")
        << R"({"records": 10, "seed": 5, "endlessStream": 70, "streamAfter": 4})" << 2;
}

void CliTest::ctrlCStopsAfterRecordInFlight()
{
    QFETCH(QString, options);
    QFETCH(int, interrupts);
    QFile scene(m_scene);
    QVERIFY(scene.open(QIODevice::WriteOnly | QIODevice::Truncate));
    scene.write(sceneJson(options));
    scene.close();
    QTemporaryDir target;
    QProcess process;
    start(process, {"download", "KV-105", "--all", "--to", target.path()});
    QTRY_VERIFY_WITH_TIMEOUT(!QDir(target.path()).entryList({"*.tdr"}, QDir::Files).isEmpty(),
                             20000);
    ::kill(pid_t(process.processId()), SIGINT);
    // Two signals sent together arrive as one: the second goes on until heard.
    for (int i = 0; interrupts > 1 && i < 100 && !process.waitForFinished(100); ++i)
        ::kill(pid_t(process.processId()), SIGINT);
    QVERIFY(process.state() == QProcess::NotRunning || process.waitForFinished(20000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(err.startsWith(QStringLiteral("Download cancelled. Records saved: ")),
             qPrintable(err));
    const QStringList files = QDir(target.path()).entryList(QDir::Files | QDir::Hidden);
    QVERIFY(files.size() < 10);
    QVERIFY(err.contains(
        QStringLiteral("saved: %1, not saved: %2.").arg(files.size()).arg(10 - files.size())));
    for (const QString &name : files)
        QCOMPARE(QFileInfo(target.filePath(name)).size(), 37775);
}

QTEST_MAIN(CliTest)
#include "tst_cli.moc"
