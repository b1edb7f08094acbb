// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/waveform/faultsummary.h"

#include "protocol/trace.h"

#include <QCoreApplication>

#include <limits>

namespace {

struct SummaryText
{
    Q_DECLARE_TR_FUNCTIONS(WaveformWindow)
};

int rank(protocol::EventKind kind)
{
    switch (kind) {
    case protocol::EventKind::Open:
    case protocol::EventKind::Short:
        return 0;
    case protocol::EventKind::MinorHigh:
    case protocol::EventKind::MinorLow:
        return 1;
    case protocol::EventKind::EndOpen:
    case protocol::EventKind::EndShort:
        return 2;
    case protocol::EventKind::Echo:
        break;
    }
    return 3;
}

} // namespace

const protocol::TraceEvent *mainEvent(const protocol::EventAnalysis &analysis)
{
    const protocol::TraceEvent *best = nullptr;
    for (const protocol::TraceEvent &event : analysis.events) // by distance: the first wins
        if (rank(event.kind) < 3 && (!best || rank(event.kind) < rank(best->kind)))
            best = &event;
    return best;
}

QString mainEventText(const protocol::EventAnalysis &analysis)
{
    const protocol::TraceEvent *event = mainEvent(analysis);
    if (!event)
        return SummaryText::tr("No events");
    return QStringLiteral("%1, %2").arg(protocol::eventKindText(event->kind),
                                        protocol::eventDistanceText(*event));
}

FileSummary summarizeFile(const QString &path)
{
    const protocol::TraceResult result = protocol::readTrace(path);
    if (!result.ok())
        return {QString(), std::numeric_limits<double>::infinity(), QString()};
    const protocol::Trace &t = result.trace;
    const protocol::EventAnalysis analysis = protocol::detectEvents(t);
    const protocol::TraceEvent *event = mainEvent(analysis);
    return {mainEventText(analysis),
            event ? event->distance : std::numeric_limits<double>::infinity(),
            QString::asprintf("%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute,
                              t.second)};
}

void SummaryDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    QStringList second{index.data(kCableRole).toString(), index.data(kSummaryRole).toString()};
    second.removeAll(QString());
    if (!second.isEmpty())
        option->text += QChar(QChar::LineSeparator) + second.join(QStringLiteral(" · "));
}
