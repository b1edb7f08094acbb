// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/qtcompat.h"

#include <QRubberBand>
#include <QtCharts/QChartView>

#include <functional>
#include <optional>

// The plot with the interaction a technician expects: drag a rectangle to
// zoom, click to place the cursor, right-click or Shift+click for the
// reference, wheel to zoom the distance axis around the pointer, arrow keys
// to step the cursor sample by sample. Once zoomed, the middle button or
// Ctrl+drag pans, and so do Ctrl+arrow keys.
class WaveformChartView : public QChartView
{
public:
    WaveformChartView(QChart *chart, QWidget *parent);

    std::function<void(double)> cursorPlaced;
    std::function<void(double)> referencePlaced;
    std::function<void(const std::optional<QPointF> &)> hovered;
    std::function<void(int)> stepped;
    std::function<void(const QPointF &, const QPointF &)> zoomRequested;
    std::function<void(double, double)> wheelZoomRequested; // centre, factor
    std::function<void(double, double)> panRequested;       // by distance, by level
    std::function<void(int, int)> panStepRequested;         // tenths of the view across, up
    std::function<void()> resetRequested;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override { mousePressEvent(event); }
    void wheelEvent(QWheelEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QRect plotAreaInViewport() const;
    // The value under a viewport position; nothing outside the plot area
    // unless `insideOnly` is false.
    std::optional<QPointF> valueAt(const QPoint &pos, bool insideOnly = true) const;

    QRubberBand m_band;
    QPoint m_origin;
    bool m_pressing = false;
    bool m_panning = false;
    QPoint m_panFrom;
};
