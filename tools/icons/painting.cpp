// SPDX-License-Identifier: GPL-3.0-or-later
#include "painting.h"

#include <QLinearGradient>
#include <QPainterPathStroker>
#include <QtMath>

namespace icons {

namespace {

QLinearGradient vertical(const QRectF &r, const QColor &top, const QColor &bottom)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    return g;
}

} // namespace

void shape(QPainter &p, const QPainterPath &path, const QColor &hi, const QColor &lo, qreal outline,
           const QColor &line, bool gloss)
{
    const QRectF r = path.boundingRect();
    p.setPen(Qt::NoPen);
    p.setBrush(vertical(r, hi, lo));
    p.drawPath(path);
    if (gloss) {
        QPainterPath top;
        top.addRect(QRectF(r.left() - 1, r.top() - 1, r.width() + 2, r.height() * 0.45 + 1));
        QLinearGradient g(r.topLeft(), QPointF(r.left(), r.top() + r.height() * 0.45));
        g.setColorAt(0, QColor(255, 255, 255, 90));
        g.setColorAt(1, QColor(255, 255, 255, 10));
        p.setBrush(g);
        p.drawPath(path.intersected(top));
    }
    if (outline > 0) {
        p.setPen(QPen(line, outline, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
    }
}

QPainterPath rounded(const QRectF &r, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

QPainterPath polygon(std::initializer_list<QPointF> points)
{
    QPainterPath path;
    path.addPolygon(QPolygonF(QVector<QPointF>(points)));
    path.closeSubpath();
    return path;
}

QPainterPath reflectogram(const QRectF &box)
{
    const auto at = [&box](qreal u, qreal v) {
        return QPointF(box.left() + u * box.width() / 21, box.top() + v * box.height() / 12);
    };
    QPainterPath trace;
    trace.moveTo(at(0, 12));
    trace.lineTo(at(2.5, 12));
    trace.lineTo(at(4.5, 4));
    trace.lineTo(at(6, 7));
    trace.lineTo(at(12, 7));
    trace.cubicTo(at(14, 7), at(14, 0), at(15.5, 0));
    trace.cubicTo(at(17, 0), at(16.5, 9.5), at(18, 9.5));
    trace.cubicTo(at(19, 9.5), at(19, 7), at(21, 7));
    return trace;
}

QPainterPath stroked(const QPainterPath &path, qreal width, Qt::PenCapStyle cap)
{
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(cap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(path).simplified();
}

// A thick vertical arrow as one closed outline, pointing down or up.
QPainterPath arrow(qreal cx, qreal tail, qreal tip, qreal shaft, qreal head, qreal headLength)
{
    const qreal dir = tip > tail ? 1 : -1;
    const qreal neck = tip - dir * headLength;
    return polygon({{cx - shaft / 2, tail},
                    {cx + shaft / 2, tail},
                    {cx + shaft / 2, neck},
                    {cx + head / 2, neck},
                    {cx, tip},
                    {cx - head / 2, neck},
                    {cx - shaft / 2, neck}});
}

// The Bluetooth rune inside a box of the given height, centred on c.
QPainterPath bluetoothRune(QPointF c, qreal height)
{
    const qreal h = height / 2, w = height / 4;
    QPainterPath path;
    path.moveTo(c + QPointF(-w, -w));
    path.lineTo(c + QPointF(w, w));
    path.lineTo(c + QPointF(0, h));
    path.lineTo(c + QPointF(0, -h));
    path.lineTo(c + QPointF(w, -w));
    path.lineTo(c + QPointF(-w, w));
    return path;
}

// A circular arc of a thick arrow band from angle a0 to a1 (degrees, counter-clockwise, y
// up), with an arrow head at a1.
QPainterPath arcArrow(QPointF c, qreal radius, qreal a0, qreal a1, qreal band, qreal head)
{
    QPainterPath arc;
    const QRectF box(c.x() - radius, c.y() - radius, 2 * radius, 2 * radius);
    arc.arcMoveTo(box, a0);
    arc.arcTo(box, a0, a1 - a0);
    QPainterPath body = stroked(arc, band);

    const qreal t = qDegreesToRadians(a1);
    const QPointF end(c.x() + radius * qCos(t), c.y() - radius * qSin(t));
    const qreal sign = a1 > a0 ? 1 : -1;
    const QPointF tangent(-qSin(t) * sign, -qCos(t) * sign);
    const QPointF normal(qCos(t), -qSin(t));
    QPainterPath tip = polygon(
        {end + normal * head * 0.62, end + tangent * head * 0.95, end - normal * head * 0.62});
    // Overlap the head slightly with the band so that the union has no seam.
    return body
        .united(tip.united(polygon(
            {end + normal * band / 2 - tangent * 0.3, end + normal * band / 2 + tangent * 0.2,
             end - normal * band / 2 + tangent * 0.2, end - normal * band / 2 - tangent * 0.3})))
        .simplified();
}

} // namespace icons
