// SPDX-License-Identifier: GPL-3.0-or-later
#include "bluetooth/emulator/recordplan.h"

#include "bluetooth/emulator/optionreader.h"
#include "bluetooth/emulator/waveform.h"
#include "protocol/frame.h"
#include "protocol/tdrcommand.h"

#include <QDate>
#include <QJsonArray>
#include <QStringList>
#include <QTime>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

namespace emu {

namespace {

constexpr int kMaxRecords = 255;
constexpr double kMaxNoise = 50.0;
// A fixed origin for the length counters; only their difference matters.
constexpr quint32 kLengthOrigin = 1000;

// Pulse widths in nanoseconds the instrument would pick for each range.
constexpr std::array<quint32, 12> kPulseWidthNs{2, 2, 5, 5, 10, 20, 50, 100, 200, 500, 1000, 2000};

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

QString rangeList()
{
    QStringList values;
    for (const quint16 range : protocol::rangeTable)
        values.append(QString::number(range));
    return values.join(QLatin1String(", "));
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

QRandomGenerator generatorFor(quint32 seed, quint32 stream, quint32 index)
{
    const quint32 seeds[] = {seed, stream, index};
    return QRandomGenerator(seeds, 3);
}

bool readRecords(OptionReader &reader, const QJsonValue &records, quint32 seed,
                 QMap<int, QByteArray> &blocks)
{
    if (records.isUndefined() || records.isDouble()) {
        int count = 12;
        if (!records.isUndefined()) {
            const auto value = reader.integer(
                records, QStringLiteral("records"), 0, kMaxRecords,
                QStringLiteral("expected a count from 0 to 255 or a list of records"));
            if (!value)
                return false;
            count = int(*value);
        }
        for (int i = 0; i < count; ++i) {
            const RecordPlan plan = generatedRecord(seed, i);
            blocks.insert(plan.number, buildRecordBlock(plan));
        }
    } else if (records.isArray()) {
        const QJsonArray list = records.toArray();
        for (int i = 0; i < list.size(); ++i) {
            const QString prefix = QStringLiteral("records[%1]").arg(i);
            RecordPlan plan;
            if (!readRecord(reader, list.at(i), prefix, seed, i, plan))
                return false;
            if (blocks.contains(plan.number)) {
                return reader.fail(
                    join(prefix, QStringLiteral("number")),
                    QStringLiteral("expected a number no other record uses (%1 is taken)")
                        .arg(plan.number));
            }
            blocks.insert(plan.number, buildRecordBlock(plan));
        }
    } else {
        return reader.fail(QStringLiteral("records"),
                           QStringLiteral("expected a count from 0 to 255 or a list of records"));
    }
    return true;
}

} // namespace emu
