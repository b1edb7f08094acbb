// SPDX-License-Identifier: GPL-3.0-or-later
// Soak: drives the session for a number of minutes against emulated
// instruments that chunk, drop, spoil, delay and prefix their answers,
// acknowledge writes with any byte and drop the link, with reconnects between
// rounds. Every saved file is checked against the instrument's own record
// (read through the tests' independent reading of the file layout), every
// upload that reports success against the slots it wrote.
//
//   soak [minutes (10)] [seed (1)]      SOAK_TRACE=1 prints every round
//
// Prints the figures at the end; exit status 1 when any file or claim was
// wrong.
#include "testsupport.h"

#include "bluetooth/emulator/emulatedinstrument.h"
#include "bluetooth/emulator/emulatedstack.h"
#include "session/instrumentsession.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kDevices = 12;
constexpr int kRecords = 24;    // slots 1..kRecords are downloaded
constexpr int kUploadSlot = 60; // uploads go to slots from here
constexpr int kAnswerTimeoutMs = 250;

qint64 statusKiB(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key)) + 1).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

QJsonObject faultyInstrument(QRandomGenerator &rng, int device)
{
    QJsonObject o{{"records", kRecords}, {"seed", int(rng.bounded(1, 100000))}};
    if (device == 0)
        return o; // one sound instrument
    const int chunk = rng.bounded(3);
    o["chunk"] = chunk == 0   ? QJsonValue("whole")
                 : chunk == 1 ? QJsonValue("random")
                              : QJsonValue(rng.bounded(1, 64));
    o["delayMs"] = rng.bounded(3);
    if (rng.bounded(2))
        o["dropEvery"] = rng.bounded(4, 13);
    if (rng.bounded(2))
        o["corruptEvery"] = rng.bounded(4, 13);
    const char *acks[] = {"echo", "0x40", "0x41", "0x42", "0x43",
                          "0x44", "0x45", "0x46", "list", "identity"};
    o["writeAck"] = acks[rng.bounded(10)];
    o["serialAck"] = acks[rng.bounded(10)];
    switch (rng.bounded(3)) {
    case 0:
        o["stray"] = rng.bounded(256);
        break;
    case 1:
        o["stray"] = "random";
        o["strayCount"] = rng.bounded(1, 4);
        break;
    default:
        break;
    }
    if (rng.bounded(3) == 0)
        o["garbageFrames"] = rng.bounded(1, 3);
    if (rng.bounded(4) == 0)
        o["ackDelayMs"] = kAnswerTimeoutMs + 50; // each write repeated
    if (rng.bounded(3) == 0)
        o["hangUpAfter"] = rng.bounded(8, 60);
    return o;
}

QByteArray scene(QRandomGenerator &rng)
{
    QJsonArray devices;
    for (int i = 0; i < kDevices; ++i) {
        const QJsonObject service{
            {"name", "Serial Port"}, {"channel", 1}, {"instrument", faultyInstrument(rng, i)}};
        devices.append(QJsonObject{
            {"name", QStringLiteral("KV-%1").arg(100 + i)},
            {"address", QStringLiteral("00:1A:7D:DA:71:%1").arg(0x20 + i, 2, 16, QLatin1Char('0'))},
            {"services", QJsonArray{service}}});
    }
    const QJsonObject adapter{{"name", "Workstation"}, {"address", "00:1A:7D:DA:71:01"}};
    return QJsonDocument(QJsonObject{{"adapters", QJsonArray{adapter}}, {"devices", devices}})
        .toJson(QJsonDocument::Compact);
}

bool waitUntil(const std::function<bool()> &done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.hasExpired(ms))
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        // Outside exec() nothing else would delete the links let go.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

// The block without what an upload does not carry back unchanged: the
// record number, bytes 14 and 15, bytes 25 to 28, the checksum.
QByteArray lossless(QByteArray block)
{
    return block.replace(3, 1, "?").replace(14, 2, "??").replace(25, 4, "????").chopped(1);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const double minutes = args.size() > 1 ? args.at(1).toDouble() : 10.0;
    const quint32 seed = args.size() > 2 ? args.at(2).toUInt() : 1;
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false\n*.info=false\n"
                                                    "*.warning=false"));
    qSetMessagePattern(QStringLiteral("%{if-critical}%{message}%{endif}"));

    QRandomGenerator rng(seed);
    QString error;
    auto stack = emu::EmulatedStack::fromJson(scene(rng), &error);
    if (!stack) {
        std::fprintf(stderr, "scene: %s\n", qPrintable(error));
        return 2;
    }
    emu::EmulatedStack *emulated = stack.get();
    bt::BluetoothStack::install(std::move(stack));
    QTimer heartbeat; // processEvents never waits for ever
    heartbeat.start(50);

    QTemporaryDir work;
    RecordStore store;
    store.setDirectory(work.path());
    InstrumentSession session(*emulated, store);
    session.setAnswerTimeout(kAnswerTimeoutMs);

    long long downloaded = 0, wrongFiles = 0, repeats = 0, giveUps = 0, linkLosses = 0;
    long long falseSuccess = 0, uploadsChecked = 0, wrongSlots = 0, chains = 0, rounds = 0;
    long long connectFailures = 0;
    qint64 rssAtWarmUp = -1;
    long long recordsAtWarmUp = 0;
    const long long warmUp = 1000;
    QString rssSeries; // VmRSS at every 1,000 records

    emu::EmulatedInstrument *instrument = nullptr;
    QHash<QString, QByteArray> sourceOf; // file name -> block it was saved from
    int savedInChain = 0;
    InstrumentSession::Summary summary;
    bool finished = false;

    QObject::connect(&session.queue(), &CommandQueue::repeatRequested, [&] { ++repeats; });
    QObject::connect(&session.queue(), &CommandQueue::gaveUp, [&] { ++giveUps; });
    QObject::connect(&session, &InstrumentSession::recordSaved,
                     [&](quint8 number, const QString &fileName) {
                         ++downloaded;
                         ++savedInChain;
                         const QByteArray block = instrument->recordBlock(number);
                         const auto expected = testsupport::expectedDownload(block);
                         QFile file(store.pathOf(fileName));
                         if (expected.name != fileName || !file.open(QIODevice::ReadOnly) ||
                             file.readAll() != expected.bytes) {
                             ++wrongFiles;
                             std::fprintf(stderr, "wrong file: %s\n", qPrintable(fileName));
                         }
                         sourceOf.insert(fileName, block);
                         if (downloaded == warmUp) {
                             rssAtWarmUp = statusKiB("VmRSS:");
                             recordsAtWarmUp = downloaded;
                         }
                         if (downloaded % 1000 == 0)
                             rssSeries += QStringLiteral(" %1").arg(statusKiB("VmRSS:"));
                     });
    QObject::connect(&session, &InstrumentSession::chainFinished,
                     [&](const InstrumentSession::Summary &s) {
                         summary = s;
                         finished = true;
                         ++chains;
                         if (s.linkLost)
                             ++linkLosses;
                     });

    QElapsedTimer clock;
    clock.start();
    const qint64 endMs = qint64(minutes * 60000);
    while (clock.elapsed() < endMs) {
        ++rounds;
        const int device = int(rng.bounded(kDevices));
        const QBluetoothServiceInfo service = testsupport::sceneService(device);
        instrument = emulated->instrument(service.device().address(), 1);
        session.connectTo(service);
        // Linked, and both identity requests answered (or the link gone again).
        if (!waitUntil([&] { return session.isLinked(); }, 5000)) {
            ++connectFailures;
            continue;
        }
        waitUntil([&] { return !session.isLinked() || !session.isBusy(); }, 10000);

        for (int chain = int(rng.bounded(1, 4)); chain > 0 && session.isLinked(); --chain) {
            finished = false;
            savedInChain = 0;
            const bool upload = rng.bounded(6) == 0 && !sourceOf.isEmpty();
            QList<QPair<QString, int>> written; // file, slot
            if (upload) {
                QStringList paths;
                const QStringList names = sourceOf.keys();
                const int first = kUploadSlot + int(rng.bounded(10));
                for (int i = int(rng.bounded(1, 5)); i > 0; --i) {
                    const QString name = names.at(int(rng.bounded(names.size())));
                    written.append({name, first + paths.size()});
                    paths.append(store.pathOf(name));
                }
                if (session.upload(paths, first).queued != paths.size())
                    ++falseSuccess; // every file is sound
            } else {
                QList<quint8> numbers;
                for (quint8 n = 1; n <= kRecords; ++n) {
                    if (rng.bounded(3) == 0)
                        numbers.append(n);
                }
                if (numbers.isEmpty())
                    numbers.append(quint8(rng.bounded(1, kRecords + 1)));
                session.download(numbers);
            }
            if (qEnvironmentVariableIsSet("SOAK_TRACE"))
                std::fprintf(stderr, "  chain at %lld ms\n", clock.elapsed());
            if (!waitUntil([&] { return finished; }, 120000)) {
                std::fprintf(stderr, "chain never finished\n");
                return 1;
            }
            if (summary.complete() &&
                (summary.done != summary.total || (!upload && savedInChain < summary.total))) {
                ++falseSuccess;
                std::fprintf(stderr, "claimed: %s\n", qPrintable(summary.text));
            }
            if (upload && summary.complete()) {
                ++uploadsChecked;
                for (const auto &w : written) {
                    if (lossless(instrument->recordBlock(w.second)) !=
                        lossless(sourceOf.value(w.first))) {
                        ++wrongSlots;
                        std::fprintf(stderr, "slot %d does not hold %s after \"%s\"\n", w.second,
                                     qPrintable(w.first), qPrintable(summary.text));
                    }
                }
            }
            // The list request that ends an upload, or repeats still owed.
            waitUntil([&] { return !session.isLinked() || !session.isBusy(); }, 10000);
        }
        session.disconnectLink();
        waitUntil([&] { return !session.isLinked(); }, 5000);
        if (qEnvironmentVariableIsSet("SOAK_TRACE"))
            std::fprintf(stderr, "round %lld device %d at %lld ms, %lld records\n", rounds, device,
                         clock.elapsed(), downloaded);
    }

    const double seconds = clock.elapsed() / 1000.0;
    const qint64 rss = statusKiB("VmRSS:");
    const double growth =
        downloaded > recordsAtWarmUp + 1000 && rssAtWarmUp >= 0
            ? double(rss - rssAtWarmUp) * 1000.0 / double(downloaded - recordsAtWarmUp)
            : 0.0;
    std::printf(
        "soak: %.0f s, seed %u, %lld rounds (connects), %lld chains, %lld failed connects\n",
        seconds, seed, rounds, chains, connectFailures);
    std::printf("records downloaded: %lld (%.1f/s)\n", downloaded, downloaded / seconds);
    std::printf("files wrong: %lld\n", wrongFiles);
    std::printf("uploads checked: %lld, slots wrong: %lld, false successes: %lld\n", uploadsChecked,
                wrongSlots, falseSuccess);
    std::printf("repeats: %lld, give-ups: %lld, chains ended by a lost link: %lld\n", repeats,
                giveUps, linkLosses);
    std::printf("peak memory (VmHWM): %lld KiB; VmRSS after %lld records: %lld KiB, at the end: "
                "%lld KiB; growth: %.1f KiB per 1,000 records\n",
                statusKiB("VmHWM:"), recordsAtWarmUp, rssAtWarmUp, rss, growth);
    std::printf("VmRSS (KiB) at every 1,000 records:%s\n", qPrintable(rssSeries));
    return wrongFiles + wrongSlots + falseSuccess > 0 ? 1 : 0;
}
