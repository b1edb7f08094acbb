// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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

// A reflection as the generator draws it. `distance` is where its peak lies
// on the trace as a record file places it; `height` is the peak's signed
// size in sample units before noise, `width` the pulse's standard deviation
// in samples. The cable end comes last, with `cableEnd` set.
struct PlantedEvent
{
    double distance = 0;
    double height = 0;
    double width = 0;
    bool cableEnd = false;
};
QList<PlantedEvent> plantedEvents(const WaveformParams &params);

// A reflectogram: 249 sample bytes, a pure function of the parameters.
// A record file stores sample k at position k + 1 (the first sample goes in
// twice), and positions are i * step apart: sample k therefore shows what
// lies (k + 1) * step metres down the cable, and an event planted at d
// peaks at d on the trace.
QByteArray synthesiseWaveform(const WaveformParams &params);

// The file a download of this waveform writes (without an identity), and
// the trace it shows; `params.step` must be the step of a divisor.
QByteArray downloadedImage(const WaveformParams &params);
protocol::Trace downloadedTrace(const WaveformParams &params);

// A trace such as a field instrument records, drawn from `seed`: a range of
// 30 m to 5 km, mostly a cable end in view, none to three faults of any
// kind and size, noise from 0.3 to 4 sample units.
WaveformParams randomWaveform(quint32 seed);

// The line below which nobody can be expected to find a planted event: its
// peak must stand kDetectableSigmas noise deviations (and 5 levels) out of
// the baseline, past the launch pulse and clear of its neighbours.
constexpr double kDetectableSigmas = 8.0;
bool isDetectable(const QList<PlantedEvent> &planted, int index, const WaveformParams &params);

} // namespace emu
