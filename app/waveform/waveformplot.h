// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/events.h"
#include "protocol/qtcompat.h"
#include "protocol/trace.h"

#include <QColor>
#include <QObject>
#include <QVector>

#include <optional>

class QGraphicsItem;

// The chart of one or several traces against distance, with the cursor and
// reference lines, the event markers, and the zoomed range.
class WaveformPlot : public QObject
{
    Q_OBJECT

public:
    static constexpr double kLevelMax =
        256; // samples are bytes; 256 keeps the top grid line labelled

    explicit WaveformPlot(QObject *parent = nullptr);
    ~WaveformPlot() override;

    QChart *chart() const { return m_chart; }
    QValueAxis *xAxis() const { return m_xAxis; }
    static QColor colourAt(int index);

    void setTraces(const QVector<protocol::Trace> &traces);
    void setCursors(const std::optional<double> &cursor, const std::optional<double> &reference);
    // Markers for the events of the trace at `traceIndex`.
    void setEvents(const QVector<protocol::TraceEvent> &events, int traceIndex);
    // Markers at distances, each on the trace at its index.
    void setEventMarks(const QVector<QPair<double, int>> &marks);
    // A trace of differences in levels, on an axis of its own at the right
    // with 0 in the middle; nothing removes it.
    void setDifference(const QVector<QPointF> &points, const QString &name);
    void setEventsVisible(bool visible);
    bool eventsVisible() const { return m_eventsVisible; }

    // The whole axis: samples before the launch lie at negative distances.
    double fullFrom() const { return m_fullFrom; }
    double fullDistance() const { return m_fullDistance; }
    void resetZoom();
    void zoomTo(double from, double to);
    void zoomTo(const QPointF &a, const QPointF &b); // a rubber band's corners
    void wheelZoom(double centre, double factor);
    void pan(double byDistance, double byLevel);
    void panStep(int across, int up); // in tenths of the view
    // Moves the view, keeping its width, so that `distance` is in it.
    void ensureVisible(double distance);

private:
    struct Marker
    {
        QGraphicsItem *line = nullptr;
        QGraphicsItem *tag = nullptr;
        QVector<QGraphicsItem *> dots;
    };

    void setXRange(double from, double to);
    void fitTicks(); // after the plot area changed size
    void setYRange(double from, double to);
    void updateTitle();
    void updateMarkers();
    void updateMarker(Marker &marker, const std::optional<double> &distance, const QString &name);
    Marker makeMarker(const QColor &colour, Qt::PenStyle style);

    QChart *m_chart = nullptr;
    QValueAxis *m_xAxis = nullptr;
    QValueAxis *m_yAxis = nullptr;
    QScatterSeries *m_events = nullptr;
    QValueAxis *m_differenceAxis = nullptr;
    QLineSeries *m_difference = nullptr;
    QVector<protocol::Trace> m_traces;
    double m_fullFrom = 0;
    double m_fullDistance = 100;
    std::optional<double> m_cursor;
    std::optional<double> m_reference;
    bool m_eventsVisible = true;
    Marker m_cursorMarker;
    Marker m_referenceMarker;
};
