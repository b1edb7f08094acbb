// SPDX-License-Identifier: GPL-3.0-or-later
#include "bluetooth/emulator/emulatedinstrument_p.h"
#include "bluetooth/emulator/optionreader.h"
#include "bluetooth/emulator/recordplan.h"
#include "protocol/logging.h"

#include <QJsonArray>

#include <algorithm>
#include <climits>
#include <cmath>

namespace emu {

namespace {

constexpr int kMaxDelayMs = 60000;
constexpr int kMaxStray = 1000;

} // namespace

EmulatedInstrument::EmulatedInstrument() : d(std::make_unique<Private>()) {}

EmulatedInstrument::~EmulatedInstrument() = default;

std::unique_ptr<EmulatedInstrument> EmulatedInstrument::fromJson(const QJsonObject &options,
                                                                 QString *error)
{
    OptionReader reader;
    std::unique_ptr<EmulatedInstrument> instrument(new EmulatedInstrument);
    Private &d = *instrument->d;
    const auto failed = [&]() {
        if (error)
            *error = reader.error;
        qCWarning(lcEmulator) << "instrument options:" << reader.error;
        return nullptr;
    };

    if (!reader.knownKeys(options, {QStringLiteral("model"),        QStringLiteral("serial"),
                                    QStringLiteral("version"),      QStringLiteral("records"),
                                    QStringLiteral("seed"),         QStringLiteral("chunk"),
                                    QStringLiteral("delayMs"),      QStringLiteral("dropEvery"),
                                    QStringLiteral("corruptEvery"), QStringLiteral("writeAck"),
                                    QStringLiteral("serialAck"),    QStringLiteral("stray"),
                                    QStringLiteral("strayCount"),   QStringLiteral("garbageFrames"),
                                    QStringLiteral("ackDelayMs"),   QStringLiteral("endlessStream"),
                                    QStringLiteral("hangUpAfter"),  QStringLiteral("recordOffset"),
                                    QStringLiteral("doubleEvery"),  QStringLiteral("streamAfter"),
                                    QStringLiteral("loseWriteTo")},
                          QString()))
        return failed();

    const auto ackByte = [&](const QString &key, int &target) {
        if (!options.contains(key))
            return true;
        static const QStringList kinds{QStringLiteral("echo"), QStringLiteral("list"),
                                       QStringLiteral("identity")};
        const QString text = options.value(key).toString();
        const int byte = text.startsWith(QLatin1String("0x")) && text.size() == 4
                             ? int(text.mid(2).toUInt(nullptr, 16))
                             : -1;
        if (!options.value(key).isString() ||
            (!kinds.contains(text) && !protocol::startsAnswer(quint8(byte))))
            return reader.fail(key, QStringLiteral("expected \"echo\", \"0x40\" to \"0x46\", "
                                                   "\"list\" or \"identity\""));
        if (text == kinds.at(1))
            target = kAckList;
        else if (text == kinds.at(2))
            target = kAckIdentity;
        else if (byte >= 0)
            target = byte;
        return true;
    };
    if (!ackByte(QStringLiteral("writeAck"), d.writeAck) ||
        !ackByte(QStringLiteral("serialAck"), d.serialAck))
        return failed();

    const auto optionalInt = [&](const QString &key, qint64 min, qint64 max,
                                 const QString &expected, auto &target) {
        if (!options.contains(key))
            return true;
        const auto value = reader.integer(options.value(key), key, min, max, expected);
        if (value)
            target = std::decay_t<decltype(target)>(*value);
        return bool(value);
    };

    if (!optionalInt(QStringLiteral("model"), 0, 255,
                     QStringLiteral("expected a whole number from 0 to 255"), d.model) ||
        !optionalInt(QStringLiteral("seed"), 0, 0xFFFFFFFFLL,
                     QStringLiteral("expected a whole number from 0 to 4294967295"), d.seed) ||
        !optionalInt(
            QStringLiteral("delayMs"), 0, kMaxDelayMs,
            QStringLiteral("expected a whole number of milliseconds from 0 to %1").arg(kMaxDelayMs),
            d.delayMs) ||
        !optionalInt(QStringLiteral("dropEvery"), 0, INT_MAX,
                     QStringLiteral("expected a whole number, 0 or more"), d.dropEvery) ||
        !optionalInt(QStringLiteral("corruptEvery"), 0, INT_MAX,
                     QStringLiteral("expected a whole number, 0 or more"), d.corruptEvery) ||
        !optionalInt(QStringLiteral("doubleEvery"), 0, INT_MAX,
                     QStringLiteral("expected a whole number, 0 or more"), d.doubleEvery) ||
        !optionalInt(QStringLiteral("streamAfter"), 0, INT_MAX,
                     QStringLiteral("expected a whole number, 0 or more"), d.streamAfter))
        return failed();

    if (!optionalInt(QStringLiteral("strayCount"), 1, kMaxStray,
                     QStringLiteral("expected a whole number from 1 to %1").arg(kMaxStray),
                     d.strayCount) ||
        !optionalInt(QStringLiteral("garbageFrames"), 0, kMaxStray,
                     QStringLiteral("expected a whole number from 0 to %1").arg(kMaxStray),
                     d.garbageFrames) ||
        !optionalInt(
            QStringLiteral("ackDelayMs"), 0, kMaxDelayMs,
            QStringLiteral("expected a whole number of milliseconds from 0 to %1").arg(kMaxDelayMs),
            d.ackDelayMs) ||
        !optionalInt(QStringLiteral("hangUpAfter"), 0, INT_MAX,
                     QStringLiteral("expected a whole number, 0 or more"), d.hangUpAfter) ||
        !optionalInt(QStringLiteral("loseWriteTo"), 0, 255,
                     QStringLiteral("expected a record number from 0 to 255"), d.loseWriteTo) ||
        !optionalInt(QStringLiteral("recordOffset"), 0, 255,
                     QStringLiteral("expected a whole number from 0 to 255"), d.recordOffset))
        return failed();
    if (options.contains(QLatin1String("stray"))) {
        const QJsonValue stray = options.value(QLatin1String("stray"));
        const double byte = stray.toDouble(-1);
        if (stray == QJsonValue(QStringLiteral("random")))
            d.stray = kRandomStray;
        else if (stray.isDouble() && std::floor(byte) == byte && byte >= 0 && byte <= 255)
            d.stray = int(byte);
        else if (!reader.fail(QStringLiteral("stray"),
                              QStringLiteral("expected a byte value from 0 to 255 or \"random\"")))
            return failed();
    }
    if (options.contains(QLatin1String("endlessStream"))) {
        const QJsonValue stream = options.value(QLatin1String("endlessStream"));
        if (stream == QJsonValue(QStringLiteral("lines")))
            d.stream = Stream::Lines;
        else if (stream == QJsonValue(QStringLiteral("bytes")))
            d.stream = Stream::Bytes;
        else if (stream.isDouble() && std::floor(stream.toDouble()) == stream.toDouble() &&
                 stream.toDouble() >= 0 && stream.toDouble() <= 255) {
            d.stream = Stream::OneByte;
            d.streamByte = char(int(stream.toDouble()));
        } else if (!reader.fail(QStringLiteral("endlessStream"),
                                QStringLiteral("expected \"lines\", \"bytes\" or a byte value")))
            return failed();
    }

    if (options.contains(QLatin1String("serial"))) {
        const QJsonValue value = options.value(QLatin1String("serial"));
        const QString text = value.toString();
        const bool latin1 =
            std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 256; });
        if (!value.isString() || text.size() != 6 || !latin1) {
            reader.fail(QStringLiteral("serial"), QStringLiteral("expected six characters"));
            return failed();
        }
        d.serial = text.toLatin1();
    }

    if (options.contains(QLatin1String("version"))) {
        const auto version =
            reader.date(options.value(QLatin1String("version")), QStringLiteral("version"));
        if (!version)
            return failed();
        d.version = *version;
    }

    if (options.contains(QLatin1String("chunk"))) {
        const QJsonValue chunk = options.value(QLatin1String("chunk"));
        const double size = chunk.toDouble(0);
        if (chunk == QJsonValue(QStringLiteral("whole"))) {
            d.chunking = Chunking::Whole;
        } else if (chunk == QJsonValue(QStringLiteral("random"))) {
            d.chunking = Chunking::Random;
        } else if (chunk.isDouble() && std::floor(size) == size && size >= 1 &&
                   size <= protocol::kMaxFrameLength) {
            d.chunking = Chunking::Fixed;
            d.chunkSize = int(size);
        } else {
            reader.fail(QStringLiteral("chunk"),
                        QStringLiteral("expected \"whole\", \"random\" or a piece size in bytes "
                                       "from 1 to 65535"));
            return failed();
        }
    }
    d.cutRandom = generatorFor(d.seed, 2);
    d.noiseRandom = generatorFor(d.seed, 3);

    if (!readRecords(reader, options.value(QLatin1String("records")), d.seed, d.records))
        return failed();

    qCDebug(lcEmulator) << "instrument" << d.model << d.serial << "with" << d.records.size()
                        << "records";
    return instrument;
}

} // namespace emu
