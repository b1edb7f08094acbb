// SPDX-License-Identifier: GPL-3.0-or-later
// Comparing with last time: files added from any folder, and the events of
// two traces set against each other, with their difference as a trace of
// its own.
#include "app/waveform/waveformwindow.h"

#include "app/waveform/eventtable.h"
#include "app/waveform/waveformplot.h"
#include "protocol/compare.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>

#include <tuple>

namespace {

auto measuredAt(const protocol::Trace &t)
{
    return std::make_tuple(t.year, t.month, t.day, t.hour, t.minute, t.second);
}

// "#002" for a download, the short name otherwise.
QString tagOf(const protocol::Trace &trace)
{
    const QString name = protocol::traceShortName(trace);
    return name.startsWith(QLatin1Char('#')) ? name.section(QLatin1Char(' '), 0, 0) : name;
}

} // namespace

void WaveformWindow::updateBanner(const QString &comparisonProblem)
{
    QStringList lines = m_errors;
    if (!comparisonProblem.isEmpty())
        lines << comparisonProblem;
    m_banner->setText(lines.join(QLatin1Char('\n')));
    m_banner->setVisible(!lines.isEmpty());
}

void WaveformWindow::updateEvents()
{
    const int index = selectedTraceIndex();
    m_compareCandidates.clear();
    if (index < 0) {
        m_events = {};
        m_eventTable->setEvents({}, QString());
        m_eventTable->setCompareChoices({}, -1);
        m_labelLine->hide();
        return;
    }
    const QVector<protocol::Trace> &traces = m_measurement.traces();
    const protocol::Trace &trace = traces.at(index);
    m_events = protocol::detectEvents(trace);
    updateLabelLine();

    QStringList names;
    QVector<int> others;
    int chosen = -1;
    for (int i = 0; i < traces.size(); ++i) {
        if (i == index)
            continue;
        if (m_compareWith && m_tracePaths.value(i) == *m_compareWith)
            chosen = others.size();
        names << protocol::traceShortName(traces.at(i));
        others << i;
        m_compareCandidates << m_tracePaths.value(i);
    }
    if (!m_compareWith && !others.isEmpty())
        chosen = 0;
    m_eventTable->setCompareChoices(names, chosen);

    const auto alone = [&](const QString &problem) {
        m_eventTable->setEvents(m_events, protocol::traceShortName(trace));
        m_plot->setEvents(m_events.events, index);
        m_plot->setDifference({}, QString());
        updateBanner(problem);
    };
    if (chosen < 0)
        return alone(QString());
    // The earlier measurement is the older; on a tie, the one compared with.
    const int otherIndex = others.at(chosen);
    const bool otherFirst = measuredAt(traces.at(otherIndex)) <= measuredAt(trace);
    const int olderIndex = otherFirst ? otherIndex : index;
    const int newerIndex = otherFirst ? index : otherIndex;
    const protocol::Trace &older = traces.at(olderIndex);
    const protocol::Trace &newer = traces.at(newerIndex);
    const protocol::TraceComparison comparison = protocol::compareTraces(older, newer);
    if (!comparison.comparable)
        return alone(comparison.problem);

    m_eventTable->setComparison(comparison, protocol::traceShortName(older),
                                protocol::traceShortName(newer));
    QVector<QPair<double, int>> marks;
    for (const protocol::EventPair &pair : comparison.pairs)
        marks.append({pair.distance, pair.newer ? newerIndex : olderIndex});
    m_plot->setEventMarks(marks);
    QString name = tr("Difference %1 − %2").arg(tagOf(newer), tagOf(older));
    if (comparison.resampled)
        name = tr("%1 (every %2 m)").arg(name, protocol::distanceText(comparison.gridStep, 3));
    m_plot->setDifference(comparison.difference, name);
    updateBanner(QString());
}

void WaveformWindow::addFiles(const QStringList &fileNames)
{
    QStringList paths = m_shownPaths;
    for (const QString &name : fileNames)
        if (!paths.contains(pathFor(name)))
            paths.append(pathFor(name));
    showFiles(paths);
}

void WaveformWindow::removeAddedFiles()
{
    bool removed = false;
    for (const QListWidgetItem *item : m_list->selectedItems())
        removed = m_addedPaths.removeAll(itemPath(item)) > 0 || removed;
    if (!removed)
        return;
    QStringList shown;
    for (const QString &path : qAsConst(m_shownPaths))
        if (QFileInfo(path).absolutePath() == m_directory || m_addedPaths.contains(path))
            shown.append(path);
    m_shownPaths = shown;
    fillList();
    plotPaths(shown);
}

void WaveformWindow::addFilesInteractive()
{
    const QStringList files = QFileDialog::getOpenFileNames(this, tr("Add Waveforms"), m_directory,
                                                            tr("TDR waveforms (*.tdr)"));
    if (!files.isEmpty())
        addFiles(files);
}
