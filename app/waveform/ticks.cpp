// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/waveform/ticks.h"

#include <QtGlobal>

#include <cmath>

namespace {

// The smallest of 1, 2 or 5 times a power of ten that is at least `raw`.
double niceCeiling(double raw)
{
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double fraction = raw / magnitude;
    constexpr double slack = 1e-9; // 500 stays 500 despite rounding
    const double nice = fraction <= 1 + slack   ? 1
                        : fraction <= 2 + slack ? 2
                        : fraction <= 5 + slack ? 5
                                                : 10;
    return nice * magnitude;
}

} // namespace

double niceInterval(double span, int ticks)
{
    if (!(span > 0))
        return 1;
    const double raw = span / ticks;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double fraction = raw / magnitude;
    const double nice = fraction < 1.5 ? 1 : fraction < 3.5 ? 2 : fraction < 7.5 ? 5 : 10;
    return nice * magnitude;
}

double distanceTickInterval(double span, double width, double labelWidth)
{
    if (!(span > 0))
        return 1;
    // The axis gives each of its labels an equal share of its width and
    // elides a label wider than that; a gap keeps neighbours apart.
    constexpr double gap = 14;
    constexpr int mostIntervals = 10;
    const int fitting = int(width / (labelWidth + gap)) - 1; // ticks are intervals + 1
    return niceCeiling(span / qBound(1, fitting, mostIntervals));
}

int decimalsFor(double interval)
{
    return interval >= 1 ? 0 : interval >= 0.1 ? 1 : 2;
}
