// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/eventsignal.h"

#include <algorithm>
#include <cmath>

namespace protocol::signal {

namespace {

// A byte cannot tell levels apart closer than this, whatever the noise.
constexpr double kNoiseFloor = 0.5;
// The baseline is drawn through a window of samples around each point:
// wide enough to look through a reflection, narrow enough to follow the
// launch pulse's dying tail. Reflections widen with distance, and the tail
// bends most near the start, so the window grows along the trace.
int baselineHalfWidth(int i)
{
    return std::clamp(4 + i / 8, 6, 15);
}

} // namespace

double median(QVector<double> values)
{
    if (values.isEmpty())
        return 0;
    const int mid = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + mid, values.end());
    return values.at(mid);
}

// Standard deviation of the noise from sample-to-sample differences, which
// a slow baseline does not disturb. The largest fifth of them is left out,
// so reflections do not count, and the rest corrected for the cut: a median
// alone would move in whole levels on a trace of bytes.
double noiseOf(const QVector<double> &y, int from)
{
    QVector<double> squares;
    for (int i = from; i + 1 < y.size(); ++i)
        squares.append((y.at(i + 1) - y.at(i)) * (y.at(i + 1) - y.at(i)));
    if (squares.isEmpty())
        return kNoiseFloor;
    std::sort(squares.begin(), squares.end());
    const int kept = std::max(1, int(squares.size() * 0.8));
    double sum = 0;
    for (int i = 0; i < kept; ++i)
        sum += squares.at(i);
    // A normal variable's lower 80 % of |z| has a mean square of 0.4377.
    const double differenceVariance = sum / kept / 0.4377;
    return std::max(kNoiseFloor, std::sqrt(differenceVariance / 2));
}

// The level the trace would have at `i` without reflections: a line through
// the medians of the two halves of a window around it, so that a sloping
// baseline is followed at the edges as well as in the middle. Masked samples
// (reflections already found) take no part.
double baselineAt(const QVector<double> &y, const QVector<bool> &masked, int i, int first)
{
    const int from = std::max(first, i - baselineHalfWidth(i));
    const int to = std::min(int(y.size()) - 1, i + baselineHalfWidth(i));
    QVector<double> left, right, all;
    double leftSum = 0, rightSum = 0;
    for (int k = from; k <= to; ++k) {
        if (masked.at(k))
            continue;
        all.append(y.at(k));
        if (k < i) {
            left.append(y.at(k));
            leftSum += k;
        } else if (k > i) {
            right.append(y.at(k));
            rightSum += k;
        }
    }
    if (left.size() < 3 || right.size() < 3) {
        if (all.size() >= 3)
            return median(all);
        // Too little left unmasked: draw the line from the whole window.
        return median(y.mid(from, to - from + 1));
    }
    const double leftCentre = leftSum / left.size();
    const double rightCentre = rightSum / right.size();
    const double a = median(left);
    const double b = median(right);
    return a + (b - a) * (i - leftCentre) / (rightCentre - leftCentre);
}

Edge edgeOf(const QVector<double> &r, int top, int first)
{
    const int n = r.size();
    Edge edge;
    // The rise: back from the top for as long as the edge still falls away.
    // A flat or clipped top counts from where it begins.
    const double highest = r.at(top);
    while (top - 1 >= first && r.at(top - 1) >= 0.9 * highest)
        --top;
    const double h = r.at(top);
    int start = top;
    while (start - 1 >= first && r.at(start - 1) > 0.1 * h &&
           r.at(start - 1) <= r.at(start) + 0.1 * h)
        --start;
    int below = start; // the last sample under half the height
    for (int k = top; k >= start; --k)
        if (r.at(k) < 0.5 * h) {
            below = k;
            break;
        }
    if (below == start && r.at(start) >= 0.5 * h)
        below = std::max(first, start - 1);
    const int above = std::min(top, below + 1);
    const double rise = r.at(above) - r.at(below);
    edge.halfUp = rise > 0 ? below + (0.5 * h - r.at(below)) / rise : double(above);

    // The rule: the line through the edge between 20 % and 80 % of the height
    // (or, on an edge too sharp for that, through the two samples around
    // half of it), carried down to the baseline.
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    int count = 0;
    const auto add = [&](int k) {
        sx += k;
        sy += r.at(k);
        sxx += double(k) * k;
        sxy += k * r.at(k);
        ++count;
    };
    for (int k = start; k <= top; ++k)
        if (r.at(k) >= 0.2 * h && r.at(k) <= 0.8 * h)
            add(k);
    if (count < 2) {
        sx = sy = sxx = sxy = 0;
        count = 0;
        add(below);
        add(above);
    }
    const double spread = count * sxx - sx * sx;
    edge.slope = spread > 0 ? (count * sxy - sx * sy) / spread : 0.0;
    if (edge.slope > 1e-9) {
        edge.toe = (sx - sy / edge.slope) / count;
    } else {
        edge.slope = std::max(rise, 1e-9);
        edge.toe = below;
    }
    edge.toe = std::clamp(edge.toe, start - 1.5, double(top));

    int fall = top + 1;
    while (fall < n && r.at(fall) >= 0.5 * h)
        ++fall;
    edge.halfDown =
        fall < n ? fall - 1 + (r.at(fall - 1) - 0.5 * h) / (r.at(fall - 1) - r.at(fall)) : n - 1.0;
    edge.peak = top;
    if (top > 0 && top + 1 < n) {
        const double curve = r.at(top - 1) - 2 * h + r.at(top + 1);
        if (curve < 0)
            edge.peak += std::clamp((r.at(top - 1) - r.at(top + 1)) / (2 * curve), -0.5, 0.5);
    }
    return edge;
}

} // namespace protocol::signal
