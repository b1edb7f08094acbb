// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/events.h"
#include "protocol/trace.h"

#include <QJsonObject>
#include <QPointF>
#include <QVector>

#include <optional>

namespace protocol {

// What became of an event between an older and a newer trace of a cable.
enum class EventChange {
    Same,     // at the same place, within the two readings' uncertainties
    Moved,    // the same kind of reflection, nearby but beyond them
    Appeared, // only in the newer trace
    Vanished, // only in the older trace
};

struct EventPair
{
    std::optional<int> older; // indices into the analyses' events
    std::optional<int> newer;
    EventChange change = EventChange::Same;
    double distance = 0;  // the newer reading, else the older one
    double shift = 0;     // newer minus older, metres; 0 unless both exist
    double tolerance = 0; // metres within which the two are the same place
};

struct TraceComparison
{
    EventAnalysis older;
    EventAnalysis newer;
    // False when the traces share no zero or no distance: no difference and
    // no pairing, each trace's events are listed on their own.
    bool comparable = false;
    QString problem;             // why not, translated; empty when comparable
    QVector<EventPair> pairs;    // by distance
    double gridStep = 0;         // metres between the difference's samples
    bool resampled = false;      // the steps differ: a trace was read between its samples
    QVector<QPointF> difference; // x: metres from the launch, y: newer minus older, levels
};

// Both traces counted from their launch pulses' toes: events are paired by
// kind family (rises, falls, echoes; the ends count as rises or falls) when
// they are within four times their combined uncertainty (two ends of one
// family whatever the distance), nearest first, and
// are the same place within the combined uncertainty sqrt(u1² + u2²) plus a
// quarter of the coarser step. The difference is taken at the samples of
// the trace with the coarser step (the newer on a tie) over the distances
// both cover; the other trace is read there at its nearest sample when the
// steps are equal, else between its samples by straight-line interpolation.
TraceComparison compareTraces(const Trace &older, const Trace &newer);

// "same", "moved", "appeared", "vanished"
QString eventChangeKey(EventChange change);
// "unchanged", "moved +12 m", "appeared" or "vanished".
QString eventChangeText(const EventPair &pair);
// Both files' events, the pairs and the difference, as `varnel-cli compare
// --json` prints them.
QJsonObject comparisonJson(const QString &olderFile, const QString &newerFile, const Trace &older,
                           const Trace &newer, const TraceComparison &comparison);

} // namespace protocol
