// SPDX-License-Identifier: GPL-3.0-or-later
#include "bluetooth/emulator/waveform.h"

#include "protocol/frame.h"
#include "protocol/tdrrecord.h"

#include <QRandomGenerator>

#include <algorithm>
#include <array>
#include <cmath>

namespace emu {

namespace {

constexpr double kHalfLightSpeed = 299.79245;
constexpr double kPi = 3.14159265358979323846;

// Divisors whose step does not survive the float arithmetic of an upload.
constexpr std::array<int, 10> kUnstableDivisors{15, 30, 60, 113, 120, 221, 226, 235, 240, 245};

// The launch pulse relative to the baseline, sample by sample: a sharp rise,
// an undershoot that reaches kUndershootValue, then a quick recovery.
constexpr std::array<double, 10> kLaunch{70, 100, 58, -130, -72, -35, -17, -8, -4, -1};
constexpr int kUndershootValue = 0x0A;

// Largest reflection, in sample units, of a full-strength event at distance 0.
constexpr double kReflectionScale = 100.0;

double gaussian(QRandomGenerator &rng)
{
    // Box-Muller; QRandomGenerator's doubles are the same on every platform.
    double u1 = rng.generateDouble();
    while (u1 <= 1e-12)
        u1 = rng.generateDouble();
    const double u2 = rng.generateDouble();
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * kPi * u2);
}

} // namespace

double distanceStep(int stepDivisor)
{
    return kHalfLightSpeed / (2.0 * std::max(stepDivisor, 1));
}

int defaultStepDivisor(double range)
{
    const double coverage = kWaveformSamples * kHalfLightSpeed / 2.0;
    int divisor = range > 0 ? int(std::floor(coverage / range)) : 255;
    divisor = std::clamp(divisor, 1, 255);
    while (divisor > 1 && std::find(kUnstableDivisors.cbegin(), kUnstableDivisors.cend(),
                                    divisor) != kUnstableDivisors.cend())
        --divisor;
    return divisor;
}

QList<PlantedEvent> plantedEvents(const WaveformParams &params)
{
    const double step = params.step > 0 ? params.step : 1.0;
    struct Event
    {
        double distance;
        double sign;
        double strength;
        bool end;
    };
    QList<Event> events;
    for (const Fault &fault : params.faults)
        events.append({fault.distance, fault.kind == FaultKind::Open ? 1.0 : -1.0,
                       std::clamp(fault.strength, 0.0, 1.0), false});
    if (params.cableLength > 0)
        events.append({params.cableLength, 1.0, 0.9, true});
    std::stable_sort(events.begin(), events.end(),
                     [](const Event &a, const Event &b) { return a.distance < b.distance; });

    // Each event reflects its share of what reaches it; the rest goes on. The
    // pulse loses height and spreads out the further it travels.
    QList<PlantedEvent> planted;
    double transmitted = 1.0;
    for (const Event &event : events) {
        const double travelled = event.distance / step / kWaveformSamples;
        PlantedEvent p;
        p.distance = event.distance;
        p.height = event.sign * event.strength * transmitted * kReflectionScale *
                   std::exp(-1.1 * travelled);
        p.width = 0.9 + 2.2 * travelled;
        p.cableEnd = event.end;
        planted.append(p);
        transmitted *= 1.0 - event.strength;
    }
    return planted;
}

QByteArray synthesiseWaveform(const WaveformParams &params)
{
    std::array<double, kWaveformSamples> trace;
    const double step = params.step > 0 ? params.step : 1.0;

    // Baseline with the slowly dying tail of the launch pulse.
    for (int i = 0; i < kWaveformSamples; ++i)
        trace[i] = kWaveformBaseline - 2.0 + 16.0 * std::exp(-i / 22.0);
    for (std::size_t i = 0; i < kLaunch.size(); ++i)
        trace[i] += kLaunch[i];

    for (const PlantedEvent &event : plantedEvents(params)) {
        const double centre = event.distance / step - 1; // see the header
        const double width = event.width;
        const int from = std::max(0, int(std::floor(centre - 4 * width)));
        const int to = std::min(kWaveformSamples - 1, int(std::ceil(centre + 6 * width)));
        for (int i = from; i <= to; ++i) {
            const double x = (i - centre) / width;
            // A slightly asymmetric pulse: sharp front, a little overshoot behind.
            trace[i] += event.height *
                        (std::exp(-0.5 * x * x) - 0.12 * std::exp(-0.5 * (x - 2.5) * (x - 2.5)));
        }
    }

    QRandomGenerator rng(params.seed);
    const double noise = std::max(0.0, params.noise);
    for (double &value : trace)
        value += noise * gaussian(rng);

    QByteArray samples(kWaveformSamples, '\0');
    for (int i = 0; i < kWaveformSamples; ++i)
        samples[i] = char(std::clamp(int(std::lround(trace[i])), 0, 255));

    // The undershoot is where the trace passes through 0x0A and climbs straight
    // into 0x40..0x46; noise must not smear that away.
    samples[kUndershootSample] = char(kUndershootValue);
    samples[kUndershootSample + 1] = char(0x40 + int(params.seed % 7));
    return samples;
}

QByteArray downloadedImage(const WaveformParams &params)
{
    QByteArray block(protocol::kRecordBlockLength, '\0');
    block[0] = char(TDRCommand::ReadRecord);
    block[16] = char(std::lround(kHalfLightSpeed / (2.0 * params.step)));
    const QByteArray samples = synthesiseWaveform(params);
    block.replace(33, samples.size(), samples);
    TDRRecord record = protocol::emptyRecord();
    protocol::applyRecordBlock(record, block);
    return protocol::recordBytes(record);
}

protocol::Trace downloadedTrace(const WaveformParams &params)
{
    return protocol::readTrace(downloadedImage(params), QStringLiteral("emulated.tdr")).trace;
}

WaveformParams randomWaveform(quint32 seed)
{
    QRandomGenerator rng(seed);
    const auto uniform = [&rng](double low, double high) {
        return low + (high - low) * rng.generateDouble();
    };
    const double range = protocol::rangeTable[std::size_t(rng.bounded(2, 11))];
    WaveformParams params;
    params.seed = rng.generate();
    params.step = distanceStep(defaultStepDivisor(range));
    params.noise = uniform(0.3, 4.0);
    if (rng.bounded(5) != 0)
        params.cableLength = uniform(0.35, 0.95) * range;
    const double span = params.cableLength > 0 ? params.cableLength : range;
    const int faults = rng.bounded(10) < 3 ? 0 : rng.bounded(1, 4);
    for (int i = 0; i < faults; ++i) {
        Fault fault;
        fault.distance = uniform(0.05, 0.95) * span;
        fault.kind = rng.bounded(2) == 0 ? FaultKind::Open : FaultKind::Short;
        fault.strength = uniform(0.03, 0.8);
        params.faults.append(fault);
    }
    return params;
}

bool isDetectable(const QList<PlantedEvent> &planted, int index, const WaveformParams &params)
{
    const PlantedEvent &event = planted.at(index);
    const double step = params.step > 0 ? params.step : 1.0;
    const double position = event.distance / step;
    if (std::abs(event.height) < std::max(5.0, kDetectableSigmas * params.noise))
        return false;
    if (position < 16 || position > kWaveformSamples - 3)
        return false;
    for (int i = 0; i < planted.size(); ++i) {
        const PlantedEvent &other = planted.at(i);
        const double apart = std::abs(other.distance / step - position);
        if (i != index && std::abs(other.height) >= 2 * params.noise &&
            apart < std::max(12.0, 3 * (event.width + other.width) + 2))
            return false;
    }
    return true;
}

} // namespace emu
