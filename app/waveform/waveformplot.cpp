// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/waveform/waveformplot.h"

#include "app/waveform/ticks.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QGraphicsEllipseItem>
#include <QGraphicsLayout>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QtCharts/QChart>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include <cmath>

namespace {

constexpr int kMarkerZ = 60; // above series, grid and legend

// Distinct on white and for the common forms of colour blindness, in the
// order a comparison usually grows.
const QColor kPalette[] = {
    QColor(0x1f, 0x5f, 0xbf), QColor(0xd9, 0x48, 0x0f), QColor(0x2b, 0x8a, 0x3e),
    QColor(0x70, 0x48, 0xe8), QColor(0xc2, 0x25, 0x5c), QColor(0x0b, 0x72, 0x85),
    QColor(0xe6, 0x77, 0x00), QColor(0x5c, 0x3d, 0x2e), QColor(0x49, 0x50, 0x57),
    QColor(0x86, 0x8e, 0x1c),
};
const QColor kCursorColour(0x21, 0x25, 0x29);
const QColor kReferenceColour(0x86, 0x8e, 0x96);
const QColor kEventColour(0xc9, 0x2a, 0x2a);
const QColor kGridColour(0xdd, 0xe1, 0xe6);
const QColor kMinorGridColour(0xf1, 0xf3, 0xf5);
const QColor kAxisColour(0x86, 0x8e, 0x96);
const QColor kTextColour(0x34, 0x3a, 0x40);

// The texts belong with the window's.
struct PlotText
{
    Q_DECLARE_TR_FUNCTIONS(WaveformWindow)
};

QString metres(double value)
{
    return PlotText::tr("%1 m").arg(protocol::distanceText(value, 2));
}

} // namespace

WaveformPlot::WaveformPlot(QObject *parent) : QObject(parent)
{
    m_chart = new QChart;
    m_chart->setTheme(QChart::ChartThemeLight);
    m_chart->setBackgroundRoundness(0);
    m_chart->setBackgroundBrush(Qt::white);
    m_chart->setPlotAreaBackgroundBrush(Qt::white);
    m_chart->setPlotAreaBackgroundVisible(true);
    m_chart->setMargins(QMargins(8, 8, 16, 6));
    m_chart->layout()->setContentsMargins(0, 0, 0, 0);
    m_chart->setDropShadowEnabled(false);
    m_chart->setBackgroundPen(Qt::NoPen);
    m_chart->setAnimationOptions(QChart::NoAnimation);
    m_chart->setTitleBrush(kTextColour);

    QLegend *legend = m_chart->legend();
    legend->setAlignment(Qt::AlignBottom);
    legend->setMarkerShape(QLegend::MarkerShapeRectangle);
    legend->setLabelColor(kTextColour);

    const auto styleAxis = [](QValueAxis *axis, const QString &title) {
        QFont titleFont = axis->titleFont();
        titleFont.setPointSizeF(9.5);
        titleFont.setBold(false);
        axis->setTitleFont(titleFont);
        axis->setTitleText(title);
        axis->setTitleBrush(kTextColour);
        axis->setLabelsColor(kTextColour);
        axis->setLinePen(QPen(kAxisColour, 1));
        axis->setGridLinePen(QPen(kGridColour, 1));
        axis->setMinorGridLinePen(QPen(kMinorGridColour, 1));
        axis->setShadesVisible(false);
        axis->setTickType(QValueAxis::TicksDynamic);
        axis->setTickAnchor(0);
    };
    m_xAxis = new QValueAxis(this);
    styleAxis(m_xAxis, PlotText::tr("Distance, m"));
    m_xAxis->setMinorTickCount(4);
    m_yAxis = new QValueAxis(this);
    styleAxis(m_yAxis, PlotText::tr("Signal level"));
    m_yAxis->setTickInterval(32);
    m_yAxis->setMinorTickCount(1);
    m_yAxis->setLabelFormat(QStringLiteral("%d"));
    m_chart->addAxis(m_xAxis, Qt::AlignBottom);
    m_chart->addAxis(m_yAxis, Qt::AlignLeft);
    resetZoom();

    connect(m_xAxis, &QValueAxis::rangeChanged, this, &WaveformPlot::updateMarkers);
    connect(m_yAxis, &QValueAxis::rangeChanged, this, &WaveformPlot::updateMarkers);
    connect(m_chart, &QChart::plotAreaChanged, this, &WaveformPlot::updateMarkers);
    connect(m_chart, &QChart::plotAreaChanged, this, &WaveformPlot::fitTicks);
    m_cursorMarker = makeMarker(kCursorColour, Qt::SolidLine);
    m_referenceMarker = makeMarker(kReferenceColour, Qt::DashLine);
}

// The chart belongs to the view that shows it.
WaveformPlot::~WaveformPlot() = default;

QColor WaveformPlot::colourAt(int index)
{
    constexpr int count = int(sizeof kPalette / sizeof kPalette[0]);
    return kPalette[index % count];
}

WaveformPlot::Marker WaveformPlot::makeMarker(const QColor &colour, Qt::PenStyle style)
{
    auto *line = new QGraphicsLineItem(m_chart);
    line->setPen(QPen(colour, 1.5, style));
    line->setZValue(kMarkerZ);
    auto *tag = new QGraphicsRectItem(m_chart);
    tag->setBrush(colour);
    tag->setPen(Qt::NoPen);
    tag->setZValue(kMarkerZ + 1);
    auto *text = new QGraphicsSimpleTextItem(tag);
    text->setBrush(Qt::white);
    QFont font = text->font();
    font.setPointSizeF(8.5);
    font.setBold(true);
    text->setFont(font);
    line->hide();
    tag->hide();
    return {line, tag, {}};
}

void WaveformPlot::setTraces(const QVector<protocol::Trace> &traces)
{
    m_traces = traces;
    for (QAbstractSeries *series : m_chart->series()) {
        m_chart->removeSeries(series);
        delete series;
    }
    m_events = nullptr;
    m_difference = nullptr;
    if (m_differenceAxis) {
        m_chart->removeAxis(m_differenceAxis);
        delete m_differenceAxis;
        m_differenceAxis = nullptr;
    }
    for (Marker *marker : {&m_cursorMarker, &m_referenceMarker}) {
        qDeleteAll(marker->dots);
        marker->dots.clear();
    }
    for (int i = 0; i < m_traces.size(); ++i) {
        auto *series = new QLineSeries;
        series->setName(protocol::traceShortName(m_traces.at(i)));
        series->replace(m_traces.at(i).points);
        series->setPen(QPen(colourAt(i), m_traces.size() == 1 ? 1.8 : 1.5));
        m_chart->addSeries(series);
        series->attachAxis(m_xAxis);
        series->attachAxis(m_yAxis);
        for (Marker *marker : {&m_cursorMarker, &m_referenceMarker}) {
            auto *dot = new QGraphicsEllipseItem(-4, -4, 8, 8, m_chart);
            dot->setBrush(Qt::white);
            dot->setPen(QPen(colourAt(i), 2));
            dot->setZValue(kMarkerZ + 2);
            dot->hide();
            marker->dots.append(dot);
        }
    }
    if (!m_traces.isEmpty()) {
        m_events = new QScatterSeries;
        m_events->setName(PlotText::tr("Events"));
        m_events->setMarkerShape(QScatterSeries::MarkerShapeCircle);
        m_events->setMarkerSize(9);
        m_events->setColor(Qt::white);
        m_events->setBorderColor(kEventColour);
        m_chart->addSeries(m_events);
        m_events->attachAxis(m_xAxis);
        m_events->attachAxis(m_yAxis);
        m_events->setVisible(m_eventsVisible);
        for (QLegendMarker *marker : m_chart->legend()->markers(m_events))
            marker->setVisible(false);
    }
    // One trace needs no legend: the title names it.
    m_chart->legend()->setVisible(m_traces.size() > 1);
    resetZoom();
    updateTitle();
}

void WaveformPlot::setEvents(const QVector<protocol::TraceEvent> &events, int traceIndex)
{
    if (!m_events || traceIndex < 0 || traceIndex >= m_traces.size())
        return;
    const protocol::Trace &trace = m_traces.at(traceIndex);
    QVector<QPointF> points;
    for (const protocol::TraceEvent &event : events)
        points.append(QPointF(event.distance, trace.points.at(trace.indexAt(event.distance)).y()));
    m_events->replace(points);
    m_events->setBorderColor(m_traces.size() == 1 ? kEventColour : colourAt(traceIndex));
}

void WaveformPlot::setEventsVisible(bool visible)
{
    m_eventsVisible = visible;
    if (m_events)
        m_events->setVisible(visible);
}

void WaveformPlot::setCursors(const std::optional<double> &cursor,
                              const std::optional<double> &reference)
{
    m_cursor = cursor;
    m_reference = reference;
    updateMarkers();
}

void WaveformPlot::resetZoom()
{
    double from = 0;
    double full = 0;
    for (const protocol::Trace &trace : qAsConst(m_traces)) {
        full = qMax(full, trace.maxDistance());
        if (!trace.points.isEmpty())
            from = qMin(from, trace.points.constFirst().x());
    }
    m_fullFrom = from;
    m_fullDistance = full > from ? full : from + 100;
    setXRange(m_fullFrom, m_fullDistance);
    setYRange(0, kLevelMax);
}

namespace {

// The axis lays its ticks out as soon as either the range or the interval
// changes: the old interval over a much wider range means millions of ticks.
// Whichever change keeps the tick count small goes first.
void setAxisRange(QValueAxis *axis, double from, double to, double interval)
{
    if (interval > axis->tickInterval()) {
        axis->setTickInterval(interval);
        axis->setRange(from, to);
    } else {
        axis->setRange(from, to);
        axis->setTickInterval(interval);
    }
}

} // namespace

void WaveformPlot::setXRange(double from, double to)
{
    // The plot area is not laid out before the chart is first shown.
    const double width = m_chart->plotArea().width() > 0 ? m_chart->plotArea().width() : 800;
    const QFontMetricsF metrics(m_xAxis->labelsFont());
    const auto widest = [&](int decimals) {
        return qMax(metrics.horizontalAdvance(QString::number(from, 'f', decimals)),
                    metrics.horizontalAdvance(QString::number(to, 'f', decimals)));
    };
    double interval = distanceTickInterval(to - from, width, widest(0));
    // Fractions widen the labels, which may call for fewer of them.
    if (decimalsFor(interval) > 0)
        interval = distanceTickInterval(to - from, width, widest(decimalsFor(interval)));
    m_xAxis->setLabelFormat(QStringLiteral("%.%1f").arg(decimalsFor(interval)));
    setAxisRange(m_xAxis, from, to, interval);
}

void WaveformPlot::fitTicks()
{
    const double from = m_xAxis->min();
    const double to = m_xAxis->max();
    setXRange(from, to);
}

void WaveformPlot::setYRange(double from, double to)
{
    setAxisRange(m_yAxis, from, to, qMax(1.0, niceInterval(to - from, 8))); // levels are whole
}

void WaveformPlot::zoomTo(double from, double to)
{
    from = qBound(m_fullFrom, from, m_fullDistance);
    to = qBound(m_fullFrom, to, m_fullDistance);
    if (to - from > 1e-6)
        setXRange(from, to);
}

void WaveformPlot::zoomTo(const QPointF &a, const QPointF &b)
{
    const double y0 = qBound(0.0, qMin(a.y(), b.y()), kLevelMax);
    const double y1 = qBound(0.0, qMax(a.y(), b.y()), kLevelMax);
    if (y1 - y0 <= 0.5)
        return;
    zoomTo(qMin(a.x(), b.x()), qMax(a.x(), b.x()));
    setYRange(y0, y1);
}

void WaveformPlot::wheelZoom(double centre, double factor)
{
    const double step = m_traces.isEmpty() ? 1.0 : double(m_traces.first().distanceStep);
    const double full = m_fullDistance - m_fullFrom;
    const double span = qBound(4 * step, (m_xAxis->max() - m_xAxis->min()) * factor, full);
    const double share = (centre - m_xAxis->min()) / (m_xAxis->max() - m_xAxis->min());
    const double x0 = qBound(m_fullFrom, centre - share * span, m_fullDistance - span);
    setXRange(x0, x0 + span);
}

void WaveformPlot::pan(double byDistance, double byLevel)
{
    const double span = m_xAxis->max() - m_xAxis->min();
    const double x0 =
        qBound(m_fullFrom, m_xAxis->min() + byDistance, qMax(m_fullFrom, m_fullDistance - span));
    if (std::abs(x0 - m_xAxis->min()) > 1e-12)
        m_xAxis->setRange(x0, x0 + span); // same width, same ticks
    const double height = m_yAxis->max() - m_yAxis->min();
    const double y0 = qBound(0.0, m_yAxis->min() + byLevel, qMax(0.0, kLevelMax - height));
    if (std::abs(y0 - m_yAxis->min()) > 1e-12)
        m_yAxis->setRange(y0, y0 + height);
}

void WaveformPlot::panStep(int across, int up)
{
    pan(across * (m_xAxis->max() - m_xAxis->min()) / 10,
        up * (m_yAxis->max() - m_yAxis->min()) / 10);
}

void WaveformPlot::ensureVisible(double distance)
{
    if (distance >= m_xAxis->min() && distance <= m_xAxis->max())
        return;
    const double span = m_xAxis->max() - m_xAxis->min();
    const double x0 =
        qBound(m_fullFrom, distance - span / 2, qMax(m_fullFrom, m_fullDistance - span));
    m_xAxis->setRange(x0, x0 + span);
}

void WaveformPlot::updateTitle()
{
    QString head;
    QString detail;
    if (m_traces.size() == 1) {
        const protocol::Trace &trace = m_traces.first();
        head = protocol::traceShortName(trace);
        detail = protocol::traceSummary(trace);
        // A download's name already says when it was measured.
        const QString when =
            protocol::traceDateText(trace) + QLatin1Char(' ') + protocol::traceTimeText(trace);
        if (head.contains(when) && detail.startsWith(when + QStringLiteral(" · ")))
            detail = detail.mid(when.size() + 3);
    } else if (m_traces.size() > 1) {
        head = PlotText::tr("%n records", "", m_traces.size());
        // What all the overlaid records share is said once.
        const auto same = [this](auto field) {
            for (const protocol::Trace &trace : qAsConst(m_traces))
                if (field(trace) != field(m_traces.first()))
                    return false;
            return true;
        };
        QStringList parts;
        const protocol::Trace &first = m_traces.first();
        if (same([](const protocol::Trace &t) { return protocol::traceDateText(t); }))
            parts << protocol::traceDateText(first);
        if (same([](const protocol::Trace &t) { return t.range; }))
            parts << PlotText::tr("range %1 m").arg(first.range);
        if (same([](const protocol::Trace &t) { return t.distanceStep; }))
            parts << PlotText::tr("step %1 m")
                         .arg(protocol::distanceText(double(first.distanceStep), 3));
        if (same([](const protocol::Trace &t) { return t.serialNumber; }))
            parts << PlotText::tr("sn %1").arg(protocol::traceSerialText(first));
        detail = parts.join(QStringLiteral(" · "));
    }
    if (head.isEmpty()) {
        m_chart->setTitle(QString());
        return;
    }
    m_chart->setTitle(QStringLiteral("<div style='font-size:11.5pt; font-weight:600;'>%1</div>"
                                     "<div style='font-size:9.5pt; color:#495057;'>%2</div>")
                          .arg(head.toHtmlEscaped(), detail.toHtmlEscaped()));
}

void WaveformPlot::updateMarkers()
{
    updateMarker(m_cursorMarker, m_cursor, PlotText::tr("Cursor"));
    updateMarker(m_referenceMarker, m_reference, PlotText::tr("Ref"));
}

void WaveformPlot::updateMarker(Marker &marker, const std::optional<double> &distance,
                                const QString &name)
{
    const bool visible = distance && !m_traces.isEmpty() && *distance >= m_xAxis->min() - 1e-9 &&
                         *distance <= m_xAxis->max() + 1e-9;
    marker.line->setVisible(visible);
    marker.tag->setVisible(visible);
    for (QGraphicsItem *dot : qAsConst(marker.dots))
        dot->setVisible(false);
    if (!visible)
        return;

    const auto series = m_chart->series();
    const QRectF area = m_chart->plotArea();
    const double x = m_chart->mapToPosition(QPointF(*distance, 0), series.first()).x();
    static_cast<QGraphicsLineItem *>(marker.line)->setLine(x, area.top(), x, area.bottom());

    auto *tag = static_cast<QGraphicsRectItem *>(marker.tag);
    auto *text = static_cast<QGraphicsSimpleTextItem *>(tag->childItems().constFirst());
    text->setText(name.isEmpty() ? metres(*distance)
                                 : QStringLiteral("%1 %2").arg(name, metres(*distance)));
    const QRectF textRect = text->boundingRect();
    const QRectF box(0, 0, textRect.width() + 8, textRect.height() + 2);
    tag->setRect(box);
    text->setPos(4, 1);
    // The tag sits beside the line, inside the plot, on whichever side has room.
    const double left = x + box.width() + 2 <= area.right() ? x + 1 : x - box.width() - 1;
    const double top = area.top() + (&marker == &m_referenceMarker ? box.height() + 3 : 1);
    tag->setPos(left, top);

    for (int i = 0; i < m_traces.size() && i < marker.dots.size(); ++i) {
        const protocol::Trace &trace = m_traces.at(i);
        const QPointF at =
            m_chart->mapToPosition(trace.points.at(trace.indexAt(*distance)), series.at(i));
        QGraphicsItem *dot = marker.dots.at(i);
        dot->setPos(at);
        dot->setVisible(area.adjusted(-1, -1, 1, 1).contains(at));
    }
}
