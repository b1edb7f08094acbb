// SPDX-License-Identifier: GPL-3.0-or-later
#include "bluetooth/emulator/cablemodel.h"
#include "bluetooth/emulator/waveform.h"
#include "protocol/tdrrecord.h"

#include <QRandomGenerator>

#include <cmath>

namespace emu {

namespace {

struct Draw
{
    QRandomGenerator rng;
    double uniform(double low, double high) { return low + (high - low) * rng.generateDouble(); }
    bool chance(double share) { return rng.generateDouble() < share; }
    double sign() { return chance(0.5) ? 1.0 : -1.0; }
};

// A range as technicians choose it, its step, a far end and some faults;
// `minorShare` of the faults are splices and wet sections.
void drawCableLayout(Draw &d, CableParams &p, bool faultFree, double minorShare)
{
    const double range = protocol::rangeTable[std::size_t(d.rng.bounded(2, 11))];
    p.step = distanceStep(defaultStepDivisor(range));
    const double span = p.samples * p.step;
    const double endDraw = d.rng.generateDouble();
    p.end = endDraw < 0.4 ? FarEnd::Open : endDraw < 0.75 ? FarEnd::Short : FarEnd::Beyond;
    p.length = p.end == FarEnd::Beyond ? 0.0 : d.uniform(0.25, 0.92) * span;
    const double reach = p.end == FarEnd::Beyond ? span : p.length;
    const int faults = faultFree ? 0 : int(d.rng.bounded(1, 4));
    for (int i = 0; i < faults; ++i) {
        Discontinuity fault;
        fault.distance = d.uniform(0.05, 0.95) * reach;
        const bool minor = d.chance(minorShare);
        fault.reflection = d.sign() * (minor ? d.uniform(0.03, kMinorReflection)
                                             : d.uniform(kMinorReflection, 0.7));
        if (d.chance(0.2))
            fault.section = d.uniform(0.5, 3.0) * p.step;
        p.faults.append(fault);
    }
}

} // namespace

CableParams textbookCable(quint32 seed, bool faultFree)
{
    Draw d{QRandomGenerator(seed)};
    CableParams p;
    p.seed = d.rng.generate();
    p.launchTime = d.uniform(0.6, 2.5);
    p.launchHeight = (d.chance(0.75) ? 1 : -1) * d.uniform(60, 110);
    p.launchWidth = d.uniform(1.0, 4.0);
    p.riseTime = d.uniform(0.2, 0.8);
    p.noise = d.uniform(0.2, 1.5);
    drawCableLayout(d, p, faultFree, 0.15);
    p.attenuation = d.uniform(0.0, 0.3) / p.samples;
    return p;
}

CableParams realisticCable(quint32 seed, bool faultFree)
{
    Draw d{QRandomGenerator(seed)};
    CableParams p;
    p.seed = d.rng.generate();
    p.launchTime = d.uniform(0.6, 3.0);
    p.launchHeight = (d.chance(0.7) ? 1 : -1) * d.uniform(50, 170);
    p.launchWidth = d.uniform(0.5, 6.0);
    p.riseTime = d.uniform(0.5, 3.0);
    p.rounded = d.chance(0.4);
    if (d.chance(0.4)) {
        p.tailShare = d.uniform(0.05, 0.3);
        p.tailTime = d.uniform(5, 40);
    }
    p.sourceReflection = d.uniform(-0.3, 0.3);
    p.baseline = d.uniform(60, 200);
    p.tilt = d.uniform(-20, 20) / p.samples;
    p.drift = d.uniform(0, 5);
    if (d.chance(0.5))
        p.acTime = d.uniform(40, 400);
    p.noise = 0.2 * std::pow(20.0, d.rng.generateDouble());
    drawCableLayout(d, p, faultFree, 0.3);
    p.attenuation = d.uniform(0.1, 1.2) / p.samples;
    p.dispersion = d.uniform(0.0, 4.0) / p.samples;
    return p;
}

} // namespace emu
