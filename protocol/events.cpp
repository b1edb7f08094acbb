// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/events.h"

#include "protocol/trace.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace protocol {

namespace {

struct EventText
{
    Q_DECLARE_TR_FUNCTIONS(TraceEvent)
};

// Deviations this many noise deviations from the baseline are events: on
// 250 samples of Gaussian noise a false one turns up about once in 7,000
// traces.
constexpr double kThresholdSigmas = 5.0;
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
// A reflection overshoots behind its peak. A smaller opposite swing this close
// behind a larger one is that overshoot, not another event.
constexpr int kRingingSamples = 10;
constexpr double kRingingShare = 0.35;
// The launch pulse starts within the first samples.
constexpr int kLaunchSearch = 20;

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

// Where the peak of a reflection lies between samples: the vertex of a
// least-squares parabola through the samples above half its height, kept
// within half a sample of the run [first, last] that makes the reflection.
double peakPosition(const QVector<double> &r, int top, int first, int last)
{
    const int n = r.size();
    const double half = 0.5 * r.at(top);
    int left = 0;
    while (top - left - 1 >= 0 && std::abs(r.at(top - left - 1)) > std::abs(half) &&
           (r.at(top - left - 1) > 0) == (half > 0))
        ++left;
    int right = 0;
    while (top + right + 1 < n && std::abs(r.at(top + right + 1)) > std::abs(half) &&
           (r.at(top + right + 1) > 0) == (half > 0))
        ++right;
    const int h = std::max(1, (left + right + 1) / 2);
    const int from = std::max(0, top - h);
    const int to = std::min(n - 1, top + h);
    if (to - from < 2)
        return top;
    // Sums for the normal equations, positions relative to `top`.
    double s[5] = {0, 0, 0, 0, 0};
    double t[3] = {0, 0, 0};
    for (int i = from; i <= to; ++i) {
        const double x = i - top;
        double power = 1;
        for (int k = 0; k < 5; ++k) {
            s[k] += power;
            if (k < 3)
                t[k] += power * r.at(i);
            power *= x;
        }
    }
    // Solve [s0 s1 s2; s1 s2 s3; s2 s3 s4] [c a1 a2] = t by Cramer's rule.
    const auto det3 = [](double a, double b, double c, double d, double e, double f, double g,
                         double h2, double i2) {
        return a * (e * i2 - f * h2) - b * (d * i2 - f * g) + c * (d * h2 - e * g);
    };
    const double det = det3(s[0], s[1], s[2], s[1], s[2], s[3], s[2], s[3], s[4]);
    if (std::abs(det) < 1e-12)
        return top;
    const double a1 = det3(s[0], t[0], s[2], s[1], t[1], s[3], s[2], t[2], s[4]) / det;
    const double a2 = det3(s[0], s[1], t[0], s[1], s[2], t[1], s[2], s[3], t[2]) / det;
    if (std::abs(a2) < 1e-12 || (a2 > 0) == (r.at(top) > 0))
        return top;
    return std::clamp(top - a1 / (2 * a2), std::max(0.0, first - 0.5),
                      std::min(n - 1.0, last + 0.5));
}

} // namespace

EventAnalysis detectEvents(const QVector<double> &y, double step)
{
    EventAnalysis result;
    const int n = y.size();
    if (n < 2 * kLaunchSearch || !(step > 0) || !std::isfinite(step))
        return result;
    for (const double value : y)
        if (!std::isfinite(value))
            return result;

    // The launch pulse: the largest swing near the start, away from the level
    // of the far half of the trace.
    const double farLevel = median(y.mid(n / 2));
    int peak = 0;
    for (int i = 0; i < kLaunchSearch; ++i)
        if (std::abs(y.at(i) - farLevel) > std::abs(y.at(peak) - farLevel))
            peak = i;
    result.launchHeight = std::max(1.0, std::abs(y.at(peak) - farLevel));

    const double sigma = noiseOf(y, n / 2);
    result.noise = sigma;
    result.threshold = kThresholdSigmas * sigma;

    // The pulse has ended where the trace stops moving faster than noise
    // does, two differences in a row.
    const double calm = kThresholdSigmas * sigma * std::sqrt(2.0);
    int launchEnd = peak + 1;
    while (launchEnd + 2 < n && (std::abs(y.at(launchEnd + 1) - y.at(launchEnd)) > calm ||
                                 std::abs(y.at(launchEnd + 2) - y.at(launchEnd + 1)) > calm))
        ++launchEnd;

    struct Candidate
    {
        double position; // samples
        double height;
        int from, to; // the run of samples beyond the threshold
    };
    const auto findCandidates = [&](const QVector<bool> &masked, int first) {
        QVector<double> r(n, 0.0);
        for (int i = first; i < n; ++i)
            r[i] = y.at(i) - baselineAt(y, masked, i, first);
        QVector<Candidate> found;
        for (int i = first + 1; i < n;) {
            if (std::abs(r.at(i)) <= result.threshold) {
                ++i;
                continue;
            }
            int top = i;
            int j = i;
            for (; j < n; ++j) {
                if (std::abs(r.at(j)) <= result.threshold || (r.at(j) > 0) != (r.at(i) > 0))
                    break;
                if (std::abs(r.at(j)) > std::abs(r.at(top)))
                    top = j;
            }
            // A single sample dipping back under the threshold does not split
            // one reflection into two.
            if (!found.isEmpty() && found.constLast().to + 2 >= i &&
                (found.constLast().height > 0) == (r.at(top) > 0)) {
                const int first = found.constLast().from;
                if (std::abs(r.at(top)) > std::abs(found.constLast().height))
                    found.last() = {peakPosition(r, top, first, j - 1), r.at(top), first, j - 1};
                else
                    found.last().to = j - 1;
            } else {
                found.append({peakPosition(r, top, i, j - 1), r.at(top), i, j - 1});
            }
            i = j;
        }
        return std::make_pair(found, r);
    };

    // Whatever of the pulse still stands out of the baseline belongs to it.
    QVector<bool> masked(n, false);
    {
        const QVector<double> r = findCandidates(masked, launchEnd).second;
        while (launchEnd + 1 < n && std::abs(r.at(launchEnd)) > result.threshold)
            ++launchEnd;
    }
    result.launchEnd = launchEnd * step;

    // Reflections pull a baseline drawn through them; the second look draws
    // it around the first look's reflections.
    for (const Candidate &c : findCandidates(masked, launchEnd).first) {
        const int margin = c.to - c.from + 2;
        for (int k = std::max(0, c.from - margin); k <= std::min(n - 1, c.to + 2 * margin); ++k)
            masked[k] = true;
    }
    const QVector<Candidate> candidates = findCandidates(masked, launchEnd).first;

    for (int k = 0; k < candidates.size(); ++k) {
        const Candidate &c = candidates.at(k);
        bool ringing = false;
        for (int m = k - 1; m >= 0 && c.position - candidates.at(m).position <= kRingingSamples;
             --m) {
            const Candidate &before = candidates.at(m);
            if ((before.height > 0) != (c.height > 0) &&
                std::abs(c.height) < kRingingShare * std::abs(before.height))
                ringing = true;
        }
        if (ringing)
            continue;
        TraceEvent event;
        // The distance is the reflection's peak. Its onset, where a technician
        // puts the cursor by eye, moves with the pulse's width, which grows
        // along the cable, and is lost in the noise for small reflections;
        // the peak stays within a fraction of a sample at any size. The
        // emulated instrument plants its events at their peaks too.
        event.distance = c.position * step;
        event.height = c.height;
        event.strength = std::abs(c.height) / result.launchHeight;
        event.kind = c.height > 0 ? EventKind::Open : EventKind::Short;
        result.events.append(event);
    }
    // An open far end sends everything back: nothing lies beyond it, so the
    // last upward reflection with nothing after it is read as the end.
    if (!result.events.isEmpty() && result.events.constLast().kind == EventKind::Open)
        result.events.last().kind = EventKind::End;
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

QString eventKindText(EventKind kind)
{
    switch (kind) {
    case EventKind::Open:
        return EventText::tr("Open");
    case EventKind::Short:
        return EventText::tr("Short");
    case EventKind::End:
        return EventText::tr("Cable end");
    }
    return QString();
}

} // namespace protocol
