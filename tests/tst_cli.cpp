// SPDX-License-Identifier: GPL-3.0-or-later
// varnel-cli end to end on the emulated stack: what it prints, the files it
// writes, its exit status.
#include "testsupport.h"

#include "bluetooth/emulator/emulatedinstrument.h"
#include "bluetooth/emulator/emulatedstack.h"
#include "bluetooth/emulator/waveform.h"
#include "protocol/events.h"
#include "protocol/frame.h"
#include "protocol/trace.h"
#include "session/instrumentsession.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>

namespace {

// `peers`: a fixed port for the tool's own service, which the command line
// does not run; `bridge`: the port of the test's own instrument, KV-400.
QByteArray sceneJson(const QString &instrument, quint16 peers = 0, quint16 bridge = 0)
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
         "services": [ {"name": "Serial Port", "channel": 1, "instrument": {"serial": "000777"}} ]},
        {"name": "KV-200", "address": "00:1A:7D:DA:71:14",
         "services": [ {"name": "Serial Port", "channel": 1,
                        "instrument": {"records": 4, "hangUpAfter": 4}} ]},
        {"name": "KV-300", "address": "00:1A:7D:DA:71:15",
         "services": [ {"name": "Audio Sink", "channel": 3} ]},
        {"name": "KV-400", "address": "00:1A:7D:DA:71:16",
         "services": [ {"name": "Bridge", "channel": 2, "tcp": "127.0.0.1:%2"} ]}
      ]%3
    })")
        .arg(instrument)
        .arg(bridge)
        .arg(peers ? QStringLiteral(R"(, "peers": {"listen": "127.0.0.1:%1"})").arg(peers)
                   : QString())
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
    void initTestCase();
    void init();
    void commands_data();
    void commands();
    void downloadWritesWhatTheWindowWrites();
    void uploadSkipsBadFiles();
    void uploadAsksAndConfirms_data();
    void uploadAsksAndConfirms();
    void showAndExport();
    void labelsBesideTheFile_data();
    void labelsBesideTheFile();
    void progressKeepsItsOwnLine();
    void duplicateAndUnaskedRecords();
    void signalStopsAfterRecordInFlight_data();
    void signalStopsAfterRecordInFlight();
    void speaksTheDesktopLanguage_data();
    void speaksTheDesktopLanguage();

private:
    // `language` set: the desktop's (LC_ALL), with no LANGUAGE to override it.
    void start(QProcess &process, const QStringList &args,
               const QString &program = QStringLiteral(VARNEL_CLI),
               const QString &language = QString());
    Result run(const QStringList &args);
    QString writeRecordFile(const QString &name);

    QTemporaryDir m_dir;
    QString m_scene;
    QTcpServer m_window; // holds the scene's peer port, as a running window does
    QTcpServer m_bridge;
};

void CliTest::initTestCase()
{
    QVERIFY(m_window.listen(QHostAddress::LocalHost));
    QVERIFY(m_bridge.listen(QHostAddress::LocalHost));
    // The remembered instrument, as the window keeps it.
    QSettings last(m_dir.filePath(QStringLiteral("Halvern/Varnel Reader.conf")),
                   QSettings::IniFormat);
    last.setValue(QStringLiteral("LastInstrument/name"), QStringLiteral("KV-105"));
    last.setValue(QStringLiteral("LastInstrument/address"), QStringLiteral("00:1A:7D:DA:71:13"));
    last.setValue(QStringLiteral("LastInstrument/channel"), 1);
}

void CliTest::init()
{
    m_scene = m_dir.filePath(QStringLiteral("scene.json"));
    QFile scene(m_scene);
    QVERIFY(scene.open(QIODevice::WriteOnly));
    scene.write(sceneJson(kInstrument, m_window.serverPort(), m_bridge.serverPort()));
}

void CliTest::start(QProcess &process, const QStringList &args, const QString &program,
                    const QString &language)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!language.isEmpty()) {
        env.remove(QStringLiteral("LANGUAGE"));
        env.insert(QStringLiteral("LC_ALL"), language);
    }
    env.insert(QStringLiteral("VARNEL_BLUETOOTH"), QStringLiteral("emulator:") + m_scene);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.path());
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(m_dir.path());
    process.start(program, args);
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
    QTest::newRow("compare needs two files") << QStringList{"compare", "a.tdr"} << 2 << ""
                                             << "wrong arguments for \"compare\"";
    QTest::newRow("no command") << QStringList{} << 2 << ""
                                << "no command given";
    QTest::newRow("help of a command") << QStringList{"upload", "--help"} << 0 << "--slot <N>"
                                       << "";
    QTest::newRow("version") << QStringList{"--version"} << 0 << "varnel-cli 0.1.0\n"
                             << "";
    QTest::newRow("help of download only")
        << QStringList{"download", "--help"} << 0 << "Downloads records into *.tdr files"
        << "";
    QTest::newRow("typo") << QStringList{"dowload", "KV-105"} << 2 << ""
                          << "Unknown command \"dowload\"; did you mean \"download\"?";
    QTest::newRow("name in another case")
        << QStringList{"info", "kv-105"} << 0 << "Instrument: KV-105 (00:1A:7D:DA:71:13)"
        << "";
    QTest::newRow("serial number")
        << QStringList{"info", "777"} << 0 << "Instrument: KV-100 (00:1A:7D:DA:72:06)"
        << "";
    QTest::newRow("remembered instrument") << QStringList{"list"} << 0 << "#004 20"
                                           << "";
    QTest::newRow("slot given twice")
        << QStringList{"upload", "KV-105", "--slot", "1", "--slot", "2", "a.tdr"} << 2 << ""
        << "--slot may be given once";
    // With --json every outcome is one document; --to is made only for records.
    QTest::newRow("json: no such device")
        << QStringList{"download", "KV-999", "--all", "--to", "never/made", "--json"} << 3
        << "\"error\": \"no instrument \\\"KV-999\\\" in range\",\n    \"exit\": 3"
        << "";
    QTest::newRow("json: usage") << QStringList{"download", "KV-105", "--json", "--to",
                                                "never/made"}
                                 << 2 << "\"exit\": 2"
                                 << "";
    QTest::newRow("json: link lost")
        << QStringList{"download", "KV-200", "--all", "--to", "never/made", "--json"} << 3
        << "\"not_done\": 3"
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
    if (args.contains(QStringLiteral("--json"))) {
        QJsonParseError error;
        QJsonDocument::fromJson(result.out.toUtf8(), &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
    }
    // KV-200 hangs up after its first record.
    if (args.contains(QStringLiteral("never/made")))
        QCOMPARE(QFileInfo::exists(m_dir.filePath(QStringLiteral("never"))),
                 args.contains(QStringLiteral("KV-200")));
    QDir(m_dir.filePath(QStringLiteral("never"))).removeRecursively();
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
    QVERIFY(installScene(sceneJson(kInstrument, 0, m_bridge.serverPort())));
    QTemporaryDir gui;
    RecordStore store;
    store.setDirectory(gui.path());
    InstrumentSession session(bt::stack(), store);
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
    QCOMPARE(QJsonDocument::fromJson(again.out.toUtf8())["text"].toString(),
             QStringLiteral("Nothing new to download (4 records already in %1).").arg(gui.path()));
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

void CliTest::uploadAsksAndConfirms_data()
{
    QTest::addColumn<QString>("instrument"); // settings added to the instrument's
    QTest::addColumn<QStringList>("args");   // after DEVICE; FILE is good.tdr
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    const QStringList two{"FILE", "FILE"};
    QTest::newRow("held slots refused")
        << QString() << QStringList{"--slot", "3"} + two << 1 << QString()
        << "varnel-cli: slots that hold records: 3, 4; nothing was written (--overwrite replaces "
           "them)\n";
    QTest::newRow("held slots overwritten")
        << QString() << QStringList{"--slot", "3", "--overwrite"} + two << 0 << QString()
        << "Records written: 2.\n";
    QTest::newRow("dry run shows the plan")
        << QString() << QStringList{"--slot", "4", "--dry-run", "--overwrite"} + two << 0
        << "FILE → slot 4 (holds a record)\nFILE → slot 5\n"
        << QString();
    QTest::newRow("write lost by the instrument")
        << R"(, "loseWriteTo": 51)" << QStringList{"--slot", "50"} + two << 1 << QString()
        << "Records written: 1. Not confirmed by the instrument: slot 51.\n";
    QTest::newRow("read back") << QString() << QStringList{"--slot", "50", "--verify"} + two << 0
                               << QString() << "Records written: 2. Read back and identical: 2.\n";
    // The old record stays in a held slot: listed, but not what was sent.
    QTest::newRow("read back finds the old record")
        << R"(, "loseWriteTo": 3)" << QStringList{"--slot", "3", "--overwrite", "--verify"} + two
        << 1 << QString()
        << "Records written: 1. The instrument stored slot 3 with its own date and time. Read "
           "back different from what was sent: slot 3.\n";
}

void CliTest::uploadAsksAndConfirms()
{
    QFETCH(QString, instrument);
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFile scene(m_scene);
    QVERIFY(scene.open(QIODevice::WriteOnly));
    scene.write(sceneJson(kInstrument.chopped(1) + instrument + QLatin1Char('}'),
                          m_window.serverPort(), m_bridge.serverPort()));
    scene.close();
    const QString file = writeRecordFile(QStringLiteral("good.tdr"));
    args.replaceInStrings(QStringLiteral("FILE"), file);
    const Result result = run(QStringList{"upload", "KV-105"} + args);
    QCOMPARE(result.code, code);
    QCOMPARE(result.out, out.replace(QStringLiteral("FILE"), file));
    QCOMPARE(result.err, err);
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
    QVERIFY(shown.value("events").toArray().isEmpty());
    QVERIFY(shown.value("end").isNull());
    result = run({"show", file, m_dir.filePath(QStringLiteral("missing.tdr"))});
    QCOMPARE(result.code, 1);
    QVERIFY(result.out.contains(QStringLiteral("  range: 100 m\n")));
    // Output that never reached stdout is a failure.
    QProcess full;
    full.setStandardOutputFile(QStringLiteral("/dev/full"));
    start(full, {"show", file});
    QVERIFY(full.waitForFinished(30000));
    QCOMPARE(full.exitCode(), 1);
    QVERIFY(full.readAllStandardError().contains("cannot write the output: No space left"));
    QVERIFY(result.out.contains(QStringLiteral("  cable end: no end within the trace\n")));

    // A cable with an open fault at 60 m and its open end at 120 m: the
    // distances are the physical ones, and show prints what events prints.
    emu::WaveformParams params;
    params.step = emu::distanceStep(100);
    params.cableLength = 120;
    params.faults = {{60, emu::FaultKind::Open, 0.4}};
    QFile cable(m_dir.filePath(QStringLiteral("cable.tdr")));
    QVERIFY(cable.open(QIODevice::WriteOnly));
    cable.write(emu::downloadedImage(params));
    cable.close();
    result = run({"events", cable.fileName(), "--json"});
    QCOMPARE(result.code, 0);
    const QJsonObject read =
        QJsonDocument::fromJson(result.out.toUtf8()).array().first().toObject();
    const QJsonArray events = read.value("events").toArray();
    QVERIFY(events.size() >= 2);
    QCOMPARE(events.at(0).toObject().value("kind").toString(), QStringLiteral("open"));
    QCOMPARE(events.at(1).toObject().value("kind").toString(), QStringLiteral("end_open"));
    QVERIFY(qAbs(events.at(0).toObject().value("distance_m").toDouble() - 60) <= params.step);
    QVERIFY(qAbs(read.value("end").toDouble() - 120) <= params.step);
    QVERIFY(events.at(0).toObject().value("peak_m").toDouble() >
            events.at(0).toObject().value("distance_m").toDouble());
    QVERIFY(qAbs(events.at(0).toObject().value("strength").toDouble() - 0.4) < 0.1);
    const QString shownText = run({"show", cable.fileName()}).out;
    const QString eventsText = run({"events", cable.fileName()}).out;
    QVERIFY(shownText.endsWith(eventsText.mid(eventsText.indexOf(QLatin1Char('\n')) + 1)));
    QVERIFY2(eventsText.contains(QRegularExpression(QStringLiteral(
                 "\n  event 1: 6[01](\\.\\d)? m ± [0-9.]+ m  Open  3\\d\\.\\d %\n"))),
             qPrintable(eventsText));
    // The cable again, with its fault cut out: the fault vanished, the end stayed.
    params.faults.clear();
    QFile repaired(m_dir.filePath(QStringLiteral("repaired.tdr")));
    QVERIFY(repaired.open(QIODevice::WriteOnly));
    repaired.write(emu::downloadedImage(params));
    repaired.close();
    result = run({"compare", cable.fileName(), repaired.fileName()});
    QCOMPARE(result.code, 0);
    QVERIFY2(result.out.contains(QRegularExpression(QStringLiteral(
                 "\n  event 1: 6[01](\\.\\d)? m ± [0-9.]+ m  Open  3\\d\\.\\d %  vanished\n"
                 "  event 2: 1[12]\\d(\\.\\d)? m ± [0-9.]+ m  Cable end \\(open\\)  [0-9.]+ %  "
                 "unchanged\n"))),
             qPrintable(result.out));

    // The same CSV as the viewer's export, to stdout or to a file.
    const QString viewerCsv =
        protocol::traceCsv(protocol::alignedAtLaunch(protocol::readTrace(file).trace));
    QVERIFY(viewerCsv.contains(QStringLiteral(",200\n")));
    result = run({"export", file, "--csv"});
    QCOMPARE(result.code, 0);
    QCOMPARE(result.out, viewerCsv);
    const QString out = m_dir.filePath(QStringLiteral("r.csv"));
    QCOMPARE(run({"export", file, "--csv", "-o", out}).code, 0);
    QCOMPARE(QString::fromUtf8(readAll(out)), viewerCsv);

    // A name the locale cannot decode ("café" in Latin-1) is opened by its bytes.
    const QByteArray odd = QFile::encodeName(m_dir.path()) + "/caf\xe9.tdr";
    QCOMPARE(std::rename(QFile::encodeName(file).constData(), odd.constData()), 0);
    QProcess shell;
    shell.start(QStringLiteral("sh"),
                {"-c", "exec \"$0\" show \"$1\"/caf*", VARNEL_CLI, m_dir.path()});
    QVERIFY(shell.waitForFinished(30000));
    const QByteArray said = shell.readAllStandardOutput() + shell.readAllStandardError();
    QVERIFY2(shell.exitCode() == 0 && said.contains("  range: 100 m\n"), said.constData());
    std::remove(odd.constData());
}

void CliTest::labelsBesideTheFile_data()
{
    QTest::addColumn<QStringList>("change"); // after "label FILE", on a file labelled before
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("label"); // what show --json says then, compact
    const QString before = R"({"cable":"Feeder 3","note":"pole 7"})";
    QTest::newRow("cable and note replace both") << QStringList{"--cable", "B7", "--note", "joint"}
                                                 << 0 << R"({"cable":"B7","note":"joint"})";
    QTest::newRow("a note alone keeps the cable")
        << QStringList{"--note", "joint"} << 0 << R"({"cable":"Feeder 3","note":"joint"})";
    QTest::newRow("clear") << QStringList{"--clear"} << 0 << "null";
    QTest::newRow("clear, then a cable")
        << QStringList{"--clear", "--cable", "B7"} << 0 << R"({"cable":"B7","note":""})";
    QTest::newRow("no option only shows") << QStringList{} << 0 << before;
    QTest::newRow("a missing file among them")
        << QStringList{"--cable", "B7", "missing.tdr"} << 1 << R"({"cable":"B7","note":"pole 7"})";
}

void CliTest::labelsBesideTheFile()
{
    QFETCH(QStringList, change);
    QFETCH(int, code);
    QFETCH(QString, label);
    QFile::remove(m_dir.filePath(QStringLiteral("varnel-labels.json")));
    const QString file = writeRecordFile(QStringLiteral("labelled.tdr"));
    const QByteArray bytes = readAll(file);
    QCOMPARE(run({"label", file, "--cable", "Feeder 3", "--note", "pole 7"}).code, 0);
    const Result result = run(QStringList{"label", file} + change);
    QCOMPARE(result.code, code);
    if (change.isEmpty())
        QVERIFY(result.out.contains(QStringLiteral("  cable: Feeder 3\n  note: pole 7\n")));
    QCOMPARE(readAll(file), bytes); // the record as the instrument sent it

    const QJsonValue shown = QJsonDocument::fromJson(run({"show", file, "--json"}).out.toUtf8())
                                 .array()
                                 .first()
                                 .toObject()
                                 .value("label");
    QCOMPARE(shown.isObject()
                 ? QString::fromUtf8(QJsonDocument(shown.toObject()).toJson(QJsonDocument::Compact))
                 : QStringLiteral("null"),
             label);
}

void CliTest::progressKeepsItsOwnLine()
{
    // On a terminal (script(1) gives one) the progress is erased before each
    // path and before the summary.
    const QString script = QStandardPaths::findExecutable(QStringLiteral("script"));
    if (script.isEmpty())
        QSKIP("no script(1)");
    QTemporaryDir target;
    QProcess process;
    start(process,
          {"-qec",
           QStringLiteral("'%1' download KV-105 1 2 --to '%2'").arg(VARNEL_CLI, target.path()),
           "/dev/null"},
          script);
    QVERIFY(process.waitForFinished(60000));
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    const QStringList names = QDir(target.path()).entryList(QDir::Files);
    QCOMPARE(names.size(), 2);
    for (const QString &name : names)
        QVERIFY2(out.contains(QStringLiteral("\r\033[K%1/%2\r\n").arg(target.path(), name)),
                 qPrintable(out));
    QVERIFY2(out.endsWith(QStringLiteral("\r\033[KRecords saved: 2.\r\n")), qPrintable(out));
}

void CliTest::duplicateAndUnaskedRecords()
{
    // KV-400 sends every record twice, and after record 1 sends record 4,
    // which is then the answer to the read of record 2 (as from an instrument
    // that numbers its blocks its own way); record 2 itself never comes.
    std::shared_ptr<emu::EmulatedInstrument> instrument(
        emu::EmulatedInstrument::fromJson(QJsonObject{{"records", 4}, {"seed", 5}}, nullptr));
    connect(&m_bridge, &QTcpServer::newConnection, this, [&] {
        QTcpSocket *socket = m_bridge.nextPendingConnection();
        connect(socket, &QTcpSocket::readyRead, socket, [socket, instrument] {
            const QList<QByteArray> answers = instrument->receive(socket->readAll());
            for (const QByteArray &answer : answers) {
                const bool record = answer.startsWith(char(0x40)) && answer.size() > 4;
                if (record && answer.at(3) == 2)
                    continue;
                socket->write(answer);
                if (record)
                    socket->write(answer);
                if (record && answer.at(3) == 1)
                    socket->write(
                        instrument->receive(protocol::frameBytes(protocol::readRecordFrame(4)))
                            .value(0));
            }
        });
    });
    QTemporaryDir target;
    QProcess process;
    start(process, {"download", "KV-400", "1", "2", "--to", target.path(), "--json"});
    QTRY_VERIFY_WITH_TIMEOUT(process.state() == QProcess::NotRunning, 30000);
    m_bridge.disconnect(this);
    QCOMPARE(process.exitCode(), 0);
    const QJsonObject json = QJsonDocument::fromJson(process.readAllStandardOutput()).object();
    // Each record saved is listed once, under its own number, and counted.
    QCOMPARE(json.value("done").toInt(), 2);
    const QJsonArray saved = json.value("saved").toArray();
    QCOMPARE(saved.size(), 2);
    QCOMPARE(saved.at(0)["number"].toInt(), 1);
    QCOMPARE(saved.at(1)["number"].toInt(), 4);
    QVERIFY(QFileInfo::exists(target.filePath(saved.at(1)["file"].toString())));
    QCOMPARE(QDir(target.path()).entryList(QDir::Files).size(), 2);
}

void CliTest::signalStopsAfterRecordInFlight_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<QString>("options");
    QTest::addColumn<int>("interrupts");
    const QString slow = QStringLiteral(R"({"records": 10, "seed": 5, "delayMs": 150})");
    QTest::newRow("Ctrl-C: the record in flight is saved") << int(SIGINT) << slow << 1;
    QTest::newRow("SIGTERM: the same") << int(SIGTERM) << slow << 1;
    // Without the second stop the download would end only by giving up.
    QTest::newRow("Ctrl-C twice on a babbling link: at once")
        << int(SIGINT) << R"({"records": 10, "seed": 5, "endlessStream": 70, "streamAfter": 4})"
        << 2;
}

void CliTest::signalStopsAfterRecordInFlight()
{
    QFETCH(int, signal);
    QFETCH(QString, options);
    QFETCH(int, interrupts);
#if defined(Q_OS_WIN)
    QSKIP("Ctrl-C reaches the program as a POSIX signal here");
#else
    QFile scene(m_scene);
    QVERIFY(scene.open(QIODevice::WriteOnly | QIODevice::Truncate));
    scene.write(sceneJson(options, m_window.serverPort(), m_bridge.serverPort()));
    scene.close();
    QTemporaryDir target;
    QProcess process;
    start(process, {"download", "KV-105", "--all", "--to", target.path()});
    QTRY_VERIFY_WITH_TIMEOUT(!QDir(target.path()).entryList({"*.tdr"}, QDir::Files).isEmpty(),
                             20000);
    ::kill(pid_t(process.processId()), signal);
    // Two signals sent together arrive as one: the second goes on until heard.
    for (int i = 0; interrupts > 1 && i < 100 && !process.waitForFinished(100); ++i)
        ::kill(pid_t(process.processId()), signal);
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
#endif
}

void CliTest::speaksTheDesktopLanguage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("said"); // on stderr, or in the JSON document
    QTest::newRow("Russian desktop")
        << QStringList{"dowload"} << "Неизвестная команда «dowload»; может быть, «download»?";
    QTest::newRow("JSON stays English")
        << QStringList{"dowload", "--json"}
        << "\"error\": \"Unknown command \\\"dowload\\\"; did you mean \\\"download\\\"?\"";
}

// An installed copy on a Russian desktop, started from a directory without the translation.
void CliTest::speaksTheDesktopLanguage()
{
    QFETCH(QStringList, args);
    QFETCH(QString, said);
#if defined(Q_OS_WIN)
    QSKIP("the Unix layout of an installed copy");
#endif
    QTemporaryDir prefix;
    const QString program =
        testsupport::installedCopy(prefix.path(), QStringLiteral(VARNEL_CLI),
                                   QStringLiteral(VARNEL_BINARY_DIR "/Varnel_Reader_ru.qm"));
    QVERIFY(!program.isEmpty());
    QProcess process;
    start(process, args, program, QStringLiteral("ru_RU.UTF-8"));
    QVERIFY(process.waitForFinished(60000));
    const QString output =
        QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
    QVERIFY2(output.contains(said), qPrintable(output));
    QCOMPARE(process.exitCode(), 2);
}

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
