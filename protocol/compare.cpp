// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/compare.h"

#include <QCoreApplication>
#include <QJsonArray>

#include <algorithm>
#include <cmath>
#include <vector>

namespace protocol {

namespace {

struct CompareText
{
    Q_DECLARE_TR_FUNCTIONS(TraceComparison)
};

// Within this many tolerances two events may still be one that moved.
constexpr double kSearchTolerances = 4.0;

enum class Family { Rise, Fall, Echo };

Family familyOf(EventKind kind)
{
    switch (kind) {
    case EventKind::Open:
    case EventKind::MinorHigh:
    case EventKind::EndOpen:
        return Family::Rise;
    case EventKind::Short:
    case EventKind::MinorLow:
    case EventKind::EndShort:
        return Family::Fall;
    case EventKind::Echo:
        break;
    }
    return Family::Echo;
}

bool isEnd(EventKind kind)
{
    return kind == EventKind::EndOpen || kind == EventKind::EndShort;
}

} // namespace

TraceComparison compareTraces(const Trace &older, const Trace &newer)
{
    TraceComparison result;
    result.older = detectEvents(older);
    result.newer = detectEvents(newer);
    const double coarser = std::max(double(older.distanceStep), double(newer.distanceStep));
    if (older.points.size() < 2 || newer.points.size() < 2 || !(coarser > 0)) {
        result.problem = CompareText::tr("A trace has no samples to compare.");
        return result;
    }
    for (const auto *trace : {&older, &newer}) {
        const EventAnalysis &analysis = trace == &older ? result.older : result.newer;
        if (!analysis.launchFound) {
            result.problem = CompareText::tr("%1 has no launch pulse: the traces cannot be "
                                             "aligned and are not compared.")
                                 .arg(trace->fileName);
            return result;
        }
    }
    // The difference is taken at the samples of the trace with the coarser
    // step (the newer on a tie); the other is read there, between its samples
    // when the steps differ, else at its nearest sample.
    const bool newerBase = newer.distanceStep >= older.distanceStep;
    const Trace &base = newerBase ? newer : older;
    const Trace &other = newerBase ? older : newer;
    const double baseToe = (newerBase ? result.newer : result.older).launchToe;
    const double otherToe = (newerBase ? result.older : result.newer).launchToe;
    const double baseStep = double(base.distanceStep);
    const double otherStep = double(other.distanceStep);
    const bool sameStep = base.distanceStep == other.distanceStep;
    result.gridStep = baseStep;
    result.resampled = !sameStep;
    // Sample 0 is out of time order and never read.
    for (int i = 1; i < base.points.size(); ++i) {
        const double x = i * baseStep - baseToe;
        double at = (x + otherToe) / otherStep;
        if (sameStep)
            at = std::round(at);
        if (at < 1 || at > other.points.size() - 1)
            continue;
        const int below = std::min(int(std::floor(at)), int(other.points.size()) - 2);
        const double share = at - below;
        const double otherLevel =
            other.points.at(below).y() * (1 - share) + other.points.at(below + 1).y() * share;
        const double baseLevel = base.points.at(i).y();
        result.difference.append(
            QPointF(x, newerBase ? baseLevel - otherLevel : otherLevel - baseLevel));
    }
    if (result.difference.size() < 2) {
        result.difference.clear();
        result.problem = CompareText::tr("The traces cover no common distance.");
        return result;
    }
    result.comparable = true;

    // Candidate pairs of one family, the ends first whatever their distance, then
    // nearest first.
    const QVector<TraceEvent> &was = result.older.events;
    const QVector<TraceEvent> &now = result.newer.events;
    struct Candidate
    {
        int older, newer;
        double gap, tolerance;
        bool ends;
    };
    std::vector<Candidate> candidates;
    for (int i = 0; i < was.size(); ++i) {
        for (int j = 0; j < now.size(); ++j) {
            const TraceEvent &a = was.at(i);
            const TraceEvent &b = now.at(j);
            const double tolerance = std::hypot(a.uncertainty, b.uncertainty) + coarser / 4;
            const double gap = std::abs(b.distance - a.distance);
            // An open end that became a short is a change, wherever it lies.
            if (familyOf(a.kind) != familyOf(b.kind))
                continue;
            const bool ends = isEnd(a.kind) && isEnd(b.kind);
            if (ends || gap <= kSearchTolerances * tolerance)
                candidates.push_back({i, j, gap, tolerance, ends});
        }
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate &a, const Candidate &b) {
                         return a.ends != b.ends ? a.ends : a.gap < b.gap;
                     });
    QVector<bool> olderTaken(was.size(), false);
    QVector<bool> newerTaken(now.size(), false);
    for (const Candidate &c : candidates) {
        if (olderTaken.at(c.older) || newerTaken.at(c.newer))
            continue;
        olderTaken[c.older] = newerTaken[c.newer] = true;
        EventPair pair;
        pair.older = c.older;
        pair.newer = c.newer;
        pair.distance = now.at(c.newer).distance;
        pair.shift = now.at(c.newer).distance - was.at(c.older).distance;
        pair.tolerance = c.tolerance;
        pair.change = c.gap <= c.tolerance ? EventChange::Same : EventChange::Moved;
        result.pairs.append(pair);
    }
    for (int i = 0; i < was.size(); ++i)
        if (!olderTaken.at(i))
            result.pairs.append({i, std::nullopt, EventChange::Vanished, was.at(i).distance, 0,
                                 was.at(i).uncertainty + coarser / 4});
    for (int j = 0; j < now.size(); ++j)
        if (!newerTaken.at(j))
            result.pairs.append({std::nullopt, j, EventChange::Appeared, now.at(j).distance, 0,
                                 now.at(j).uncertainty + coarser / 4});
    std::stable_sort(
        result.pairs.begin(), result.pairs.end(),
        [](const EventPair &a, const EventPair &b) { return a.distance < b.distance; });
    return result;
}

QString eventChangeKey(EventChange change)
{
    switch (change) {
    case EventChange::Same:
        return QStringLiteral("same");
    case EventChange::Moved:
        return QStringLiteral("moved");
    case EventChange::Appeared:
        return QStringLiteral("appeared");
    case EventChange::Vanished:
        return QStringLiteral("vanished");
    }
    return QString();
}

QString eventChangeText(const EventPair &pair)
{
    switch (pair.change) {
    case EventChange::Same:
        return CompareText::tr("unchanged");
    case EventChange::Moved: {
        // No more digits than the tolerance carries.
        const int decimals = pair.tolerance < 2 ? 1 : 0;
        const QString shift = QString::number(std::abs(pair.shift), 'f', decimals);
        return pair.shift >= 0 ? CompareText::tr("moved +%1 m").arg(shift)
                               : CompareText::tr("moved −%1 m").arg(shift);
    }
    case EventChange::Appeared:
        return CompareText::tr("appeared");
    case EventChange::Vanished:
        return CompareText::tr("vanished");
    }
    return QString();
}

QJsonObject comparisonJson(const QString &olderFile, const QString &newerFile, const Trace &older,
                           const Trace &newer, const TraceComparison &comparison)
{
    QJsonArray pairs;
    for (const EventPair &pair : comparison.pairs) {
        const auto index = [](const std::optional<int> &i) {
            return i ? QJsonValue(*i) : QJsonValue();
        };
        const TraceEvent &event = pair.newer ? comparison.newer.events.at(*pair.newer)
                                             : comparison.older.events.at(*pair.older);
        pairs.append(QJsonObject{{QStringLiteral("change"), eventChangeKey(pair.change)},
                                 {QStringLiteral("older"), index(pair.older)},
                                 {QStringLiteral("newer"), index(pair.newer)},
                                 {QStringLiteral("distance_m"), pair.distance},
                                 {QStringLiteral("kind"), eventKindKey(event.kind)},
                                 {QStringLiteral("shift_m"),
                                  pair.older && pair.newer ? QJsonValue(pair.shift) : QJsonValue()},
                                 {QStringLiteral("tolerance_m"), pair.tolerance}});
    }
    QJsonArray levels;
    for (const QPointF &point : comparison.difference)
        levels.append(point.y());
    QJsonObject difference{{QStringLiteral("step_m"), comparison.gridStep},
                           {QStringLiteral("from_m"), comparison.difference.isEmpty()
                                                          ? QJsonValue()
                                                          : comparison.difference.first().x()},
                           {QStringLiteral("resampled"), comparison.resampled},
                           {QStringLiteral("levels"), levels}};
    return {{QStringLiteral("older"),
             eventsJson(olderFile, double(older.distanceStep), comparison.older)},
            {QStringLiteral("newer"),
             eventsJson(newerFile, double(newer.distanceStep), comparison.newer)},
            {QStringLiteral("comparable"), comparison.comparable},
            {QStringLiteral("problem"),
             comparison.comparable ? QJsonValue() : QJsonValue(comparison.problem)},
            {QStringLiteral("changes"), pairs},
            {QStringLiteral("difference"),
             comparison.comparable ? QJsonValue(difference) : QJsonValue()}};
}

} // namespace protocol
