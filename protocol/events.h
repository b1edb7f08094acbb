// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonObject>
#include <QString>
#include <QVector>

#include <optional>

namespace protocol {

struct Trace;

enum class EventKind {
    Open,      // the impedance goes up: the reflection has the launch's polarity
    Short,     // the impedance goes down: the opposite polarity
    MinorHigh, // a small rise of the impedance, a splice or a kinked section
    MinorLow,  // a small fall, a wet section or a crushed splice
    EndOpen,   // the cable's far end, left open
    EndShort,  // the cable's far end, shorted
    Echo,      // a second trip of an earlier reflection, not a place in the cable
};

struct TraceEvent
{
    // Metres from where the launch pulse leaves the baseline to where this
    // reflection leaves it (its toe).
    double distance = 0;
    double uncertainty = 0; // metres, from the step, the noise and the edge
    double peak = 0;        // metres to the reflection's peak, on the same scale
    double height = 0;      // levels above (+) or below (-) the baseline
    double strength = 0;    // |height| as a share of the launch's height; 0 without a launch
    EventKind kind = EventKind::Open;
};

struct EventAnalysis
{
    bool launchFound = false;   // without one, distances are on the file's axis
    double launchToe = 0;       // metres on the file's axis where the launch leaves the baseline
    double launchEnd = 0;       // metres on the file's axis: nothing before is read
    double launchHeight = 0;    // levels
    double noise = 0;           // standard deviation of the noise, levels
    double threshold = 0;       // levels: smaller deviations are noise
    QVector<TraceEvent> events; // by distance
    std::optional<double> end;  // the far end's distance; none within the trace
    // Where an event lies on the file's axis (sample i at i * step); on a
    // trace aligned at its launch it lies at its distance.
    double axisPosition(const TraceEvent &event) const { return launchToe + event.distance; }
};

// Finds the reflections of a trace whose sample i lies at i * step metres on
// the file's axis. Sample 0 repeats the instrument's second sample and is not
// read. Pure: the same samples always give the same events.
EventAnalysis detectEvents(const QVector<double> &samples, double step);
EventAnalysis detectEvents(const Trace &trace);
// The trace with its distance 0 at the launch pulse's toe (Trace::origin):
// its samples then lie at the distances its events are given at. A trace
// without a launch keeps the file's axis.
Trace alignedAtLaunch(Trace trace);

QString eventKindText(EventKind kind);
// "open", "short", "minor_high", "minor_low", "end_open", "end_short", "echo"
QString eventKindKey(EventKind kind);
// "177 m ± 6 m": the distance with no more digits than its uncertainty carries.
QString eventDistanceText(const TraceEvent &event);
// "42.0 %" of the launch, or "+12 levels" when there is no launch to compare with.
QString eventStrengthText(const EventAnalysis &analysis, const TraceEvent &event);
// One file's events as `varnel-cli events --json` and `show --json` print them.
QJsonObject eventsJson(const QString &file, double step, const EventAnalysis &analysis);

} // namespace protocol
