// SPDX-License-Identifier: GPL-3.0-or-later
// How well event detection finds what the emulated instrument planted.
// Usage: bench_events [traces] [first seed]   (default 2000 traces from seed 1)
// Prints found, missed, wrong kind, false events (on all traces and on
// fault-free ones) and the distance error in sample steps.
#include "bluetooth/emulator/waveform.h"
#include "protocol/events.h"

#include <QCoreApplication>

#include <cmath>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int traces = args.size() > 1 ? args.at(1).toInt() : 2000;
    const quint32 first = args.size() > 2 ? args.at(2).toUInt() : 1;
    const bool verbose = args.contains(QStringLiteral("-v"));

    int planted = 0, detectable = 0, found = 0, wrongKind = 0, endsVisible = 0, endsNamed = 0;
    int falseEvents = 0, faultFree = 0, falseOnFaultFree = 0;
    double errorSum = 0, errorMax = 0;
    for (int t = 0; t < traces; ++t) {
        const emu::WaveformParams params = emu::randomWaveform(first + quint32(t));
        const QList<emu::PlantedEvent> truth = emu::plantedEvents(params);
        const protocol::EventAnalysis analysis =
            protocol::detectEvents(emu::downloadedTrace(params));
        const double step = params.step;
        planted += truth.size();
        for (int i = 0; i < truth.size(); ++i) {
            if (!emu::isDetectable(truth, i, params))
                continue;
            ++detectable;
            const emu::PlantedEvent &event = truth.at(i);
            const protocol::TraceEvent *best = nullptr;
            for (const protocol::TraceEvent &e : analysis.events)
                if (!best || std::abs(e.distance - event.distance) <
                                 std::abs(best->distance - event.distance))
                    best = &e;
            const double error = best ? std::abs(best->distance - event.distance) / step : 1e9;
            if (error > 1.0) {
                if (verbose)
                    std::printf(
                        "seed %u: missed %.1f samples, height %.1f, width %.1f, noise %.1f; "
                        "launch end %.1f, nearest %.1f samples away\n",
                        first + quint32(t), event.distance / step, event.height, event.width,
                        params.noise, analysis.launchEnd / step, error);
                continue;
            }
            const bool up = best->kind != protocol::EventKind::Short;
            if (up != (event.height > 0)) {
                ++wrongKind;
                continue;
            }
            ++found;
            errorSum += error;
            errorMax = std::max(errorMax, error);
            if (event.cableEnd) {
                ++endsVisible;
                endsNamed += best->kind == protocol::EventKind::End;
            }
        }
        int falseHere = 0;
        for (const protocol::TraceEvent &e : analysis.events) {
            bool explained = false;
            for (const emu::PlantedEvent &event : truth)
                explained |=
                    std::abs(e.distance - event.distance) / step <= std::max(2.0, 3 * event.width);
            falseHere += !explained;
            if (!explained && verbose)
                std::printf("seed %u: false %.1f samples, height %.1f, noise %.1f (est %.2f); "
                            "launch end %.1f\n",
                            first + quint32(t), e.distance / step, e.height, params.noise,
                            analysis.noise, analysis.launchEnd / step);
        }
        falseEvents += falseHere;
        if (params.faults.isEmpty()) {
            ++faultFree;
            falseOnFaultFree += falseHere;
        }
    }
    std::printf("traces                     %d (seeds %u..%u)\n", traces, first,
                first + quint32(traces) - 1);
    std::printf("planted events             %d\n", planted);
    std::printf("above the line (%.0f sigma)   %d\n", emu::kDetectableSigmas, detectable);
    std::printf("found within one step      %d (%.2f %%)\n", found,
                detectable ? 100.0 * found / detectable : 0.0);
    std::printf("missed                     %d\n", detectable - found - wrongKind);
    std::printf("wrong kind                 %d\n", wrongKind);
    std::printf("cable ends named           %d of %d visible\n", endsNamed, endsVisible);
    std::printf("false events               %d (%.4f per trace)\n", falseEvents,
                double(falseEvents) / traces);
    std::printf("false on fault-free traces %d on %d (%.4f per trace)\n", falseOnFaultFree,
                faultFree, faultFree ? double(falseOnFaultFree) / faultFree : 0.0);
    std::printf("distance error, steps      mean %.3f, max %.3f\n", found ? errorSum / found : 0.0,
                errorMax);
    return 0;
}
