// SPDX-License-Identifier: GPL-3.0-or-later
#include "bluetooth/emulator/cablemodel.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cmath>

namespace emu {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Points drawn per sample: edges much shorter than a sample still land
// between samples where their physics puts them.
constexpr int kOversampling = 16;
// Echoes smaller than this share of a noise deviation are left out.
constexpr double kNegligibleEcho = 0.05;

// One way from the instrument back to it: a delay, a gain and a spread.
struct Path
{
    double delay = 0; // samples after the launch leaves the baseline
    double gain = 0;
    double spread = 0; // samples, the time constant of the causal loss
    int event = -1;    // the truth event it is the primary reflection of
    bool primary = false;
};

// The launch pulse of unit height, `u` samples after its toe.
double launchShape(const CableParams &p, double u)
{
    const auto edge = [&p](double v) {
        if (v <= 0)
            return 0.0;
        if (v >= p.riseTime)
            return 1.0;
        return 0.5 * (1 - std::cos(kPi * v / p.riseTime));
    };
    if (u <= 0)
        return 0;
    double value;
    if (p.rounded) {
        const double duration = p.launchWidth + p.riseTime;
        value = u < duration ? std::pow(std::sin(kPi * u / duration), 2) : 0.0;
    } else {
        value = edge(u) - edge(u - p.launchWidth);
    }
    const double fall = p.rounded ? 0.5 * (p.launchWidth + p.riseTime) : p.launchWidth;
    if (p.tailShare > 0 && u > fall)
        value += p.tailShare * edge(u - fall) * std::exp(-(u - fall) / p.tailTime);
    return value;
}

// The path drawn alone, on the fine grid.
QVector<double> render(const CableParams &p, const Path &path, int points)
{
    QVector<double> out(points, 0.0);
    const double keep = path.spread > 1e-3 ? std::exp(-1.0 / (kOversampling * path.spread)) : 0;
    double state = 0;
    for (int n = 0; n < points; ++n) {
        const double x =
            path.gain * launchShape(p, double(n) / kOversampling - p.launchTime - path.delay);
        state = keep * state + (1 - keep) * x;
        out[n] = state;
    }
    return out;
}

double largest(const QVector<double> &values)
{
    double top = 0;
    for (const double v : values)
        top = std::max(top, std::abs(v));
    return top;
}

double gaussian(QRandomGenerator &rng)
{
    double u1 = rng.generateDouble();
    while (u1 <= 1e-12)
        u1 = rng.generateDouble();
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * kPi * rng.generateDouble());
}

} // namespace

CableTrace drawCable(const CableParams &p)
{
    CableTrace result;
    result.launchToe = p.launchTime;
    const double step = p.step > 0 ? p.step : 1.0;
    const int points = p.samples * kOversampling;

    // The impedance steps along the line, nearest first; each remembers the
    // truth event it belongs to (the far side of a section belongs to none).
    struct Step
    {
        double at; // samples
        double gamma;
        int event;
    };
    QVector<Step> steps;
    for (const Discontinuity &d : p.faults) {
        result.events.append({d.distance, d.reflection, false, false, 0});
        steps.append({d.distance / step, std::clamp(d.reflection, -0.999, 0.999),
                      int(result.events.size()) - 1});
        if (d.section > 0)
            steps.append(
                {(d.distance + d.section) / step, -std::clamp(d.reflection, -0.999, 0.999), -1});
    }
    if (p.end != FarEnd::Beyond && p.length > 0) {
        const double gamma = p.end == FarEnd::Open ? 1.0 : -1.0;
        result.events.append({p.length, gamma, true, false, 0});
        steps.append({p.length / step, gamma, int(result.events.size()) - 1});
    }
    std::stable_sort(steps.begin(), steps.end(),
                     [](const Step &a, const Step &b) { return a.at < b.at; });
    // Nothing reaches past a complete reflection.
    for (int k = 0; k < steps.size(); ++k)
        if (std::abs(steps.at(k).gamma) >= 1.0) {
            for (int m = k + 1; m < steps.size(); ++m)
                if (steps.at(m).event >= 0)
                    result.events[steps.at(m).event].detectable = false;
            steps.resize(k + 1);
            break;
        }

    // Primaries, their second trip off the instrument's mismatch, and one
    // bounce between two steps. What passes a step both ways is 1 - gamma².
    QVector<Path> paths;
    const auto loss = [&p](double delay) { return std::exp(-p.attenuation * delay); };
    const auto spread = [&p](double delay) { return p.dispersion * delay; };
    double through = 1.0;
    QVector<double> passed; // what reaches each step and comes back, without loss
    for (const Step &s : steps) {
        passed.append(through);
        paths.append({s.at, s.gamma * through * loss(s.at), spread(s.at), s.event, true});
        through *= 1 - s.gamma * s.gamma;
    }
    const double floor = kNegligibleEcho * std::max(p.noise, 0.1) / std::abs(p.launchHeight);
    for (int k = 0; k < steps.size(); ++k) {
        const Step &far = steps.at(k);
        const double echo = far.gamma * passed.at(k) * p.sourceReflection * far.gamma *
                            passed.at(k) * loss(2 * far.at);
        if (std::abs(echo) > floor)
            paths.append({2 * far.at, echo, spread(2 * far.at), -1, false});
        for (int j = 0; j < k; ++j) {
            const Step &near = steps.at(j);
            const double between = passed.at(k) / passed.at(j + 1);
            const double bounce = far.gamma * passed.at(k) * -near.gamma * far.gamma * between *
                                  loss(2 * far.at - near.at);
            const double delay = 2 * far.at - near.at;
            if (std::abs(bounce) > floor && delay < p.samples + p.launchTime)
                paths.append({delay, bounce, spread(delay), -1, false});
        }
    }

    // The clean trace: the launch and every path, then the receiver's coupling.
    QVector<double> clean = render(p, {0, 1, 0, -1, false}, points);
    QVector<QVector<double>> alone;
    for (const Path &path : paths) {
        alone.append(render(p, path, points));
        for (int n = 0; n < points; ++n)
            clean[n] += alone.constLast().at(n);
    }
    if (p.acTime > 0) {
        const double keep = std::exp(-1.0 / (kOversampling * p.acTime));
        double low = 0;
        for (double &v : clean) {
            low = keep * low + (1 - keep) * v;
            v -= low;
        }
    }

    // The truth: each event's size alone, and whether it can be told apart.
    const double launchLength =
        p.launchWidth + p.riseTime + (p.tailShare > 0.1 ? p.tailTime * 0.5 : 0.0);
    QVector<double> sizes(paths.size());
    for (int i = 0; i < paths.size(); ++i)
        sizes[i] = std::abs(p.launchHeight) * largest(alone.at(i));
    const double line = std::max(kDetectableSigmas * p.noise, kDetectableLevels);
    for (int i = 0; i < paths.size(); ++i) {
        const Path &path = paths.at(i);
        if (!path.primary) {
            if (sizes.at(i) >= 2 * p.noise)
                result.multiples.append(path.delay * step);
            continue;
        }
        if (path.event < 0)
            continue;
        TruthEvent &truth = result.events[path.event];
        truth.peak = sizes.at(i);
        const double length = p.launchWidth + p.riseTime + 3 * path.spread;
        bool clear = sizes.at(i) >= line && path.delay >= launchLength + kClearSamples &&
                     path.delay + p.launchTime + 2 < p.samples - 1;
        for (int j = 0; j < paths.size() && clear; ++j) {
            const bool ownSection = j == i + 1 && paths.at(j).primary && paths.at(j).event < 0;
            if (j == i || ownSection || sizes.at(j) < 0.25 * sizes.at(i))
                continue;
            const double otherLength = p.launchWidth + p.riseTime + 3 * paths.at(j).spread;
            clear = std::abs(paths.at(j).delay - path.delay) >=
                    std::max(length, otherLength) + kClearSamples;
        }
        truth.detectable = clear;
    }

    QRandomGenerator rng(p.seed);
    const double phase = 2 * kPi * rng.generateDouble();
    const double period = p.samples * (0.7 + 1.5 * rng.generateDouble());
    result.samples.resize(p.samples);
    for (int k = 0; k < p.samples; ++k) {
        const double level = p.baseline + p.tilt * k +
                             p.drift * std::sin(2 * kPi * k / period + phase) +
                             p.launchHeight * clean.at(k * kOversampling) + p.noise * gaussian(rng);
        result.samples[k] = char(std::clamp(int(std::lround(level)), 0, 255));
    }
    return result;
}

} // namespace emu
