#include "bluetooth/emulator/emulatedinstrument.h"

#include "bluetooth/emulator/waveform.h"
#include "protocol/frame.h"
#include "protocol/logging.h"
#include "protocol/tdrcommand.h"

#include <QDate>
#include <QJsonArray>
#include <QRandomGenerator>
#include <QStringList>
#include <QTime>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <optional>

namespace emu {

namespace {

constexpr int kMaxRecords = 255;
constexpr int kMaxDelayMs = 60000;
constexpr int kMaxRandomPiece = 64;
constexpr int kRandomStray = 256;
constexpr double kMaxNoise = 50.0;
// A fixed origin for the length counters; only their difference matters.
constexpr quint32 kLengthOrigin = 1000;

// Pulse widths in nanoseconds the instrument would pick for each range.
constexpr std::array<quint32, 12> kPulseWidthNs{2, 2, 5, 5, 10, 20, 50, 100, 200, 500, 1000, 2000};

enum class Chunking { Whole, Fixed, Random };
enum class Stream { None, Lines, Bytes };

constexpr int kStreamPiece = 4096;
constexpr int kMaxStray = 1000;

// Everything needed to build one record block.
struct RecordPlan
{
    int number = 0;
    QDate date;
    QTime time;
    int rangeCode = 7;
    double length = 0; // metres
    QList<Fault> faults;
    double noise = 1.0;
    int divisor = 1;
    int gain = 6;         // block byte 12
    int offset = 0;       // block byte 13, stored + 128
    int propagation = 66; // per cent, carried in value25
    quint32 waveSeed = 1;
};

int expectedLength(quint8 command)
{
    switch (TDRCommand(command)) {
    case TDRCommand::ReadRecord:
        return protocol::kReadRecordLength;
    case TDRCommand::GetList:
        return protocol::kMinFrameLength;
    case TDRCommand::GetVersion:
        return 5;
    case TDRCommand::WriteRecord:
        return protocol::kRecordBlockLength;
    case TDRCommand::SetSerial:
        return protocol::kSetSerialLength;
    }
    return 0;
}

QString rangeList()
{
    QStringList values;
    for (const quint16 range : protocol::rangeTable)
        values.append(QString::number(range));
    return values.join(QLatin1String(", "));
}

QString join(const QString &prefix, const QString &key)
{
    return prefix.isEmpty() ? key : prefix + QLatin1Char('.') + key;
}

// Reads one option table, remembering the first error as "key: expected ...".
class OptionReader
{
public:
    QString error;

    bool fail(const QString &key, const QString &expected)
    {
        if (error.isEmpty())
            error = (key + QLatin1String(": ") + expected).simplified();
        return false;
    }

    bool knownKeys(const QJsonObject &object, const QStringList &known, const QString &prefix)
    {
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (!known.contains(it.key()))
                return fail(join(prefix, it.key()), QStringLiteral("unknown option"));
        }
        return true;
    }

    std::optional<qint64> integer(const QJsonValue &value, const QString &key, qint64 min,
                                  qint64 max, const QString &expected)
    {
        const double number = value.toDouble(std::nan(""));
        if (!value.isDouble() || std::floor(number) != number || number < double(min) ||
            number > double(max)) {
            fail(key, expected);
            return std::nullopt;
        }
        return qint64(number);
    }

    std::optional<double> number(const QJsonValue &value, const QString &key, double min,
                                 double max, bool minExclusive, const QString &expected)
    {
        const double number = value.toDouble(std::nan(""));
        if (!value.isDouble() || !std::isfinite(number) || number < min ||
            (minExclusive && number == min) || number > max) {
            fail(key, expected);
            return std::nullopt;
        }
        return number;
    }

    std::optional<QDate> date(const QJsonValue &value, const QString &key)
    {
        const QDate date = QDate::fromString(value.toString(), QStringLiteral("yyyy-MM-dd"));
        if (!value.isString() || !date.isValid() || date.year() < 2000 || date.year() > 2099) {
            fail(key, QStringLiteral("expected a date YYYY-MM-DD from 2000 to 2099"));
            return std::nullopt;
        }
        return date;
    }

    std::optional<QTime> time(const QJsonValue &value, const QString &key)
    {
        const QTime time = QTime::fromString(value.toString(), QStringLiteral("HH:mm:ss"));
        if (!value.isString() || !time.isValid()) {
            fail(key, QStringLiteral("expected a time HH:MM:SS"));
            return std::nullopt;
        }
        return time;
    }
};

QRandomGenerator generatorFor(quint32 seed, quint32 stream, quint32 index = 0)
{
    const quint32 seeds[] = {seed, stream, index};
    return QRandomGenerator(seeds, 3);
}

double uniform(QRandomGenerator &rng, double from, double to)
{
    return from + (to - from) * rng.generateDouble();
}

// The range code whose table value is the smallest that still holds `metres`.
int rangeCodeCovering(double metres)
{
    for (std::size_t i = 0; i < protocol::rangeTable.size(); ++i) {
        if (protocol::rangeTable[i] >= metres)
            return int(i);
    }
    return int(protocol::rangeTable.size() - 1);
}

// A record as an instrument in the field would have stored it: a cable of
// some length within the chosen range, now and then a fault or two on it.
RecordPlan generatedRecord(quint32 seed, int index)
{
    QRandomGenerator rng = generatorFor(seed, 1, quint32(index));
    RecordPlan plan;
    plan.number = index + 1;
    plan.date = QDate(2019, 1, 1).addDays(rng.bounded(5 * 365));
    plan.time = QTime(0, 0).addSecs(rng.bounded(24 * 3600));
    plan.rangeCode = rng.bounded(2, 11); // 30 m to 5000 m: what cables are usually tested with
    const double range = protocol::rangeTable[plan.rangeCode];
    plan.length = std::max(1.0, std::round(uniform(rng, 0.35, 0.95) * range));
    const int faults = rng.bounded(3);
    for (int i = 0; i < faults; ++i) {
        Fault fault;
        fault.distance = std::round(uniform(rng, 0.1, 0.9) * plan.length * 10.0) / 10.0;
        fault.kind = rng.bounded(2) == 0 ? FaultKind::Open : FaultKind::Short;
        fault.strength = std::round(uniform(rng, 0.2, 0.7) * 100.0) / 100.0;
        plan.faults.append(fault);
    }
    plan.noise = std::round(uniform(rng, 0.5, 2.5) * 10.0) / 10.0;
    plan.divisor = defaultStepDivisor(range);
    plan.gain = rng.bounded(1, 16);
    plan.offset = rng.bounded(-12, 13);
    plan.propagation = rng.bounded(55, 86);
    plan.waveSeed = rng.generate();
    return plan;
}

// Reads the "waveform" table of a listed record into `plan`.
bool readWaveform(OptionReader &reader, const QJsonValue &value, const QString &prefix,
                  RecordPlan &plan)
{
    if (!value.isObject())
        return reader.fail(prefix, QStringLiteral("expected an object"));
    const QJsonObject object = value.toObject();
    if (!reader.knownKeys(object,
                          {QStringLiteral("range"), QStringLiteral("length"),
                           QStringLiteral("faults"), QStringLiteral("noise"),
                           QStringLiteral("stepDivisor")},
                          prefix))
        return false;

    std::optional<int> rangeCode;
    if (object.contains(QLatin1String("range"))) {
        const QString key = join(prefix, QStringLiteral("range"));
        const QJsonValue range = object.value(QLatin1String("range"));
        const int code = range.isDouble() && range.toDouble() == std::floor(range.toDouble())
                             ? protocol::rangeCodeFor(quint32(std::max(0.0, range.toDouble())))
                             : -1;
        if (code < 0)
            return reader.fail(key, QStringLiteral("expected one of %1").arg(rangeList()));
        rangeCode = code;
    }

    std::optional<double> length;
    if (object.contains(QLatin1String("length"))) {
        const double limit = rangeCode ? protocol::rangeTable[*rangeCode] : 10000.0;
        length = reader.number(object.value(QLatin1String("length")),
                               join(prefix, QStringLiteral("length")), 0, limit, true,
                               QStringLiteral("expected a cable length in metres above 0 and up "
                                              "to %1")
                                   .arg(limit));
        if (!length)
            return false;
    }

    plan.faults.clear();
    double farthest = 0;
    if (object.contains(QLatin1String("faults"))) {
        const QString listKey = join(prefix, QStringLiteral("faults"));
        const QJsonValue faults = object.value(QLatin1String("faults"));
        if (!faults.isArray())
            return reader.fail(listKey, QStringLiteral("expected a list of faults"));
        const QJsonArray list = faults.toArray();
        for (int i = 0; i < list.size(); ++i) {
            const QString faultKey = QStringLiteral("%1[%2]").arg(listKey).arg(i);
            if (!list.at(i).isObject())
                return reader.fail(faultKey, QStringLiteral("expected an object"));
            const QJsonObject entry = list.at(i).toObject();
            if (!reader.knownKeys(entry,
                                  {QStringLiteral("distance"), QStringLiteral("kind"),
                                   QStringLiteral("strength")},
                                  faultKey))
                return false;
            Fault fault;
            const double limit = length      ? *length
                                 : rangeCode ? protocol::rangeTable[*rangeCode]
                                             : 10000.0;
            const QString what =
                length ? QStringLiteral("the cable length") : QStringLiteral("the range");
            const auto distance =
                reader.number(entry.value(QLatin1String("distance")),
                              join(faultKey, QStringLiteral("distance")), 0, limit, false,
                              QStringLiteral("expected a distance in metres from 0 to %1 (%2)")
                                  .arg(what)
                                  .arg(limit));
            if (!distance)
                return false;
            fault.distance = *distance;
            const QJsonValue kind = entry.value(QLatin1String("kind"));
            if (kind == QJsonValue(QStringLiteral("open")))
                fault.kind = FaultKind::Open;
            else if (kind == QJsonValue(QStringLiteral("short")))
                fault.kind = FaultKind::Short;
            else
                return reader.fail(join(faultKey, QStringLiteral("kind")),
                                   QStringLiteral("expected \"open\" or \"short\""));
            if (entry.contains(QLatin1String("strength"))) {
                const auto strength =
                    reader.number(entry.value(QLatin1String("strength")),
                                  join(faultKey, QStringLiteral("strength")), 0, 1, true,
                                  QStringLiteral("expected a number above 0 and at most 1"));
                if (!strength)
                    return false;
                fault.strength = *strength;
            }
            farthest = std::max(farthest, fault.distance);
            plan.faults.append(fault);
        }
    }

    plan.noise = 1.0;
    if (object.contains(QLatin1String("noise"))) {
        const auto noise = reader.number(object.value(QLatin1String("noise")),
                                         join(prefix, QStringLiteral("noise")), 0, kMaxNoise, false,
                                         QStringLiteral("expected a number from 0 to 50"));
        if (!noise)
            return false;
        plan.noise = *noise;
    }

    // Unless told otherwise, the range is the smallest that shows every fault
    // with some cable beyond, and the cable nearly fills it.
    if (!rangeCode)
        rangeCode = length         ? rangeCodeCovering(*length)
                    : farthest > 0 ? rangeCodeCovering(farthest / 0.9)
                                   : 7;
    const double range = protocol::rangeTable[*rangeCode];
    plan.rangeCode = *rangeCode;
    plan.length = length ? *length : std::min(range, std::max(std::round(0.9 * range), farthest));

    plan.divisor = defaultStepDivisor(range);
    if (object.contains(QLatin1String("stepDivisor"))) {
        const auto divisor = reader.integer(
            object.value(QLatin1String("stepDivisor")), join(prefix, QStringLiteral("stepDivisor")),
            1, 255, QStringLiteral("expected a whole number from 1 to 255"));
        if (!divisor)
            return false;
        plan.divisor = int(*divisor);
    }
    return true;
}

// Reads one entry of a "records" list. Fields left out take the values a
// generated record in the same position would have.
bool readRecord(OptionReader &reader, const QJsonValue &value, const QString &prefix, quint32 seed,
                int index, RecordPlan &plan)
{
    if (!value.isObject())
        return reader.fail(prefix, QStringLiteral("expected an object"));
    const QJsonObject object = value.toObject();
    if (!reader.knownKeys(object,
                          {QStringLiteral("number"), QStringLiteral("date"), QStringLiteral("time"),
                           QStringLiteral("waveform")},
                          prefix))
        return false;
    plan = generatedRecord(seed, index);
    if (object.contains(QLatin1String("number"))) {
        const auto number = reader.integer(object.value(QLatin1String("number")),
                                           join(prefix, QStringLiteral("number")), 0, 255,
                                           QStringLiteral("expected a whole number from 0 to 255"));
        if (!number)
            return false;
        plan.number = int(*number);
    }
    if (object.contains(QLatin1String("date"))) {
        const auto date =
            reader.date(object.value(QLatin1String("date")), join(prefix, QStringLiteral("date")));
        if (!date)
            return false;
        plan.date = *date;
    }
    if (object.contains(QLatin1String("time"))) {
        const auto time =
            reader.time(object.value(QLatin1String("time")), join(prefix, QStringLiteral("time")));
        if (!time)
            return false;
        plan.time = *time;
    }
    if (object.contains(QLatin1String("waveform")))
        return readWaveform(reader, object.value(QLatin1String("waveform")),
                            join(prefix, QStringLiteral("waveform")), plan);
    return true;
}

QByteArray buildRecordBlock(const RecordPlan &plan)
{
    // A plain buffer: the optimiser cannot see the size of a QByteArray's
    // storage and warns about the writes below.
    uchar out[protocol::kRecordBlockLength] = {};
    out[0] = quint8(TDRCommand::ReadRecord);
    out[3] = quint8(plan.number);
    out[4] = protocol::bcdEncode(uint(plan.date.year() % 100));
    out[5] = protocol::bcdEncode(uint(plan.date.month()));
    out[6] = protocol::bcdEncode(uint(plan.date.day()));
    out[7] = protocol::bcdEncode(uint(plan.date.dayOfWeek())); // the clock chip's weekday
    out[8] = protocol::bcdEncode(uint(plan.time.hour()));
    out[9] = protocol::bcdEncode(uint(plan.time.minute()));
    out[10] = protocol::bcdEncode(uint(plan.time.second()));
    out[11] = quint8(plan.rangeCode);
    out[12] = quint8(plan.gain);
    out[13] = quint8(plan.offset + 128);

    // The step as the tool stores it (a float), times 100: what an upload of
    // the downloaded file sends back.
    const float step = float(299.7924499511719 / (2.0 * plan.divisor));
    qToLittleEndian<quint16>(quint16(step * 100.0f), out + 14);
    out[16] = quint8(plan.divisor);

    // The tool shows ((value21 - value17) / divisor) / 1000 as the length.
    const quint32 span = quint32(std::lround(plan.length * 1000.0)) * quint32(plan.divisor);
    qToLittleEndian<quint32>(kLengthOrigin, out + 17);
    qToLittleEndian<quint32>(kLengthOrigin + span, out + 21);
    qToLittleEndian<quint32>(quint32(plan.propagation) * quint32(plan.divisor) * 100u, out + 25);
    qToLittleEndian<quint32>(kPulseWidthNs[std::size_t(plan.rangeCode)], out + 29);

    WaveformParams params;
    params.step = distanceStep(plan.divisor);
    params.cableLength = plan.length;
    params.faults = plan.faults;
    params.noise = plan.noise;
    params.seed = plan.waveSeed;
    const QByteArray samples = synthesiseWaveform(params);
    std::copy(samples.cbegin(), samples.cend(), out + 33);
    QByteArray block(reinterpret_cast<const char *>(out), protocol::kRecordBlockLength);
    protocol::sealFrame(block);
    return block;
}

} // namespace

struct EmulatedInstrument::Private
{
    quint8 model = 105;
    QByteArray serial = QByteArrayLiteral("001234");
    QDate version = QDate(2021, 2, 18);
    QMap<int, QByteArray> records; // slot number -> block, command byte 0x40
    quint32 seed = 1;

    Chunking chunking = Chunking::Random;
    int chunkSize = 0;
    QRandomGenerator cutRandom;
    int delayMs = 5;
    int dropEvery = 0;
    int corruptEvery = 0;
    // Command byte of the answers to WriteRecord and SetSerial: an instrument
    // may echo the command or answer with any other byte from 0x43 to 0x46.
    quint8 writeAck = quint8(TDRCommand::WriteRecord);
    quint8 serialAck = quint8(TDRCommand::SetSerial);
    int stray = -1; // byte value, kRandomStray, or none
    int strayCount = 1;
    int garbageFrames = 0;
    int ackDelayMs = -1; // -1: as delayMs
    Stream stream = Stream::None;
    int hangUpAfter = 0;
    QRandomGenerator noiseRandom;
    bool silent = false; // switched off: commands arrive, nothing comes back

    QByteArray pending; // received bytes not yet part of a whole command
    int commands = 0;
    int answersMade = 0; // dropped ones included: the injection counts these
    int answersSent = 0;
    int answersDropped = 0;
    qint64 discarded = 0;

    QByteArray execute(const QByteArray &command);
    void discard(int count)
    {
        pending.remove(0, count);
        discarded += count;
    }
};

QByteArray EmulatedInstrument::Private::execute(const QByteArray &command)
{
    const auto byte = [&command](int i) { return quint8(command.at(i)); };
    switch (TDRCommand(byte(0))) {
    case TDRCommand::GetVersion: {
        QByteArray payload;
        payload.append(char(model));
        payload.append(char(protocol::bcdEncode(uint(version.year() % 100))));
        payload.append(char(protocol::bcdEncode(uint(version.month()))));
        payload.append(char(protocol::bcdEncode(uint(version.day()))));
        payload.append(serial);
        return protocol::buildFrame(TDRCommand::GetVersion, payload);
    }
    case TDRCommand::GetList: {
        QByteArray payload;
        for (const QByteArray &block : qAsConst(records))
            payload.append(block.mid(3, protocol::kRecordEntryLength));
        return protocol::buildFrame(TDRCommand::GetList, payload);
    }
    case TDRCommand::ReadRecord: {
        const QByteArray block = records.value(byte(3));
        if (block.isEmpty()) {
            qCDebug(lcEmulator) << "no record in slot" << byte(3);
            return protocol::buildFrame(TDRCommand::ReadRecord, {});
        }
        return block;
    }
    case TDRCommand::WriteRecord: {
        QByteArray block = command;
        block[0] = char(TDRCommand::ReadRecord);
        protocol::sealFrame(block);
        records.insert(byte(3), block);
        return protocol::buildFrame(TDRCommand(writeAck), {});
    }
    case TDRCommand::SetSerial:
        serial = command.mid(3, 6);
        return protocol::buildFrame(TDRCommand(serialAck), {});
    }
    return {};
}

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

    if (!reader.knownKeys(
            options,
            {QStringLiteral("model"), QStringLiteral("serial"), QStringLiteral("version"),
             QStringLiteral("records"), QStringLiteral("seed"), QStringLiteral("chunk"),
             QStringLiteral("delayMs"), QStringLiteral("dropEvery"), QStringLiteral("corruptEvery"),
             QStringLiteral("writeAck"), QStringLiteral("serialAck"), QStringLiteral("stray"),
             QStringLiteral("strayCount"), QStringLiteral("garbageFrames"),
             QStringLiteral("ackDelayMs"), QStringLiteral("endlessStream"),
             QStringLiteral("hangUpAfter")},
            QString()))
        return failed();

    const auto ackByte = [&](const QString &key, quint8 &target) {
        if (!options.contains(key))
            return true;
        const QString text = options.value(key).toString();
        static const QStringList bytes{QStringLiteral("0x43"), QStringLiteral("0x44"),
                                       QStringLiteral("0x45"), QStringLiteral("0x46")};
        if (text == QLatin1String("echo"))
            return true;
        if (!options.value(key).isString() || !bytes.contains(text))
            return reader.fail(key, QStringLiteral("expected \"echo\", \"0x43\", \"0x44\", "
                                                   "\"0x45\" or \"0x46\""));
        target = quint8(text.mid(2).toUInt(nullptr, 16));
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
                     QStringLiteral("expected a whole number, 0 or more"), d.corruptEvery))
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
                     QStringLiteral("expected a whole number, 0 or more"), d.hangUpAfter))
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
        else if (!reader.fail(QStringLiteral("endlessStream"),
                              QStringLiteral("expected \"lines\" or \"bytes\"")))
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

    const QJsonValue records = options.value(QLatin1String("records"));
    if (records.isUndefined() || records.isDouble()) {
        int count = 12;
        if (!optionalInt(QStringLiteral("records"), 0, kMaxRecords,
                         QStringLiteral("expected a count from 0 to 255 or a list of records"),
                         count))
            return failed();
        for (int i = 0; i < count; ++i) {
            const RecordPlan plan = generatedRecord(d.seed, i);
            d.records.insert(plan.number, buildRecordBlock(plan));
        }
    } else if (records.isArray()) {
        const QJsonArray list = records.toArray();
        for (int i = 0; i < list.size(); ++i) {
            const QString prefix = QStringLiteral("records[%1]").arg(i);
            RecordPlan plan;
            if (!readRecord(reader, list.at(i), prefix, d.seed, i, plan))
                return failed();
            if (d.records.contains(plan.number)) {
                reader.fail(join(prefix, QStringLiteral("number")),
                            QStringLiteral("expected a number no other record uses (%1 is taken)")
                                .arg(plan.number));
                return failed();
            }
            d.records.insert(plan.number, buildRecordBlock(plan));
        }
    } else {
        reader.fail(QStringLiteral("records"),
                    QStringLiteral("expected a count from 0 to 255 or a list of records"));
        return failed();
    }

    qCDebug(lcEmulator) << "instrument" << d.model << d.serial << "with" << d.records.size()
                        << "records";
    return instrument;
}

void EmulatedInstrument::setSilent(bool silent)
{
    d->silent = silent;
}

QList<QByteArray> EmulatedInstrument::receive(const QByteArray &bytes)
{
    QList<QByteArray> answers;
    const QList<Answer> timed = answer(bytes);
    for (const Answer &one : timed)
        answers.append(one.bytes);
    return answers;
}

QList<EmulatedInstrument::Answer> EmulatedInstrument::answer(const QByteArray &bytes)
{
    QList<Answer> answers;
    d->pending.append(bytes);
    while (!d->pending.isEmpty()) {
        const quint8 command = quint8(d->pending.at(0));
        const int expected = expectedLength(command);
        if (expected == 0) {
            d->discard(1);
            continue;
        }
        if (d->pending.size() < 3)
            break;
        const int length = qFromLittleEndian<quint16>(d->pending.constData() + 1);
        if (length != expected) {
            d->discard(1);
            continue;
        }
        if (d->pending.size() < length)
            break;
        const QByteArray frame = d->pending.left(length);
        if (!protocol::frameIsSound(frame)) {
            d->discard(1);
            continue;
        }
        d->pending.remove(0, length);
        ++d->commands;
        QByteArray answer = d->execute(frame);
        if (answer.isEmpty() || d->silent || d->stream != Stream::None)
            continue;
        const bool write = TDRCommand(command) == TDRCommand::WriteRecord ||
                           TDRCommand(command) == TDRCommand::SetSerial;

        const int n = ++d->answersMade;
        if (d->dropEvery > 0 && n % d->dropEvery == 0) {
            ++d->answersDropped;
            qCDebug(lcEmulator) << "dropping answer" << n;
            continue;
        }
        if (d->corruptEvery > 0 && n % d->corruptEvery == 0) {
            answer[answer.size() - 1] = char(quint8(answer.back()) + 1);
            qCDebug(lcEmulator) << "spoiling the checksum of answer" << n;
        }
        ++d->answersSent;
        answers.append({answer, write && d->ackDelayMs >= 0 ? d->ackDelayMs : d->delayMs});
    }
    return answers;
}

QList<QByteArray> EmulatedInstrument::cut(const QByteArray &bare)
{
    QList<QByteArray> pieces;
    if (bare.isEmpty())
        return pieces;
    QByteArray answer;
    if (d->stray >= 0) {
        for (int i = 0; i < d->strayCount; ++i)
            answer.append(char(d->stray == kRandomStray ? d->noiseRandom.bounded(256) : d->stray));
    }
    for (int i = 0; i < d->garbageFrames; ++i) {
        QByteArray garbage =
            protocol::buildFrame(TDRCommand(protocol::kFirstAnswerByte + i % 7), {});
        garbage[3] = char(quint8(garbage.at(3)) + 1);
        answer.append(garbage);
    }
    answer.append(bare);
    if (d->chunking == Chunking::Whole) {
        pieces.append(answer);
        return pieces;
    }
    for (int at = 0; at < answer.size();) {
        const int size = d->chunking == Chunking::Fixed
                             ? d->chunkSize
                             : int(d->cutRandom.bounded(1, kMaxRandomPiece + 1));
        pieces.append(answer.mid(at, size));
        at += size;
    }
    return pieces;
}

int EmulatedInstrument::delayMs() const
{
    return d->delayMs;
}

bool EmulatedInstrument::streaming() const
{
    return d->stream != Stream::None && d->commands > 0;
}

QByteArray EmulatedInstrument::streamPiece()
{
    if (!streaming())
        return {};
    QByteArray piece(kStreamPiece, Qt::Uninitialized);
    for (char &byte : piece) {
        byte = char(d->noiseRandom.bounded(256));
        if (byte == '\n' && d->stream == Stream::Bytes)
            byte = 0;
    }
    if (d->stream == Stream::Lines) {
        for (int at = int(d->noiseRandom.bounded(80)); at < piece.size(); at += 80)
            piece[at] = '\n';
    }
    return piece;
}

int EmulatedInstrument::hangUpAfter() const
{
    return d->hangUpAfter;
}

QString EmulatedInstrument::model() const
{
    return QString::number(d->model);
}

QString EmulatedInstrument::serial() const
{
    return QString::fromLatin1(d->serial);
}

QList<int> EmulatedInstrument::recordNumbers() const
{
    return d->records.keys();
}

QByteArray EmulatedInstrument::recordBlock(int number) const
{
    return d->records.value(number);
}

int EmulatedInstrument::commandsReceived() const
{
    return d->commands;
}

int EmulatedInstrument::answersSent() const
{
    return d->answersSent;
}

int EmulatedInstrument::answersDropped() const
{
    return d->answersDropped;
}

qint64 EmulatedInstrument::bytesDiscarded() const
{
    return d->discarded;
}

} // namespace emu
