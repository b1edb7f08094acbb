#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>

namespace emu {

enum class FaultKind { Open, Short };

// A point where the cable's impedance changes. `strength` is the share of the
// incoming pulse sent back (1 is a complete break or a dead short); the rest
// travels on and lights up whatever lies further along.
struct Fault
{
    double distance = 0; // metres from the instrument
    FaultKind kind = FaultKind::Open;
    double strength = 0.6;
};

struct WaveformParams
{
    double step = 1.0;      // metres per sample
    double cableLength = 0; // metres; the far end reflects like an open, 0 = no end in view
    QList<Fault> faults;
    double noise = 1.0; // standard deviation of the noise, in sample units
    quint32 seed = 1;
};

constexpr int kWaveformSamples = 249;
constexpr int kWaveformBaseline = 128;
// The launch pulse's undershoot bottoms out here and the next sample recovers
// into 0x40..0x46: every trace therefore holds 0x0A and 0x0A followed by a
// byte that looks like the start of a frame.
constexpr int kUndershootSample = 3;

// Metres per sample for a step divisor (1..255), as the instrument defines it.
double distanceStep(int stepDivisor);
// The largest divisor up to 255 whose 249 samples still cover `range` metres,
// avoiding the few divisors that a single-precision round trip cannot carry.
int defaultStepDivisor(double range);

// A reflectogram: 249 sample bytes, a pure function of the parameters.
// Sample i shows what lies i * step metres down the cable.
QByteArray synthesiseWaveform(const WaveformParams &params);

} // namespace emu
