// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bluetooth/emulator/cablemodel.h"
#include "protocol/trace.h"

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
constexpr int kWaveformBaseline = 126;
// Where the launch pulse leaves the baseline, in instrument samples.
constexpr double kLaunchTime = 0.85;
// The launch pulse's undershoot bottoms out at 0x0A here and the next sample
// recovers into 0x40..0x46.
constexpr int kUndershootSample = 3;

// Metres per sample for a step divisor (1..255), as the instrument defines it.
double distanceStep(int stepDivisor);
// The largest divisor up to 255 whose 249 samples still cover `range` metres,
// avoiding the few divisors that a single-precision round trip cannot carry.
int defaultStepDivisor(double range);

// A reflectogram: 249 sample bytes, a pure function of the parameters. A
// record file stores sample k at position k + 1 (the first sample goes in
// twice), and positions are i * step apart: the launch pulse leaves the
// baseline at (kLaunchTime + 1) * step on a file's distance axis, and a fault
// d metres down the cable starts that much further along.
QByteArray synthesiseWaveform(const WaveformParams &params);

// The file a download of this waveform writes (without an identity), and
// the trace it shows; `params.step` must be the step of a divisor.
QByteArray downloadedImage(const WaveformParams &params);
protocol::Trace downloadedTrace(const WaveformParams &params);

// The cable the emulated instrument measures for these parameters: its
// own launch pulse and receiver, the faults as impedance steps, an open far
// end at `cableLength` or none in view.
CableParams cableFor(const WaveformParams &params);

} // namespace emu
