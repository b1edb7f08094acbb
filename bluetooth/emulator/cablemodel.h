// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QVector>
#include <QtGlobal>

namespace emu {

// A pulse reflectometer on a cable, from the physics of a pulse on a line.
// Time runs in instrument samples: a sample lasts as long as the pulse needs
// to go one distance step out and back. The instrument emits its pulse; every
// change of impedance along the line sends back a copy scaled by its
// reflection coefficient and by what the earlier changes let through both
// ways; the line attenuates, and it spreads the pulse with distance through a
// causal loss, so a reflection still starts where its discontinuity lies. The
// returns bounce again between the discontinuities and off the instrument's
// own mismatch. The receiver adds its baseline (offset, tilt, slow drift, AC
// coupling), noise, and rounds to bytes with clipping at 0 and 255.

// An impedance step, or a short section that steps back at its far side.
struct Discontinuity
{
    double distance = 0;   // metres from the instrument
    double reflection = 0; // -1..1, seen from the instrument's side
    double section = 0;    // metres: > 0 for a section that ends after this long
};

enum class FarEnd { Open, Short, Beyond };

struct CableParams
{
    double step = 1.0; // metres per sample
    int samples = 249;

    // The launch pulse: where it leaves the baseline (instrument samples), its
    // signed height (levels), its width from toe to the start of its fall, its
    // 0..100 % rise, rounded or flat-topped, and an exponential tail.
    double launchTime = 1.0;
    double launchHeight = 100;
    double launchWidth = 2.0;
    double riseTime = 0.6;
    bool rounded = false;
    double tailShare = 0;
    double tailTime = 10;
    double sourceReflection = 0; // the instrument's own mismatch

    // The cable: its far end at `length` metres unless it runs beyond the trace.
    QList<Discontinuity> faults;
    double length = 0;
    FarEnd end = FarEnd::Open;
    double attenuation = 0; // nepers per sample of round trip
    double dispersion = 0;  // spread time constant, samples per sample of round trip

    // The receiver.
    double baseline = 128;
    double tilt = 0;    // levels per sample
    double drift = 0;   // levels, a slow wave over the trace
    double acTime = 0;  // samples; 0 is DC coupling
    double noise = 1.0; // standard deviation, levels
    quint32 seed = 1;
};

// What lies in the cable, as an honest reader of the trace should report it.
struct TruthEvent
{
    double distance = 0; // metres: where the reflection leaves the baseline
    double reflection = 0;
    bool end = false;        // the far end
    bool detectable = false; // see kDetectableSigmas
    double peak = 0;         // levels: the reflection's size on a clean trace
};

struct CableTrace
{
    QByteArray samples; // the instrument's samples, in its order
    QVector<TruthEvent> events;
    QVector<double> multiples; // metres, where echoes of the events arrive
    double launchToe = 0;      // instrument samples
};

// A reflection is detectable when, drawn alone on a clean trace, it stands
// kDetectableSigmas noise deviations (and kDetectableLevels) off the
// baseline, starts kClearSamples after the launch pulse and before the trace
// ends, and no other reflection or echo of a quarter of its size or more
// starts within its own length plus kClearSamples.
constexpr double kDetectableSigmas = 8.0;
constexpr double kDetectableLevels = 5.0;
constexpr double kClearSamples = 4.0;
// A reflection coefficient below this is a splice or a wet section.
constexpr double kMinorReflection = 0.1;

CableTrace drawCable(const CableParams &params);

// Corpora: sharp textbook traces, and traces with the rounded pulses, tilt,
// coupling, clipping and spreading of real cables. `faultFree` leaves only
// the far end.
CableParams textbookCable(quint32 seed, bool faultFree = false);
CableParams realisticCable(quint32 seed, bool faultFree = false);

} // namespace emu
