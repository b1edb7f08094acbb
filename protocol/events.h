// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QVector>

namespace protocol {

struct Trace;

enum class EventKind {
    Open,  // the trace goes up: higher impedance, a break or a bad joint
    Short, // the trace goes down: lower impedance, a short or water
    End,   // the cable's far end (an open end as the instrument sees it)
};

struct TraceEvent
{
    double distance = 0; // metres from the instrument, at the reflection's peak
    double height = 0;   // sample units above (+) or below (-) the baseline
    double strength = 0; // |height| as a share of the launch pulse's height
    EventKind kind = EventKind::Open;
};

struct EventAnalysis
{
    double launchEnd = 0;       // metres: nothing before this is read as an event
    double noise = 0;           // standard deviation of the trace's noise, sample units
    double threshold = 0;       // sample units: smaller deviations are noise
    double launchHeight = 0;    // sample units
    QVector<TraceEvent> events; // by distance
};

// Finds the reflections of a trace whose sample i lies at i * step metres.
// Pure: the same samples always give the same events.
EventAnalysis detectEvents(const QVector<double> &samples, double step);
EventAnalysis detectEvents(const Trace &trace);

QString eventKindText(EventKind kind);

} // namespace protocol
