// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/waveform/chartview.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QtCharts/QChart>

#include <cmath>

WaveformChartView::WaveformChartView(QChart *chart, QWidget *parent)
    : QChartView(chart, parent), m_band(QRubberBand::Rectangle, viewport())
{
    setRenderHint(QPainter::Antialiasing);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    viewport()->setCursor(Qt::CrossCursor);
    setFrameShape(QFrame::NoFrame);
    setBackgroundBrush(Qt::white);
}

void WaveformChartView::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    setFocus(Qt::MouseFocusReason);
    if (event->button() == Qt::MiddleButton ||
        (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ControlModifier))) {
        m_panning = true;
        m_panFrom = event->pos();
        viewport()->setCursor(Qt::ClosedHandCursor);
        return;
    }
    const std::optional<QPointF> value = valueAt(event->pos());
    if (!value)
        return;
    if (event->button() == Qt::RightButton ||
        (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier))) {
        referencePlaced(value->x());
    } else if (event->button() == Qt::LeftButton) {
        m_origin = event->pos();
        m_pressing = true;
    }
}

void WaveformChartView::mouseMoveEvent(QMouseEvent *event)
{
    event->accept();
    if (m_panning) {
        const std::optional<QPointF> from = valueAt(m_panFrom, false);
        const std::optional<QPointF> to = valueAt(event->pos(), false);
        m_panFrom = event->pos();
        if (from && to)
            panRequested(from->x() - to->x(), from->y() - to->y());
        return;
    }
    if (m_pressing &&
        (event->pos() - m_origin).manhattanLength() >= QApplication::startDragDistance()) {
        m_band.setGeometry(QRect(m_origin, event->pos()).normalized() & plotAreaInViewport());
        m_band.show();
    }
    hovered(valueAt(event->pos()));
}

void WaveformChartView::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    if (m_panning) {
        m_panning = false;
        viewport()->setCursor(Qt::CrossCursor);
        return;
    }
    if (event->button() != Qt::LeftButton || !m_pressing)
        return;
    m_pressing = false;
    if (m_band.isVisible()) {
        m_band.hide();
        const QRect band = m_band.geometry();
        if (band.width() > 3 && band.height() > 3) {
            const std::optional<QPointF> a = valueAt(band.topLeft(), false);
            const std::optional<QPointF> b = valueAt(band.bottomRight(), false);
            if (a && b)
                zoomRequested(*a, *b);
        }
        return;
    }
    if (const std::optional<QPointF> value = valueAt(event->pos()))
        cursorPlaced(value->x());
}

void WaveformChartView::wheelEvent(QWheelEvent *event)
{
    event->accept();
    const std::optional<QPointF> value = valueAt(event->position().toPoint());
    const int delta = event->angleDelta().y();
    if (value && delta != 0)
        wheelZoomRequested(value->x(), std::pow(0.8, delta / 120.0));
}

void WaveformChartView::leaveEvent(QEvent *event)
{
    QChartView::leaveEvent(event);
    hovered(std::nullopt);
}

void WaveformChartView::keyPressEvent(QKeyEvent *event)
{
    const bool pan = event->modifiers() & Qt::ControlModifier;
    const int step = (event->modifiers() & Qt::ShiftModifier) ? 10 : 1;
    switch (event->key()) {
    case Qt::Key_Left:
        pan ? panStepRequested(-1, 0) : stepped(-step);
        break;
    case Qt::Key_Right:
        pan ? panStepRequested(1, 0) : stepped(step);
        break;
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (!pan) {
            QChartView::keyPressEvent(event);
            return;
        }
        panStepRequested(0, event->key() == Qt::Key_Up ? 1 : -1);
        break;
    case Qt::Key_Escape:
        m_pressing = false;
        m_band.hide();
        break;
    case Qt::Key_Home:
        resetRequested();
        break;
    default:
        QChartView::keyPressEvent(event);
        return;
    }
    event->accept();
}

QRect WaveformChartView::plotAreaInViewport() const
{
    return mapFromScene(chart()->mapToScene(chart()->plotArea()).boundingRect()).boundingRect();
}

std::optional<QPointF> WaveformChartView::valueAt(const QPoint &pos, bool insideOnly) const
{
    if (chart()->series().isEmpty())
        return std::nullopt;
    const QPointF inChart = chart()->mapFromScene(mapToScene(pos));
    if (insideOnly && !chart()->plotArea().adjusted(-1, -1, 1, 1).contains(inChart))
        return std::nullopt;
    return chart()->mapToValue(inChart, chart()->series().constFirst());
}
