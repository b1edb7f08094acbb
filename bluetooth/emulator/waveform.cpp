#include "bluetooth/emulator/waveform.h"

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

QByteArray synthesiseWaveform(const WaveformParams &params)
{
    std::array<double, kWaveformSamples> trace;
    const double step = params.step > 0 ? params.step : 1.0;

    // Baseline with the slowly dying tail of the launch pulse.
    for (int i = 0; i < kWaveformSamples; ++i)
        trace[i] = kWaveformBaseline - 2.0 + 16.0 * std::exp(-i / 22.0);
    for (std::size_t i = 0; i < kLaunch.size(); ++i)
        trace[i] += kLaunch[i];

    struct Event
    {
        double distance;
        double sign;
        double strength;
    };
    QList<Event> events;
    for (const Fault &fault : params.faults)
        events.append({fault.distance, fault.kind == FaultKind::Open ? 1.0 : -1.0,
                       std::clamp(fault.strength, 0.0, 1.0)});
    if (params.cableLength > 0)
        events.append({params.cableLength, 1.0, 0.9});
    std::stable_sort(events.begin(), events.end(),
                     [](const Event &a, const Event &b) { return a.distance < b.distance; });

    // Each event reflects its share of what reaches it; the rest goes on. The
    // pulse loses height and spreads out the further it travels.
    double transmitted = 1.0;
    for (const Event &event : events) {
        const double centre = event.distance / step;
        const double travelled = centre / kWaveformSamples;
        const double amplitude = event.sign * event.strength * transmitted * kReflectionScale *
                                 std::exp(-1.1 * travelled);
        const double width = 0.9 + 2.2 * travelled;
        const int from = std::max(0, int(std::floor(centre - 4 * width)));
        const int to = std::min(kWaveformSamples - 1, int(std::ceil(centre + 6 * width)));
        for (int i = from; i <= to; ++i) {
            const double x = (i - centre) / width;
            // A slightly asymmetric pulse: sharp front, a little overshoot behind.
            trace[i] += amplitude *
                        (std::exp(-0.5 * x * x) - 0.12 * std::exp(-0.5 * (x - 2.5) * (x - 2.5)));
        }
        transmitted *= 1.0 - event.strength;
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

} // namespace emu
