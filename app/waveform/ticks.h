// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// 1, 2 or 5 times a power of ten, giving about `ticks` intervals over `span`.
double niceInterval(double span, int ticks);

// The distance between labelled ticks over `span` metres drawn `width`
// pixels wide: 1, 2 or 5 times a power of ten, at most ten intervals, and
// wide enough that every label of `labelWidth` pixels fits its share of
// the axis with a gap, so that none is elided or overlaps another.
double distanceTickInterval(double span, double width, double labelWidth);

// The decimals a tick label needs at that interval.
int decimalsFor(double interval);
