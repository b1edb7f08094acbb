// SPDX-License-Identifier: GPL-3.0-or-later
// How well event detection reads traces drawn by the cable model, whose
// ground truth is the physical place of each discontinuity (the toe of its
// reflection), not where the detector looks.
// Usage: bench_events [traces] [first seed] [-v]
//   (default 600 traces with faults and 200 fault-free ones per corpus)
#include "bluetooth/emulator/cablemodel.h"
#include "protocol/events.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

using Corpus = std::function<emu::CableParams(quint32, bool)>;

struct Figures
{
    int traces = 0, faultFree = 0;
    int detectable = 0, detected = 0, withinStep = 0, withinStated = 0, kindErrors = 0,
        classErrors = 0;
    QVector<double> errors; // steps
    double stepSum = 0;
    int falseOnFaultFree = 0;
    int ends = 0, endsRight = 0, noEnds = 0, noEndsRight = 0;
};

// Matched: the nearest reported event within this many steps of the toe.
constexpr double kMatchSteps = 3.0;

QVector<double> fileSamples(const QByteArray &instrument)
{
    // A file's sample 0 repeats the instrument's sample 1; sample i >= 1 is
    // the instrument's sample i - 1.
    QVector<double> y;
    y.append(quint8(instrument.at(1)));
    for (const char c : instrument)
        y.append(quint8(c));
    return y;
}

bool isUp(protocol::EventKind kind)
{
    using K = protocol::EventKind;
    return kind == K::Open || kind == K::MinorHigh || kind == K::EndOpen;
}

void run(const Corpus &corpus, quint32 first, int traces, int faultFree, bool verbose, Figures &f)
{
    for (int t = 0; t < traces + faultFree; ++t) {
        const quint32 seed = first + quint32(t);
        const bool clean = t >= traces;
        const emu::CableParams params = corpus(seed, clean);
        const emu::CableTrace cable = emu::drawCable(params);
        const double step = params.step;
        const protocol::EventAnalysis a = protocol::detectEvents(fileSamples(cable.samples), step);
        ++(clean ? f.faultFree : f.traces);

        for (const emu::TruthEvent &truth : cable.events) {
            if (!truth.detectable)
                continue;
            ++f.detectable;
            const protocol::TraceEvent *best = nullptr;
            for (const protocol::TraceEvent &e : a.events)
                if (!best || std::abs(e.distance - truth.distance) <
                                 std::abs(best->distance - truth.distance))
                    best = &e;
            const double error = best ? std::abs(best->distance - truth.distance) / step : 1e9;
            if (error > kMatchSteps) {
                if (verbose)
                    std::printf("seed %u: missed %.1f steps, peak %.1f, noise %.2f\n", seed,
                                truth.distance / step, truth.peak, params.noise);
                continue;
            }
            ++f.detected;
            f.withinStep += error <= 1.0;
            f.withinStated += error * step <= best->uncertainty;
            f.errors.append(error);
            f.stepSum += step;
            const bool wrongWay = best->kind == protocol::EventKind::Echo ||
                                  isUp(best->kind) != (truth.reflection > 0);
            f.kindErrors += wrongWay;
            const bool minor = best->kind == protocol::EventKind::MinorHigh ||
                               best->kind == protocol::EventKind::MinorLow;
            if (!truth.end && !wrongWay)
                f.classErrors += minor != (std::abs(truth.reflection) < emu::kMinorReflection);
            if (verbose && (error > 1.0 || wrongWay))
                std::printf("seed %u: toe %.1f steps off (%.2f), kind %s, peak %.1f\n", seed, error,
                            truth.distance / step, qPrintable(protocol::eventKindKey(best->kind)),
                            truth.peak);
            if (truth.end) {
                ++f.ends;
                const bool kindRight =
                    (best->kind == protocol::EventKind::EndOpen) == (truth.reflection > 0) &&
                    (best->kind == protocol::EventKind::EndOpen ||
                     best->kind == protocol::EventKind::EndShort);
                const bool right = kindRight && a.end && std::abs(*a.end - best->distance) < 1e-9;
                f.endsRight += right;
                if (verbose && !right)
                    std::printf("seed %u: end %s at %.1f steps read as %s at %.1f, end %s\n", seed,
                                truth.reflection > 0 ? "open" : "short", truth.distance / step,
                                qPrintable(protocol::eventKindKey(best->kind)),
                                best->distance / step,
                                a.end ? qPrintable(QString::number(*a.end / step)) : "none");
            }
        }
        bool endInside = false;
        for (const emu::TruthEvent &truth : cable.events)
            endInside |= truth.end;
        if (!endInside) {
            ++f.noEnds;
            f.noEndsRight += !a.end.has_value();
        }

        if (!clean)
            continue;
        for (const protocol::TraceEvent &e : a.events) {
            bool explained = false;
            for (const emu::TruthEvent &truth : cable.events)
                explained |= std::abs(e.distance - truth.distance) <= kMatchSteps * step;
            for (const double echo : cable.multiples)
                explained |= e.kind == protocol::EventKind::Echo &&
                             std::abs(e.distance - echo) <= kMatchSteps * step;
            f.falseOnFaultFree += !explained;
            if (!explained && verbose)
                std::printf("seed %u: false %.1f steps, %s, height %.1f, noise %.2f\n", seed,
                            e.distance / step, qPrintable(protocol::eventKindKey(e.kind)), e.height,
                            params.noise);
        }
    }
}

void print(const char *name, Figures &f)
{
    std::sort(f.errors.begin(), f.errors.end());
    const int n = f.errors.size();
    double sum = 0;
    for (const double e : f.errors)
        sum += e;
    const double mean = n ? sum / n : 0;
    const double p95 = n ? f.errors.at(std::min(n - 1, int(0.95 * n))) : 0;
    const double worst = n ? f.errors.constLast() : 0;
    const double metres = n ? f.stepSum / n : 0; // the mean step of matched events
    std::printf("%-10s %5d+%-4d %6d %6.1f%% %6.1f%% %5.2f (%5.1f m) %5.2f (%5.1f m) %5.2f "
                "%5d %5d %7.3f %4d/%-4d %4d/%-4d\n",
                name, f.traces, f.faultFree, f.detectable,
                f.detectable ? 100.0 * f.detected / f.detectable : 0.0,
                f.detectable ? 100.0 * f.withinStep / f.detectable : 0.0, mean, mean * metres, p95,
                p95 * metres, worst, f.kindErrors, f.classErrors,
                f.faultFree ? double(f.falseOnFaultFree) / f.faultFree : 0.0, f.endsRight, f.ends,
                f.noEndsRight, f.noEnds);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    const bool verbose = args.removeAll(QStringLiteral("-v")) > 0;
    if (args.size() > 2 &&
        (args.at(1) == QLatin1String("textbook") || args.at(1) == QLatin1String("realistic"))) {
        // One trace in full: its truth and what was read.
        const quint32 seed = args.at(2).toUInt();
        const emu::CableParams p = args.at(1) == QLatin1String("textbook")
                                       ? emu::textbookCable(seed, args.size() > 3)
                                       : emu::realisticCable(seed, args.size() > 3);
        const emu::CableTrace cable = emu::drawCable(p);
        for (const emu::TruthEvent &t : cable.events)
            std::printf("truth %7.2f steps  reflection %+.2f  peak %6.1f %s%s\n",
                        t.distance / p.step, t.reflection, t.peak, t.end ? "end " : "",
                        t.detectable ? "detectable" : "");
        for (const double m : cable.multiples)
            std::printf("echo  %7.2f steps\n", m / p.step);
        const protocol::EventAnalysis a =
            protocol::detectEvents(fileSamples(cable.samples), p.step);
        std::printf("launch toe %.2f (model %.2f), end of launch %.2f, height %.1f, noise %.2f\n",
                    a.launchToe / p.step, cable.launchToe + 1, a.launchEnd / p.step, a.launchHeight,
                    a.noise);
        for (const protocol::TraceEvent &e : a.events)
            std::printf("read  %7.2f steps  peak %7.2f  %+6.1f  %-10s ± %.2f\n",
                        e.distance / p.step, e.peak / p.step, e.height,
                        qPrintable(protocol::eventKindKey(e.kind)), e.uncertainty / p.step);
        for (const char c : cable.samples)
            std::printf("%d ", quint8(c));
        std::printf("\n");
        return 0;
    }
    const int traces = args.size() > 1 ? args.at(1).toInt() : 600;
    const quint32 first = args.size() > 2 ? args.at(2).toUInt() : 1;
    const int faultFree = std::max(1, traces / 3);

    std::printf("corpus     traces     detectable found  within 1 step  mean toe error   "
                "95th pct        worst kind  minor false/ff  ends      no end\n");
    Figures textbook, realistic;
    run(emu::textbookCable, first, traces, faultFree, verbose, textbook);
    print("textbook", textbook);
    run(emu::realisticCable, first, traces, faultFree, verbose, realistic);
    print("realistic", realistic);
    std::printf("\nwithin their stated uncertainty: %.1f %% (textbook), %.1f %% (realistic)\n",
                textbook.detected ? 100.0 * textbook.withinStated / textbook.detected : 0.0,
                realistic.detected ? 100.0 * realistic.withinStated / realistic.detected : 0.0);
    std::printf("errors in steps (metres at the matched events' mean step); matched within %.0f "
                "steps;\nkind = wrong direction or called an echo; minor = splice/wet class "
                "disagrees;\nends = far ends in view labelled with the right end kind; no end = "
                "\"no end within the trace\" said\n",
                kMatchSteps);
    return 0;
}
