// SPDX-License-Identifier: GPL-3.0-or-later
// The conversation with an instrument, without a window, on the emulated
// instrument or on one the test plays itself.
#include "testsupport.h"

#include "bluetooth/emulator/emulatedinstrument.h"
#include "bluetooth/emulator/emulatedstack.h"
#include "records/outputfile.h"
#include "session/instrumentsession.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "link/tdrclient.h"

#include <algorithm>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

const QBluetoothAddress kInstrument(QStringLiteral("00:1A:7D:DA:71:13"));
const QByteArray kIdentity = protocol::frameBytes(QStringLiteral("420e00692102183030313233341e"));

// Device 0 is the emulated instrument, device 1 a TCP bridge to the test.
QByteArray sceneJson(const QString &instrumentOptions, quint16 bridgePort)
{
    return QStringLiteral(R"({
      "adapters": [ {"name": "Workstation", "address": "00:1A:7D:DA:71:01"} ],
      "devices": [
        {"name": "KV-105", "address": "00:1A:7D:DA:71:13",
         "services": [ {"name": "Serial Port", "channel": 1, "instrument": %1} ]},
        {"name": "KV-200", "address": "00:1A:7D:DA:71:14",
         "services": [ {"name": "Bridge", "channel": 2, "tcp": "127.0.0.1:%2"} ]}
      ]
    })")
        .arg(instrumentOptions)
        .arg(bridgePort)
        .toUtf8();
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool runAsRoot(const QStringList &command)
{
    QProcess process;
    process.start(command.first(), command.mid(1));
    return process.waitForFinished(10000) && process.exitCode() == 0;
}

QByteArray goodImage(quint32 range = 100, float step = 1.4989623f)
{
    TDRRecord record = protocol::emptyRecord();
    record.range = range;
    record.distanceStep = step;
    return protocol::recordBytes(record);
}

} // namespace

class SessionTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void downloadOneAtATime_data();
    void downloadOneAtATime();
    void uploadRoundTripAndSkips_data();
    void uploadRoundTripAndSkips();
    void contract_data();
    void contract();
    void spoiltAnswerRepeatedAtOnce();
    void recordSentTwiceReleasesNothing();
    void uploadBesideDownloadAndRestamp();
    void cancelKeepsRecordInFlight();
    void endsWithoutAnswers_data();
    void endsWithoutAnswers();
    void repeatKeepsHalfAnswer();
    void failedLinksAreDeleted();
    void framesNeverReachTheNextLink_data();
    void framesNeverReachTheNextLink();
    void failedSaveLeavesFilesAlone_data();
    void failedSaveLeavesFilesAlone();
    void onDiskRule_data();
    void onDiskRule();
    void outputNeverDestroysSpecialFiles_data();
    void outputNeverDestroysSpecialFiles();

private:
    void open(int device, const QString &options = QStringLiteral("{}"), int timeoutMs = 300);
    void runChain();
    emu::EmulatedInstrument *instrument() const
    {
        return bt::emulatedStack()->instrument(kInstrument, 1);
    }

    QTemporaryDir *m_work = nullptr;
    QTcpServer m_bridge;
    QTcpSocket *m_peer = nullptr;
    QByteArray m_peerReceived;
    InstrumentSession *m_session = nullptr;
    QStringList m_events; // "sent <frame start>", "saved <n>"
    InstrumentSession::Summary m_summary;
    int m_finished = 0;
};

void SessionTest::init()
{
    m_work = new QTemporaryDir;
    m_bridge.listen(QHostAddress::LocalHost);
    connect(&m_bridge, &QTcpServer::newConnection, this, [this] {
        m_peer = m_bridge.nextPendingConnection();
        connect(m_peer, &QTcpSocket::readyRead, this,
                [this, peer = m_peer] { m_peerReceived += peer->readAll(); });
    });
}

void SessionTest::cleanup()
{
    delete m_session;
    m_session = nullptr;
    m_events.clear();
    m_finished = 0;
    m_peerReceived.clear();
    delete m_peer; // the next test's bridge connection is a new one
    m_peer = nullptr;
    m_bridge.close();
    m_bridge.disconnect(this);
    delete m_work;
}

void SessionTest::open(int device, const QString &options, int timeoutMs)
{
    QVERIFY(installScene(sceneJson(options, m_bridge.serverPort())));
    m_session = new InstrumentSession;
    m_session->store().setDirectory(m_work->path());
    m_session->queue().setAnswerTimeout(timeoutMs);
    connect(m_session, &InstrumentSession::frameSent, this,
            [this](const QString &f) { m_events << QStringLiteral("sent ") + f.left(8); });
    connect(m_session, &InstrumentSession::recordSaved, this,
            [this](quint8 n) { m_events << QStringLiteral("saved %1").arg(n); });
    connect(m_session, &InstrumentSession::chainFinished, this,
            [this](const InstrumentSession::Summary &s) {
                m_summary = s;
                ++m_finished;
            });
    QSignalSpy up(m_session, &InstrumentSession::linkUp);
    m_session->connectTo(testsupport::sceneService(device));
    QTRY_COMPARE(up.count(), 1);
    if (device == 0)
        QTRY_VERIFY(m_session->queue().isEmpty()); // both identity requests answered
}

void SessionTest::runChain()
{
    QTRY_VERIFY_WITH_TIMEOUT(m_finished == 1, 20000);
    QTRY_VERIFY(m_session->queue().isEmpty());
}

void SessionTest::downloadOneAtATime_data()
{
    QTest::addColumn<QString>("options");
    QTest::newRow("whole answers") << QStringLiteral(R"({"records": 5, "seed": 11})");
    QTest::newRow("random pieces")
        << QStringLiteral(R"({"records": 5, "seed": 11, "chunk": "random", "delayMs": 2})");
    QTest::newRow("every third answer lost")
        << QStringLiteral(R"({"records": 5, "seed": 9, "dropEvery": 3, "delayMs": 1})");
    QTest::newRow("every second answer spoilt")
        << QStringLiteral(R"({"records": 5, "seed": 9, "corruptEvery": 2, "delayMs": 1})");
    QTest::newRow("answers later than the time-out")
        << QStringLiteral(R"({"records": 5, "seed": 9, "delayMs": 450})");
    // Bytes before every answer cost nothing, whatever they are: a start
    // byte, a line end, or a frame with a bad checksum.
    for (int stray : {0x00, 0x0a, 0x3f, 0x40, 0x41, 0x43, 0x46, 0x47, 0xff})
        QTest::newRow(qPrintable(
            QStringLiteral("stray 0x%1 before each").arg(stray, 2, 16, QLatin1Char('0'))))
            << QStringLiteral(R"({"records": 5, "seed": 3, "stray": %1})").arg(stray);
    QTest::newRow("three random stray bytes, random pieces")
        << QStringLiteral(R"({"records": 5, "seed": 4, "stray": "random", "strayCount": 3,
                              "chunk": "random"})");
    QTest::newRow("two garbage frames before each")
        << QStringLiteral(R"({"records": 5, "seed": 5, "garbageFrames": 2})");
    QTest::newRow("garbage and stray bytes in pieces")
        << QStringLiteral(R"({"records": 5, "seed": 6, "garbageFrames": 1, "stray": "random",
                              "chunk": 7})");
}

void SessionTest::downloadOneAtATime()
{
    QFETCH(QString, options);
    open(0, options);
    m_events.clear();
    QVERIFY(m_session->download({1, 3, 5, 3}));
    runChain();
    QCOMPARE(m_summary.text, QStringLiteral("Records saved: 4."));
    QVERIFY(m_summary.complete());

    // No request goes out before the record asked before it is saved; a
    // repeat is the same request again before that.
    QList<int> asked;
    int current = -1;
    bool saved = false;
    for (const QString &event : qAsConst(m_events)) {
        if (event.startsWith(QLatin1String("sent 4005"))) {
            const int number = event.right(2).toInt(nullptr, 16);
            if (number == current && !saved)
                continue;
            QVERIFY2(current < 0 || saved, qPrintable(m_events.join(QLatin1Char(','))));
            asked << number;
            current = number;
            saved = false;
        } else if (event == QStringLiteral("saved %1").arg(current)) {
            saved = true;
        }
    }
    QCOMPARE(asked, QList<int>({1, 3, 5, 3}));

    // Every file is the image of the instrument's block under the identity;
    // the same record twice is one file.
    QCOMPARE(QDir(m_work->path()).entryList(QDir::Files).size(), 3);
    for (int number : {1, 3, 5}) {
        const auto expected = testsupport::expectedDownload(instrument()->recordBlock(number));
        QVERIFY(expected.name.startsWith(QStringLiteral("#00%1 20").arg(number)));
        QCOMPARE(readAll(m_session->store().pathOf(expected.name)), expected.bytes);
    }
    // Inserted one by one, in the order a fresh listing has.
    QDir dir(m_work->path(), QStringLiteral("*.tdr"), QDir::Name | QDir::Reversed, QDir::Files);
    QCOMPARE(m_session->store().files(), dir.entryList());
}

void SessionTest::uploadRoundTripAndSkips_data()
{
    QTest::addColumn<QByteArray>("bad");
    QTest::addColumn<int>("firstSlot");
    QTest::addColumn<int>("written");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("acks"); // how the instrument acknowledges writes
    const QString notRecord = QStringLiteral("Records written: 4. Skipped: \"bad.tdr\" (not a "
                                             "record file).");
    const QString all = QStringLiteral("Records written: 4.");
    QTest::newRow("all files") << QByteArray() << 40 << 4 << all << QString();
    // Each write goes out again before its acknowledgement comes; both come.
    QTest::newRow("acknowledged after the time-out")
        << QByteArray() << 20 << 4 << all << R"(, "writeAck": "0x45", "ackDelayMs": 800)";
    QTest::newRow("empty file") << QByteArray("") << 40 << 4 << notRecord << QString();
    QTest::newRow("one byte short") << goodImage().chopped(1) << 40 << 4 << notRecord << QString();
    QTest::newRow("zero step") << goodImage(100, 0.0f) << 40 << 4
                               << "Records written: 4. Skipped: \"bad.tdr\" (bad distance step)."
                               << QString();
    QTest::newRow("unknown range")
        << goodImage(150) << 40 << 4 << "Records written: 4. Skipped: \"bad.tdr\" (unknown range)."
        << QString();
    QTest::newRow("past the last slot")
        << QByteArray() << 97 << 3
        << "Records written: 3. Files left out, there is no record slot after 99: 1." << QString();
}

void SessionTest::uploadRoundTripAndSkips()
{
    QFETCH(QByteArray, bad);
    QFETCH(int, firstSlot);
    QFETCH(int, written);
    QFETCH(QString, text);
    QFETCH(QString, acks);
    open(0, QStringLiteral(R"({"records": 4, "seed": 21, "chunk": "random", "delayMs": 1%1})")
                .arg(acks));
    QVERIFY(m_session->download({1, 2, 3, 4}));
    runChain();
    QStringList paths;
    for (const QString &name : m_session->store().files())
        paths.prepend(m_session->store().pathOf(name)); // listed descending
    if (!bad.isNull()) {
        QFile file(m_work->filePath(QStringLiteral("bad.tdr")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bad);
        file.close();
        paths.insert(1, file.fileName());
    }
    m_events.clear();
    m_finished = 0;
    const bool late = acks.contains(QLatin1String("ackDelayMs"));
    m_session->queue().setAnswerTimeout(late ? 600 : CommandQueue::kDefaultTimeoutMs);
    const InstrumentSession::UploadPlan plan = m_session->upload(paths, firstSlot);
    QCOMPARE(plan.queued, written);
    runChain();
    QCOMPARE(m_summary.text, text);
    QCOMPARE(m_events.last(), QStringLiteral("sent 41040045")); // the list comes last

    // Slot after slot, none left out or taken twice; a write goes out again
    // only when its acknowledgement is late.
    QList<int> sentSlots, expectedSlots;
    for (const QString &event : m_events.filter(QStringLiteral("sent 431b01")))
        sentSlots << event.right(2).toInt(nullptr, 16);
    const int sends = sentSlots.size();
    sentSlots.erase(std::unique(sentSlots.begin(), sentSlots.end()), sentSlots.end());
    for (int i = 0; i < written; ++i)
        expectedSlots << firstSlot + i;
    QCOMPARE(sentSlots, expectedSlots);
    QCOMPARE(sends > written, late);

    // Slot firstSlot + i holds record 1 + i, apart from the documented lossy
    // fields: the record number, bytes 14 and 15, bytes 25 to 28.
    const auto lossless = [](QByteArray block) {
        return block.replace(3, 1, "?").replace(14, 2, "??").replace(25, 4, "????").chopped(1);
    };
    for (int i = 0; i < written; ++i) {
        const QByteArray copy = instrument()->recordBlock(firstSlot + i);
        QCOMPARE(quint8(copy.at(3)), quint8(firstSlot + i));
        QCOMPARE(lossless(copy), lossless(instrument()->recordBlock(1 + i)));
    }
    QVERIFY(instrument()->recordBlock(firstSlot + written).isEmpty());
}

void SessionTest::contract_data()
{
    // How an instrument answers writes and serial numbers (or numbers its
    // record blocks), and what goes wrong on the way back.
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("fault");
    QStringList dialects;
    for (const char *ack : {"echo", "0x40", "0x41", "0x42", "0x45", "list", "identity"})
        dialects << QStringLiteral(R"("writeAck": "%1", "serialAck": "%1")").arg(ack);
    dialects << QStringLiteral(R"("recordOffset": 1)");
    const QList<QPair<const char *, const char *>> faults{
        {"sound", ""},
        {"lost", R"(, "dropEvery": 4)"},
        {"doubled", R"(, "doubleEvery": 3)"},
        {"babbling", R"(, "stray": "random", "strayCount": 3, "garbageFrames": 1)"}};
    for (const QString &dialect : qAsConst(dialects)) {
        for (const auto &fault : faults)
            QTest::addRow("%s, %s", qPrintable(dialect), fault.first)
                << dialect << QString::fromLatin1(fault.second);
    }
}

void SessionTest::contract()
{
    QFETCH(QString, dialect);
    QFETCH(QString, fault);
    // Connect, list, download (with an empty slot), upload, serial number.
    const bool sound = fault.isEmpty();
    // Repeats are allowed where answers go wrong, so a short time-out will do.
    open(0,
         QStringLiteral(R"({"records": 3, "seed": 7, "chunk": "random", "delayMs": 1, %1%2})")
             .arg(dialect, fault),
         sound ? 300 : 50);
    m_session->queue().setLinkSpeed(100000);
    const bool doubled = fault.contains(QLatin1String("double"));
    const int offset = dialect.contains(QLatin1String("Offset")) ? 1 : 0;
    int listed = -1;
    connect(m_session, &InstrumentSession::recordListReceived, this,
            [&](const QList<protocol::RecordEntry> &entries) { listed = entries.size(); });
    m_session->requestList();
    QTRY_COMPARE(listed, 3);

    QVERIFY(m_session->download({1, 2, 3, 9}));
    runChain();
    if (!doubled) // a doubled answer may release a read before its record comes
        QCOMPARE(m_summary.text, QStringLiteral("Records not saved: 1 of 4. The instrument sent "
                                                "an empty record; nothing was saved."));
    // Each file under the number its block carries, with the block's bytes.
    QStringList names;
    for (int number = 1; number <= 3; ++number) {
        QByteArray block = instrument()->recordBlock(number);
        block[3] = char(number + offset);
        const auto expected = testsupport::expectedDownload(block);
        QTRY_COMPARE(readAll(m_session->store().pathOf(expected.name)), expected.bytes);
        names << m_session->store().pathOf(expected.name);
    }
    QTRY_COMPARE(QDir(m_work->path()).entryList(QDir::Files).size(), 3);

    m_finished = 0;
    QCOMPARE(m_session->upload(names, 20).queued, 3);
    runChain();
    if (!doubled)
        QCOMPARE(m_summary.text, QStringLiteral("Records written: 3."));
    const auto lossless = [](QByteArray block) {
        return block.replace(3, 1, "?").replace(14, 2, "??").replace(25, 4, "????").chopped(1);
    };
    for (int i = 0; i < 3; ++i)
        QCOMPARE(lossless(instrument()->recordBlock(20 + i)),
                 lossless(instrument()->recordBlock(1 + i)));

    QVERIFY(m_session->setSerial(QStringLiteral("654321")));
    QTRY_COMPARE(quint32(m_session->record().serialNumber), 654321u);
    QCOMPARE(instrument()->serial(), QStringLiteral("654321"));

    // What reached the instrument, in order: a command may go out again
    // (a repeat), but none is skipped, none comes back later, no slot is
    // wrong. A sound link needs no repeat at all.
    const QString expected =
        QStringLiteral("42 42 41 40:1 40:2 40:3 40:9 43:20 43:21 43:22 41 44 42");
    QStringList log;
    for (const QByteArray &command : instrument()->commandLog()) {
        QString text = QString::fromLatin1(command.left(1).toHex());
        if (text == QLatin1String("40") || text == QLatin1String("43")) // record number, slot
            text += QStringLiteral(":%1").arg(quint8(command.at(3)));
        if (sound || log.isEmpty() || log.last() != text)
            log << text;
    }
    if (!sound)
        QCOMPARE(log.join(' '),
                 QString(expected).replace(QLatin1String("42 42"), QLatin1String("42")));
    else
        QCOMPARE(log.join(' '), expected);
}

void SessionTest::spoiltAnswerRepeatedAtOnce()
{
    // The second identity answer comes spoilt. Its request goes out again at
    // once, not after the time-out, and only once: three requests in all.
    open(0, QStringLiteral(R"({"corruptEvery": 2, "records": 1})"), 60000);
    QCOMPARE(instrument()->commandsReceived(), 3);
    QCOMPARE(quint32(m_session->record().serialNumber), 1234u);
    QCOMPARE(m_events.count(QStringLiteral("sent 42050000")), 3);
}

void SessionTest::recordSentTwiceReleasesNothing()
{
    // Record 1's block comes twice. The copy is no answer to the read of
    // record 2: the chain ends only once record 2 itself was saved.
    open(1);
    const std::unique_ptr<emu::EmulatedInstrument> source(
        emu::EmulatedInstrument::fromJson(QJsonObject{{"records", 2}, {"seed", 5}}, nullptr));
    const auto block = [&](quint8 n) {
        return source->receive(protocol::frameBytes(protocol::readRecordFrame(n))).value(0);
    };
    int filesAtEnd = -1;
    connect(m_session, &InstrumentSession::chainFinished, this,
            [&] { filesAtEnd = QDir(m_work->path()).entryList(QDir::Files).size(); });
    QTRY_VERIFY(m_peer);
    m_peer->write(kIdentity + kIdentity);
    QVERIFY(m_session->download({1, 2}));
    const QByteArray read2 = protocol::frameBytes(protocol::readRecordFrame(2));
    QTRY_VERIFY(m_peerReceived.contains(protocol::frameBytes(protocol::readRecordFrame(1))));
    m_peer->write(block(1));
    QTRY_VERIFY(m_peerReceived.contains(read2));
    m_peer->write(block(1) + block(2));
    runChain();
    QCOMPARE(filesAtEnd, 2);
    QCOMPARE(m_summary.text, QStringLiteral("Records saved: 2."));
}

void SessionTest::uploadBesideDownloadAndRestamp()
{
    // An upload started while a download runs is summarised as both.
    open(0, QStringLiteral(R"({"records": 4, "seed": 2, "delayMs": 5})"));
    QFile file(m_work->filePath(QStringLiteral("a.tdr")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(goodImage());
    file.close();
    QVERIFY(m_session->download({1, 2, 3, 4}));
    QCOMPARE(m_session->upload({file.fileName()}, 30).queued, 1);
    runChain();
    QCOMPARE(m_summary.text, QStringLiteral("Records saved: 4. Records written: 1."));
    QCOMPARE(m_summary.done, 5);

    // A listed slot with another date and time is written, and noted.
    UploadCheck check;
    TDRRecord record = protocol::emptyRecord();
    record.year = 21, record.month = 2, record.day = 18, record.hour = 12;
    UploadPlan::Item item;
    item.slot = 5;
    item.frame = protocol::writeRecordFrame(record, 5);
    check.add({item});
    check.acknowledged(5);
    const quint64 stamped = 0x0000'1300'1802'2105ull; // 2021-02-18 13:00:00
    QVERIFY(check.listed({protocol::RecordEntry{stamped}}, false).isEmpty());
    QCOMPARE(check.confirmed(), 1);
    QCOMPARE(check.notes(),
             QStringLiteral("The instrument stored slot 5 with its own date and time."));
}

void SessionTest::cancelKeepsRecordInFlight()
{
    open(0, QStringLiteral(R"({"records": 10, "seed": 1, "delayMs": 20})"));
    QList<quint8> all;
    for (quint8 n = 1; n <= 10; ++n)
        all << n;
    QSignalSpy progress(m_session, &InstrumentSession::progress);
    // The user's click lands while the fourth request is on its way.
    connect(m_session, &InstrumentSession::progress, this, [this](int done) {
        if (done == 3)
            QTimer::singleShot(0, m_session, &InstrumentSession::cancel);
    });
    QVERIFY(m_session->download(all));
    runChain();
    QCOMPARE(m_summary.text, QStringLiteral("Download cancelled. Records saved: 4, not saved: 6."));
    QCOMPARE(m_events.count(QStringLiteral("sent 40050004")), 1);
    QVERIFY(!m_events.join(' ').contains(QStringLiteral("40050005")));
    QCOMPARE(QDir(m_work->path()).entryList(QDir::Files).size(), 4);
    QCOMPARE(progress.first(), QVariantList({0, 10}));
    QCOMPARE(progress.last(), QVariantList({4, 10}));
}

void SessionTest::endsWithoutAnswers_data()
{
    QTest::addColumn<bool>("hangUp");
    QTest::addColumn<bool>("upload");
    QTest::addColumn<QString>("text");
    // Bytes without end instead of answers: 0xff never starts an answer, so
    // only the time-out ends the wait; 0x46 always may, so only the bound does.
    QTest::addColumn<QString>("babble");
    const QString silentDownload =
        QStringLiteral("The instrument does not answer. Records not downloaded: 3.");
    const QString silentUpload =
        QStringLiteral("The instrument does not answer. Files not written: 2.");
    QTest::newRow("instrument falls silent in a download")
        << false << false << silentDownload << QString();
    QTest::newRow("instrument falls silent in an upload")
        << false << true << silentUpload << QString();
    QTest::newRow("instrument babbles 0xff in a download")
        << false << false << silentDownload << "255";
    QTest::newRow("instrument babbles 0x46 in an upload") << false << true << silentUpload << "70";
    QTest::newRow("link lost in a download")
        << true << false << QStringLiteral("Disconnected. Records not downloaded: 3.") << QString();
    QTest::newRow("link lost in an upload")
        << true << true << QStringLiteral("Disconnected. Files not written: 2.") << QString();
}

void SessionTest::endsWithoutAnswers()
{
    QFETCH(bool, hangUp);
    QFETCH(bool, upload);
    QFETCH(QString, text);
    QFETCH(QString, babble);
    // The test plays the instrument and answers nothing, or the emulated one
    // babbles once it has said who it is.
    if (babble.isEmpty())
        open(1);
    else
        open(0, QStringLiteral(R"({"endlessStream": %1, "streamAfter": 2})").arg(babble));
    m_session->queue().setLinkSpeed(babble == QLatin1String("255") ? 1 : 100000);
    m_session->queue().setAnswerTimeout(hangUp ? 60000 : 50);
    QSignalSpy down(m_session, &InstrumentSession::linkDown);
    QFile file(m_work->filePath(QStringLiteral("a.tdr")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(goodImage());
    file.close();
    if (upload)
        QCOMPARE(m_session->upload({file.fileName(), file.fileName()}, 0).queued, 2);
    else
        QVERIFY(m_session->download({1, 2, 3}));
    if (hangUp) {
        QTRY_VERIFY(m_peer);
        m_peer->disconnectFromHost();
        QTRY_COMPARE(down.count(), 1);
        QCOMPARE(down.first().first().toString(), text);
    }
    runChain();
    QCOMPARE(m_summary.text, text);
}

void SessionTest::repeatKeepsHalfAnswer()
{
    open(1);
    QSignalSpy identity(m_session, &InstrumentSession::identityReceived);
    QTRY_COMPARE(m_peerReceived, protocol::frameBytes(protocol::kGetVersionFrame));
    m_peer->write(kIdentity.left(6));
    // The time-out passes with the answer half there: the request goes out
    // again, and the rest of the answer still completes it.
    QTRY_COMPARE(m_peerReceived.size(), 10);
    m_peer->write(kIdentity.mid(6));
    QTRY_COMPARE(identity.count(), 1);
    QCOMPARE(quint32(m_session->record().serialNumber), 1234u);
}

void SessionTest::failedLinksAreDeleted()
{
    open(0, QStringLiteral("{}"));
    m_bridge.close(); // the bridge device now refuses
    QSignalSpy errors(m_session, &InstrumentSession::linkError);
    for (int attempt = 1; attempt <= 3; ++attempt) {
        m_session->connectTo(testsupport::sceneService(1));
        QTRY_COMPARE(errors.count(), attempt);
    }
    QSignalSpy up(m_session, &InstrumentSession::linkUp);
    m_session->connectTo(testsupport::sceneService(0));
    QTRY_COMPARE(up.count(), 1);
    // Only the link in use is left: the failed ones were never announced as
    // gone, yet must not stay behind.
    QTRY_COMPARE(m_session->findChildren<TDRClient *>().size(), 1);
}

void SessionTest::framesNeverReachTheNextLink_data()
{
    QTest::addColumn<bool>("dropFirst");
    QTest::newRow("next link while the first is up") << false;
    QTest::newRow("first link dropped, then the next") << true;
}

void SessionTest::framesNeverReachTheNextLink()
{
    QFETCH(bool, dropFirst);
    open(1);
    m_session->queue().setAnswerTimeout(60000); // only the link may end these commands
    QVERIFY(m_session->download({1, 2, 3}));
    QCOMPARE(m_session->upload({}, 0).queued, 0);
    QVERIFY(!m_session->queue().isEmpty());
    if (dropFirst) {
        QSignalSpy down(m_session, &InstrumentSession::linkDown);
        QTRY_VERIFY(m_peer);
        m_peer->disconnectFromHost();
        QTRY_COMPARE(down.count(), 1);
        // Nothing in flight either: no repeat is left to go out later.
        QVERIFY(m_session->queue().isEmpty());
    }

    QSignalSpy up(m_session, &InstrumentSession::linkUp);
    const QPointer<TDRClient> earlier = m_session->findChild<TDRClient *>();
    m_session->connectTo(testsupport::sceneService(0));
    QVERIFY(m_session->queue().isEmpty());
    // The earlier link's last bytes, a record block, are none of the new
    // instrument's answers.
    if (earlier)
        emit earlier->messageReceived(QStringLiteral("KV-200"),
                                      QString::fromLatin1(instrument()->recordBlock(1).toHex()));
    QTRY_COMPARE(up.count(), 1);
    QTRY_VERIFY(m_session->queue().isEmpty());
    // The new instrument was asked who it is, nothing else.
    QCOMPARE(instrument()->commandsReceived(), 2);
    QVERIFY(QDir(m_work->path()).entryList(QDir::Files).isEmpty());

    // Without a link nothing is queued at all.
    m_session->disconnectLink();
    QTRY_VERIFY(!m_session->isLinked());
    QVERIFY(!m_session->download({1}));
    QVERIFY(!m_session->upload({m_work->filePath(QStringLiteral("x.tdr"))}, 0).linked);
    QVERIFY(!m_session->setSerial(QStringLiteral("1")));
    QVERIFY(m_session->queue().isEmpty());
}

void SessionTest::failedSaveLeavesFilesAlone_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("directory gone") << QStringLiteral("gone");
    QTest::newRow("full file system") << QStringLiteral("full");
}

void SessionTest::failedSaveLeavesFilesAlone()
{
    QFETCH(QString, how);
    QTemporaryDir mountPoint;
    const QString dir = mountPoint.path();
    const bool mounted = how != QLatin1String("gone");
    if (mounted && !runAsRoot({"mount", "-t", "tmpfs", "-o", "size=60k", "tmpfs", dir}))
        QSKIP("cannot mount a tmpfs here");
    open(0, QStringLiteral(R"({"records": 3, "seed": 31})"));
    m_session->store().setDirectory(dir);
    QVERIFY(m_session->download({1}));
    runChain();
    const QString existing = m_session->store().pathOf(m_session->store().files().first());
    const QByteArray before = readAll(existing);
    if (how == QLatin1String("full")) {
        QFile filler(dir + QStringLiteral("/filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    } else {
        m_session->store().setDirectory(dir + QStringLiteral("/gone"));
    }
    m_finished = 0;
    QVERIFY(m_session->download({1, 2, 3}));
    runChain();
    QVERIFY2(m_summary.text.startsWith(QStringLiteral("Records not saved: 3 of 3. Record 003 "
                                                      "could not be saved as \"#003 ")),
             qPrintable(m_summary.text));
    QCOMPARE(readAll(existing), before);
    const QStringList left = QDir(dir).entryList(QDir::Files | QDir::Hidden);
    for (const QString &name : left) // no temporary leftovers
        QVERIFY2(name.endsWith(QLatin1String(".tdr")) || name == QLatin1String("filler"),
                 qPrintable(name));
    if (mounted)
        runAsRoot({"umount", dir});
}

void SessionTest::onDiskRule_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("onDisk");
    const QString name = QStringLiteral("#007 2021-02-18 12_30_45 %1m sn%2.tdr");
    QTest::newRow("same record") << name.arg("1.5", "001234") << 37775 << true;
    QTest::newRow("another length part") << name.arg("999", "001234") << 37775 << true;
    QTest::newRow("extension in capitals")
        << QStringLiteral("#007 2021-02-18 12_30_45 1.5m sn001234.TDR") << 37775 << true;
    QTest::newRow("name in capitals")
        << QStringLiteral("#007 2021-02-18 12_30_45 1.5M SN001234.TDR") << 37775 << true;
    QTest::newRow("another instrument") << name.arg("1.5", "004321") << 37775 << false;
    QTest::newRow("another number, same time")
        << QStringLiteral("#008 2021-02-18 12_30_45 1.5m sn001234.tdr") << 37775 << false;
    QTest::newRow("not a record") << name.arg("1.5", "001234") << 100 << false;
    QTest::newRow("another name") << QStringLiteral("#007 2021-02-18.tdr") << 37775 << false;
}

void SessionTest::onDiskRule()
{
    QFETCH(QString, name);
    QFETCH(int, size);
    QFETCH(bool, onDisk);
    QFile file(m_work->filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(size, '\0'));
    file.close();
    RecordStore store;
    store.setDirectory(m_work->path());
    // Record 7 of 2021-02-18 12:30:45 (date spare 04), as the record list has it.
    const protocol::RecordEntry entry{0x4530120418022107ull};
    QCOMPARE(entry.text(), QStringLiteral("#007 2021-02-18 12_30_45"));
    QCOMPARE(store.isOnDisk(entry, 1234), onDisk);
}

void SessionTest::outputNeverDestroysSpecialFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("record");   // saved by the store in its folder, else a named path
    QTest::addColumn<QString>("error"); // empty: written
    const QString refused = QStringLiteral("not a regular file, a FIFO or a character device");
    QTest::newRow("regular file replaced") << "regular" << false << "";
    QTest::newRow("FIFO written in place") << "fifo" << false << "";
    QTest::newRow("FIFO in the folder while read") << "fifo" << true << "";
    QTest::newRow("FIFO in the folder nobody reads") << "unread" << true << "no one reads the FIFO";
    QTest::newRow("FIFO in the folder read too slowly")
        << "slow" << true << "only 4096 of 37775 bytes were taken";
    QTest::newRow("character device written in place") << "device" << false << "";
    QTest::newRow("folder refused") << "folder" << false << refused;
    QTest::newRow("socket refused") << "socket" << true << refused;
    QTest::newRow("named link leads to its file") << "link" << false << "";
    QTest::newRow("loop of links refused")
        << "loop" << false << "Too many levels of symbolic links";
    QTest::newRow("planted link replaced, its file kept") << "link" << true << "";
}

void SessionTest::outputNeverDestroysSpecialFiles()
{
    QFETCH(QString, kind);
    QFETCH(bool, record);
    QFETCH(QString, error);
    const auto is = [&kind](const char *k) { return kind == QLatin1String(k); };
    RecordStore store;
    store.setDirectory(m_work->path());
    const TDRRecord saved = protocol::emptyRecord();
    const QString path = record ? store.pathOf(protocol::recordFileName(saved, 1))
                                : m_work->filePath(QStringLiteral("out"));
    const QByteArray name = QFile::encodeName(path);
    const QString elsewhere = m_work->filePath(QStringLiteral("precious"));
    QFile precious(elsewhere);
    QVERIFY(precious.open(QIODevice::WriteOnly) && precious.write("keep") == 4 && precious.flush());
    if (is("regular"))
        QVERIFY(QFile::copy(elsewhere, path));
    if (is("fifo") || is("unread") || is("slow"))
        QCOMPARE(::mkfifo(name.constData(), 0600), 0);
    const int reader =
        is("fifo") || is("slow") ? ::open(name.constData(), O_RDONLY | O_NONBLOCK) : -1;
    if (is("slow")) // a reader that never reads takes one page
        QCOMPARE(::fcntl(reader, F_SETPIPE_SZ, 4096), 4096);
    if (is("device") && ::mknod(name.constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        QSKIP("cannot make a device node here");
    if (is("folder"))
        QVERIFY(QDir().mkdir(path));
    if (is("socket"))
        QCOMPARE(::mknod(name.constData(), S_IFSOCK | 0600, 0), 0);
    if (is("link"))
        QVERIFY(QFile::link(elsewhere, path));
    if (is("loop"))
        QVERIFY(QFile::link(path, path));
    struct stat before = {};
    ::lstat(name.constData(), &before);

    const QByteArray bytes = record ? protocol::recordBytes(saved) : QByteArrayLiteral("a,b\n");
    const QString written = record ? store.save(saved, 1).error : OutputFile::write(path, bytes);
    QVERIFY2(error.isEmpty() ? written.isEmpty() : written.contains(error), qPrintable(written));
    struct stat after = {};
    QCOMPARE(::lstat(name.constData(), &after), 0);
    if (reader >= 0 && error.isEmpty()) {
        QByteArray got(bytes.size() + 1, '\0');
        got.resize(int(::read(reader, got.data(), size_t(got.size()))));
        ::close(reader);
        QCOMPARE(got, bytes);
    }
    if (is("regular") || (is("link") && record)) {
        QVERIFY(S_ISREG(after.st_mode));
        QCOMPARE(readAll(path), bytes);
    } else {
        QCOMPARE(after.st_ino, before.st_ino); // the same file, none put in its place
    }
    QCOMPARE(readAll(elsewhere), is("link") && !record ? bytes : QByteArray("keep"));
    if (record) // listed, and so on disk, only as a regular file
        QCOMPARE(store.files().size(), is("link") ? 1 : 0);
    // The target and the other file: no temporary file left behind.
    const QDir::Filters all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    QCOMPARE(QDir(m_work->path()).entryList(all).size(), 2);
}

QTEST_GUILESS_MAIN(SessionTest)
#include "tst_session.moc"
