// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/events.h"

#include <QCoreApplication>
#include <QJsonArray>

#include <cmath>

namespace protocol {

namespace {

struct EventText
{
    Q_DECLARE_TR_FUNCTIONS(TraceEvent)
};

// Decimals that show a value to the precision of `uncertainty`, and the
// uncertainty rounded to one significant digit (two when it starts with 1).
int decimalsFor(double uncertainty)
{
    if (!(uncertainty > 0) || !std::isfinite(uncertainty))
        return 0;
    const int exponent = int(std::floor(std::log10(uncertainty)));
    const double lead = uncertainty / std::pow(10.0, exponent);
    return std::max(0, -exponent + (lead < 1.95 ? 1 : 0));
}

} // namespace

QString eventKindText(EventKind kind)
{
    switch (kind) {
    case EventKind::Open:
        return EventText::tr("Open");
    case EventKind::Short:
        return EventText::tr("Short");
    case EventKind::MinorHigh:
        return EventText::tr("Minor, higher");
    case EventKind::MinorLow:
        return EventText::tr("Minor, lower");
    case EventKind::EndOpen:
        return EventText::tr("Cable end (open)");
    case EventKind::EndShort:
        return EventText::tr("Cable end (short)");
    case EventKind::Echo:
        return EventText::tr("Echo");
    }
    return QString();
}

QString eventKindKey(EventKind kind)
{
    switch (kind) {
    case EventKind::Open:
        return QStringLiteral("open");
    case EventKind::Short:
        return QStringLiteral("short");
    case EventKind::MinorHigh:
        return QStringLiteral("minor_high");
    case EventKind::MinorLow:
        return QStringLiteral("minor_low");
    case EventKind::EndOpen:
        return QStringLiteral("end_open");
    case EventKind::EndShort:
        return QStringLiteral("end_short");
    case EventKind::Echo:
        return QStringLiteral("echo");
    }
    return QString();
}

QString eventDistanceText(const TraceEvent &event)
{
    const int decimals = decimalsFor(event.uncertainty);
    const double unit = std::pow(10.0, -decimals);
    double uncertainty = std::round(event.uncertainty / unit) * unit;
    if (decimals == 0 && uncertainty >= 20) {
        const double magnitude = std::pow(10.0, std::floor(std::log10(uncertainty)));
        uncertainty = std::round(event.uncertainty / magnitude) * magnitude;
    }
    return EventText::tr("%1 m ± %2 m")
        .arg(QString::number(event.distance, 'f', decimals),
             QString::number(uncertainty, 'f', decimals));
}

QString eventStrengthText(const EventAnalysis &analysis, const TraceEvent &event)
{
    if (!analysis.launchFound)
        return EventText::tr("%1 levels").arg(QString::number(event.height, 'f', 0));
    return EventText::tr("%1 %").arg(QString::number(100 * event.strength, 'f', 1));
}

QJsonObject eventsJson(const QString &file, double step, const EventAnalysis &analysis)
{
    QJsonArray events;
    for (const TraceEvent &e : analysis.events) {
        QJsonObject object{{QStringLiteral("distance_m"), e.distance},
                           {QStringLiteral("uncertainty_m"), e.uncertainty},
                           {QStringLiteral("peak_m"), e.peak},
                           {QStringLiteral("kind"), eventKindKey(e.kind)},
                           {QStringLiteral("level"), e.height}};
        object.insert(QStringLiteral("strength"),
                      analysis.launchFound ? QJsonValue(e.strength) : QJsonValue());
        events.append(object);
    }
    return {{QStringLiteral("file"), file},
            {QStringLiteral("step_m"), step},
            {QStringLiteral("launch"), analysis.launchFound},
            {QStringLiteral("launch_toe_m"), analysis.launchToe},
            {QStringLiteral("events"), events},
            {QStringLiteral("end"), analysis.end ? QJsonValue(*analysis.end) : QJsonValue()}};
}

} // namespace protocol
