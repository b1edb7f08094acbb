// SPDX-License-Identifier: GPL-3.0-or-later
// The plot's comparison: a difference trace on an axis of its own, and
// event markers spread over several traces.
#include "app/waveform/waveformplot.h"

#include "app/waveform/ticks.h"

#include <QCoreApplication>
#include <QtCharts/QChart>
#include <QtCharts/QLegend>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include <cmath>


namespace {

const QColor kMarkColour(0xc9, 0x2a, 0x2a);
const QColor kDifferenceColour(0x21, 0x25, 0x29);

// The texts belong with the window's.
struct PlotText
{
    Q_DECLARE_TR_FUNCTIONS(WaveformWindow)
};

} // namespace

void WaveformPlot::setEventMarks(const QVector<QPair<double, int>> &marks)
{
    if (!m_events)
        return;
    QVector<QPointF> points;
    for (const auto &mark : marks) {
        if (mark.second < 0 || mark.second >= m_traces.size())
            continue;
        const protocol::Trace &trace = m_traces.at(mark.second);
        points.append(QPointF(mark.first, trace.points.at(trace.indexAt(mark.first)).y()));
    }
    m_events->replace(points);
    m_events->setBorderColor(kMarkColour);
}

void WaveformPlot::setDifference(const QVector<QPointF> &points, const QString &name)
{
    if (m_difference) {
        m_chart->removeSeries(m_difference);
        delete m_difference;
        m_difference = nullptr;
    }
    if (m_differenceAxis) {
        m_chart->removeAxis(m_differenceAxis);
        delete m_differenceAxis;
        m_differenceAxis = nullptr;
    }
    if (points.isEmpty() || m_traces.isEmpty())
        return;
    double largest = 0;
    for (const QPointF &point : points)
        largest = qMax(largest, std::abs(point.y()));
    // Symmetric, so that no difference sits mid-height, in whole 8-level steps.
    const double half = qMax(16.0, 8 * std::ceil(largest * 1.1 / 8));
    m_differenceAxis = new QValueAxis;
    m_differenceAxis->setTitleText(PlotText::tr("Difference, levels"));
    QFont titleFont = m_differenceAxis->titleFont();
    titleFont.setPointSizeF(9.5);
    titleFont.setBold(false);
    m_differenceAxis->setTitleFont(titleFont);
    m_differenceAxis->setTitleBrush(kDifferenceColour);
    m_differenceAxis->setLabelsColor(kDifferenceColour);
    m_differenceAxis->setLinePen(QPen(kDifferenceColour, 1));
    m_differenceAxis->setGridLineVisible(false);
    m_differenceAxis->setLabelFormat(QStringLiteral("%+d"));
    m_differenceAxis->setTickType(QValueAxis::TicksDynamic);
    m_differenceAxis->setTickAnchor(0);
    m_differenceAxis->setTickInterval(niceInterval(2 * half, 4));
    m_differenceAxis->setRange(-half, half);
    m_chart->addAxis(m_differenceAxis, Qt::AlignRight);
    m_difference = new QLineSeries;
    m_difference->setName(name);
    m_difference->replace(points);
    m_difference->setPen(QPen(kDifferenceColour, 1.4, Qt::SolidLine));
    m_chart->addSeries(m_difference);
    m_difference->attachAxis(m_xAxis);
    m_difference->attachAxis(m_differenceAxis);
    m_chart->legend()->setVisible(true);
}
