// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QVector>

// The signal work behind event detection: noise, a baseline that follows the
// cable, and where an edge leaves the baseline. Positions are in samples.
namespace protocol::signal {

double median(QVector<double> values);

// Standard deviation of the noise from sample-to-sample differences from
// `from` on, which a slow baseline does not disturb.
double noiseOf(const QVector<double> &y, int from);

// The level the trace would have at `i` without reflections, from the
// unmasked samples of a window around it that starts no earlier than `first`.
double baselineAt(const QVector<double> &y, const QVector<bool> &masked, int i, int first);

// A reflection's leading edge, in a signal `r` that is positive-going and
// measured from its baseline, with its top at `top` and nothing of it before
// `first`.
struct Edge
{
    double toe = 0;      // where the edge leaves the baseline
    double slope = 0;    // levels per sample on the edge
    double halfUp = 0;   // where the edge passes half the height
    double halfDown = 0; // where the fall behind the top passes it again
    double peak = 0;     // the top, between samples
};
Edge edgeOf(const QVector<double> &r, int top, int first);

} // namespace protocol::signal
