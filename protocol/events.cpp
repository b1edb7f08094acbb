// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/events.h"

#include "protocol/eventsignal.h"
#include "protocol/trace.h"

#include <algorithm>
#include <cmath>

namespace protocol {

using namespace signal;

namespace {

// Deviations this many noise deviations from the baseline are events: on
// 250 samples of Gaussian noise a false one turns up about once in 7,000
// traces.
constexpr double kThresholdSigmas = 5.0;
// The launch pulse starts within the first samples, and a pulse is one only
// when it stands this far out of the noise.
constexpr int kLaunchSearch = 24;
constexpr double kLaunchSigmas = 12.0;
constexpr double kLaunchLevels = 15.0;
// Reflections smaller than this share of the launch are splices and wet
// sections rather than faults.
constexpr double kMinorShare = 0.1;
// A cable end sends back everything that reaches it, less what the cable
// loses on the way out and back, which grows with distance. Near the
// instrument an end reads at least kEndShareNear of what reaches it (the
// reading's own errors allowed for); across the whole trace a cable loses at
// most kTraceLoss nepers out and back, or its end would be lost in the noise.
// A fault sends back a part, so a weaker reflection is no end.
constexpr double kEndShareNear = 0.7;
constexpr double kTraceLoss = 1.7;
// An echo of the end off an earlier reflector is at most the end's height
// times that reflector's share; a reflector too small to read, or hidden
// by a larger one, sends back at most kHiddenShare. The reading's errors
// allow half again.
constexpr double kHiddenShare = 0.3;
constexpr double kEchoAllowance = 1.5;
// What follows a reflection closely in its own direction and this much
// smaller is its tail.
constexpr double kTailShare = 0.3;
// An echo is smaller than the reflection it repeats.
constexpr double kEchoShare = 0.7;

struct Candidate
{
    int top = 0;
    double height = 0; // signed, levels
    int from = 0, to = 0;
    Edge edge;
};

// The runs of samples beyond the threshold, in the residual `r` (the trace
// minus its baseline) from `first` on.
QVector<Candidate> candidatesOf(const QVector<double> &r, int first, double threshold)
{
    const int n = r.size();
    QVector<Candidate> found;
    for (int i = first; i < n;) {
        if (std::abs(r.at(i)) <= threshold) {
            ++i;
            continue;
        }
        const bool up = r.at(i) > 0;
        int top = i;
        int j = i;
        for (; j < n && std::abs(r.at(j)) > threshold && (r.at(j) > 0) == up; ++j)
            if (std::abs(r.at(j)) > std::abs(r.at(top)))
                top = j;
        // A single sample dipping back under the threshold does not split
        // one reflection into two.
        if (!found.isEmpty() && found.constLast().to + 2 >= i &&
            (found.constLast().height > 0) == up) {
            Candidate &last = found.last();
            if (std::abs(r.at(top)) > std::abs(last.height)) {
                last.top = top;
                last.height = r.at(top);
            }
            last.to = j - 1;
        } else {
            found.append({top, r.at(top), i, j - 1, {}});
        }
        i = j;
    }
    return found;
}

QVector<double> residualOf(const QVector<double> &y, const QVector<bool> &masked, int first)
{
    QVector<double> r(y.size(), 0.0);
    for (int i = first; i < y.size(); ++i)
        r[i] = y.at(i) - baselineAt(y, masked, i, first);
    return r;
}

QVector<double> oriented(const QVector<double> &r, double sign)
{
    QVector<double> out(r.size());
    for (int i = 0; i < r.size(); ++i)
        out[i] = sign * r.at(i);
    return out;
}

} // namespace

EventAnalysis detectEvents(const QVector<double> &samples, double step)
{
    EventAnalysis result;
    const int n = samples.size();
    if (n < 2 * kLaunchSearch || !(step > 0) || !std::isfinite(step))
        return result;
    for (const double value : samples)
        if (!std::isfinite(value))
            return result;
    // Sample 0 repeats the instrument's second sample: out of time order.
    QVector<double> y = samples;
    y[0] = y.at(1);

    const double sigma = noiseOf(y, n / 2);
    result.noise = sigma;
    result.threshold = kThresholdSigmas * sigma;

    // The launch pulse, by its shape: it leaves the level the trace starts
    // at, reaches its top within the first samples and comes back down.
    // The pulse is the first swing of at least half the largest one: an
    // undershoot behind it may reach further.
    const double start = y.at(1);
    double largest = 0;
    for (int i = 1; i < kLaunchSearch; ++i)
        largest = std::max(largest, std::abs(y.at(i) - start));
    int top = 1;
    while (top + 1 < kLaunchSearch && std::abs(y.at(top) - start) < 0.5 * largest)
        ++top;
    const double firstSign = y.at(top) >= start ? 1.0 : -1.0;
    while (top + 1 < kLaunchSearch &&
           firstSign * (y.at(top + 1) - start) >= firstSign * (y.at(top) - start))
        ++top;
    const double launchSign = y.at(top) >= start ? 1.0 : -1.0;
    const double launchHeight = std::abs(y.at(top) - start);
    QVector<double> launch(n);
    for (int i = 0; i < n; ++i)
        launch[i] = launchSign * (y.at(i) - start);
    // A clipped top is flat: the top is where the flat begins.
    while (top > 1 && launch.at(top - 1) >= launch.at(top))
        --top;
    const Edge launchEdge = edgeOf(launch, top, 1);
    const bool returns = launchEdge.halfDown < n - 1.0;
    result.launchFound = launchHeight >= std::max(kLaunchSigmas * sigma, kLaunchLevels) && returns;
    int first = 1;
    if (result.launchFound) {
        result.launchHeight = launchHeight;
        result.launchToe = launchEdge.toe * step;
        // The fall lasts about as long as the rise; then the trace must stop
        // moving faster than noise does, two differences in a row.
        first = int(std::ceil(launchEdge.halfDown + (launchEdge.halfUp - launchEdge.toe))) + 1;
        const double calm = result.threshold * std::sqrt(2.0);
        while (first + 2 < n && (std::abs(y.at(first + 1) - y.at(first)) > calm ||
                                 std::abs(y.at(first + 2) - y.at(first + 1)) > calm))
            ++first;
        first = std::min(first, n - 1);
        // Whatever of the pulse still stands out of the baseline belongs to it.
        const QVector<double> r = residualOf(y, QVector<bool>(n, false), first);
        while (first + 1 < n && std::abs(r.at(first)) > result.threshold)
            ++first;
    }
    result.launchEnd = first * step;
    const double launchWidth = result.launchFound ? launchEdge.halfDown - launchEdge.toe : 2.0;

    // Reflections pull a baseline drawn through them; the second look draws
    // it around the first look's reflections.
    QVector<bool> masked(n, false);
    for (const Candidate &c :
         candidatesOf(residualOf(y, masked, first), first + 1, result.threshold)) {
        const int margin = c.to - c.from + 2;
        for (int k = std::max(0, c.from - margin); k <= std::min(n - 1, c.to + 2 * margin); ++k)
            masked[k] = true;
    }
    const QVector<double> r = residualOf(y, masked, first);
    QVector<Candidate> candidates = candidatesOf(r, first + 1, result.threshold);

    // A reflection is followed by its own opposite swing: the far side of a
    // short section, an overshoot, the coupling's undershoot. One event.
    QVector<Candidate> kept;
    int floorIndex = first;
    const double launchTail = first + 2 * launchWidth + 4;
    for (Candidate c : candidates) {
        const double sign = c.height > 0 ? 1.0 : -1.0;
        c.edge = edgeOf(oriented(r, sign), c.top, std::max(floorIndex, c.from - 6));
        // So does the launch's, and the baseline is drawn from behind it.
        if (result.launchFound && sign == launchSign && c.from <= launchTail &&
            std::abs(c.height) < kMinorShare * result.launchHeight)
            continue;
        if (!kept.isEmpty()) {
            const Candidate &before = kept.constLast();
            const double reach =
                before.edge.halfDown + (before.edge.halfUp - before.edge.toe) + launchWidth + 3;
            if ((before.height > 0) != (c.height > 0) && c.edge.toe < reach &&
                std::abs(c.height) < 1.2 * std::abs(before.height))
                continue;
            // A strong reflection's tail recovers slowly, and the baseline,
            // drawn around the reflection, rises from under it.
            const int tail = before.to + 3 * (before.to - before.from + 2) + 3;
            if ((before.height > 0) == (c.height > 0) && c.from <= tail &&
                std::abs(c.height) < kTailShare * std::abs(before.height))
                continue;
        }
        kept.append(c);
        floorIndex = c.to + 1;
    }

    const double launchSlope = result.launchFound ? launchEdge.slope : 1e9;
    const double origin = result.launchFound ? launchEdge.toe : 0.0;
    for (const Candidate &c : kept) {
        TraceEvent event;
        // Nothing comes back before the pulse has left.
        event.distance = std::max(0.0, (c.edge.toe - origin) * step);
        event.peak = std::max(event.distance, (c.edge.peak - origin) * step);
        event.height = c.height;
        // The noise moves each edge's line along the axis by about sigma over
        // its slope; the rule reads soft edges a little early or late.
        const double noiseShift =
            std::hypot(sigma / std::max(c.edge.slope, 0.05 * std::abs(c.height)),
                       sigma / std::max(launchSlope, 0.05 * result.launchHeight));
        const double rule = 0.3 * (c.edge.halfUp - c.edge.toe);
        event.uncertainty = step * std::max(0.5, 2 * std::hypot(noiseShift, rule, 0.29));
        // With a launch, kinds follow its polarity and what reaches each
        // reflection: they are settled with the end, below.
        event.kind = c.height > 0 ? EventKind::Open : EventKind::Short;
        if (result.launchFound)
            event.strength = std::abs(c.height) / result.launchHeight;
        result.events.append(event);
    }

    // Echoes arrive at twice a reflection's distance (off the instrument) or
    // one gap further than a later reflection (between two reflectors).
    const double launchSpan = (first - origin) * step;
    const auto arrivesAt = [&](int k, double at) {
        const TraceEvent &e = result.events.at(k);
        return std::abs(e.distance - at) <= 1.5 * step + e.uncertainty;
    };
    for (int k = 0; k < result.events.size(); ++k) {
        TraceEvent &e = result.events[k];
        for (int j = 0; j < k && e.kind != EventKind::Echo; ++j) {
            const TraceEvent &near = result.events.at(j);
            if (near.kind == EventKind::Echo ||
                std::abs(e.height) > kEchoShare * std::abs(near.height))
                continue;
            // Reflectors hidden under the launch pulse bounce too: anywhere up
            // to the launch's length before twice the distance.
            if (e.distance <= 2 * near.distance + 1.5 * step + e.uncertainty &&
                e.distance >= 2 * near.distance - launchSpan - 1.5 * step - e.uncertainty)
                e.kind = EventKind::Echo;
            // Between two reflectors, off any part of the nearer one's length.
            for (int i = 0; i < j; ++i) {
                const TraceEvent &nearest = result.events.at(i);
                const double length = (kept.at(i).edge.halfDown - kept.at(i).edge.toe) * step;
                if (nearest.kind != EventKind::Echo &&
                    (arrivesAt(k, 2 * near.distance - nearest.distance) ||
                     (e.distance < 2 * near.distance - nearest.distance &&
                      arrivesAt(k, 2 * near.distance - nearest.distance - length))))
                    e.kind = EventKind::Echo;
            }
        }
    }

    // The far end sends back everything that reaches it, after the losses at
    // the reflections before it; a fault sends back a part. The cable spreads
    // a pulse, lower and wider, but keeps its area; a sharp pulse caught by
    // few samples keeps its height better. The larger of the two shares counts.
    if (result.launchFound) {
        const auto areaOf = [&](const QVector<double> &signal, int from, int to, double sign) {
            double area = 0;
            for (int i = std::max(1, from); i <= std::min(n - 1, to); ++i)
                area += std::max(0.0, sign * signal.at(i));
            return area;
        };
        const double launchArea = areaOf(launch, 1, first - 1, 1.0);
        QVector<double> reflection(result.events.size(), 0.0);
        QVector<double> share(result.events.size(), 0.0);  // of the launch
        QVector<double> passed(result.events.size(), 1.0); // what passes, both ways
        double through = 1.0;
        for (int k = 0; k < result.events.size(); ++k) {
            if (result.events.at(k).kind == EventKind::Echo)
                continue;
            const Candidate &c = kept.at(k);
            const double area = areaOf(r, c.from - 1, c.to + 1, c.height > 0 ? 1.0 : -1.0);
            share[k] =
                std::max(result.events.at(k).strength, launchArea > 0 ? area / launchArea : 0.0);
            reflection[k] = std::min(1.0, share.at(k) / through);
            through *= std::max(0.05, 1 - reflection.at(k) * reflection.at(k));
            passed[k] = through;
            // A splice behind a strong fault looks smaller than it is.
            TraceEvent &e = result.events[k];
            const bool up = e.height * launchSign > 0; // the launch's polarity is up
            const bool minor = reflection.at(k) < kMinorShare;
            e.kind = up ? (minor ? EventKind::MinorHigh : EventKind::Open)
                        : (minor ? EventKind::MinorLow : EventKind::Short);
        }
        // Only echoes come back from beyond the end: the end is the last
        // reflection strong enough for its distance with nothing behind it
        // but its own echoes. A strong fault with more reflections behind it
        // is no end. Behind a strong reflection the receiver's coupling, slow
        // tails and stray echoes leave bumps of up to a tenth of the launch: a
        // bump that small neither takes the end away nor becomes it.
        const double span = n * step;
        // An echo of the end arrives one gap further than the end for each
        // reflector before it, and is at most the end's height times that
        // reflector's share.
        const auto echoesEnd = [&](int end, int k) {
            const TraceEvent &e = result.events.at(end);
            const TraceEvent &later = result.events.at(k);
            const double most = kEchoAllowance * std::abs(e.height);
            const double slack = 1.5 * step + later.uncertainty;
            for (int j = 0; j < end; ++j)
                if (result.events.at(j).kind != EventKind::Echo &&
                    std::abs(later.height) <= most * reflection.at(j) &&
                    arrivesAt(k, 2 * e.distance - result.events.at(j).distance))
                    return true;
            if (std::abs(later.height) > most * kHiddenShare ||
                later.distance > 2 * e.distance + slack)
                return false;
            // Off a reflector too small to be read, or hidden by another one
            // (echoes off the instrument were told earlier): only when it is
            // more than could come back through the end.
            return share.at(k) >= passed.at(end);
        };
        int end = -1;
        for (int k = 0; k < result.events.size(); ++k) {
            TraceEvent &e = result.events[k];
            if (e.kind == EventKind::Echo)
                continue;
            if (end >= 0 && echoesEnd(end, k))
                e.kind = EventKind::Echo;
            else if (end >= 0 && share.at(k) < kMinorShare)
                continue;
            else
                end = reflection.at(k) >= kEndShareNear * std::exp(-kTraceLoss * e.distance / span)
                          ? k
                          : -1;
        }
        if (end >= 0) {
            TraceEvent &e = result.events[end];
            const bool up = e.height * launchSign > 0;
            e.kind = up ? EventKind::EndOpen : EventKind::EndShort;
            result.end = e.distance;
        }
    }
    return result;
}

EventAnalysis detectEvents(const Trace &trace)
{
    QVector<double> samples;
    samples.reserve(trace.points.size());
    for (const QPointF &point : trace.points)
        samples.append(point.y());
    return detectEvents(samples, double(trace.distanceStep));
}

Trace alignedAtLaunch(Trace trace)
{
    const EventAnalysis analysis = detectEvents(trace);
    trace.origin = analysis.launchFound ? analysis.launchToe : 0.0;
    const double step = double(trace.distanceStep);
    for (int i = 0; i < trace.points.size(); ++i)
        trace.points[i].setX(i * step - trace.origin);
    return trace;
}

} // namespace protocol
