// SPDX-License-Identifier: GPL-3.0-or-later
#include "painting.h"
#include "pictures.h"

namespace icons {

QImage folder(bool open)
{
    Canvas c(32, 32);
    QPainter &p = c.painter;
    const QPainterPath back = polygon({{2.5, 8.5},
                                       {3.5, 5.5},
                                       {11.5, 5.5},
                                       {13.5, 8.0},
                                       {28.5, 8.0},
                                       {29.5, 9.0},
                                       {29.5, 27.5},
                                       {2.5, 27.5}});
    shape(p, back, folderLo.darker(105), QColor(0xc8, 0x7c, 0x10), 1.0, ink, false);
    if (open) {
        // A sheet of paper standing in the open folder.
        shape(p, polygon({{6.5, 10.5}, {25.5, 10.5}, {25.5, 22}, {6.5, 22}}), Qt::white,
              QColor(0xe6, 0xea, 0xee), 0.8);
        p.setPen(QPen(greyLo, 1.0));
        for (qreal y : {14.0, 17.0})
            p.drawLine(QPointF(9.5, y), QPointF(22.5, y));
        shape(p, polygon({{6.0, 14.5}, {31.0, 14.5}, {27.0, 27.5}, {1.5, 27.5}}), folderHi,
              folderLo);
    } else {
        shape(p, rounded(QRectF(2.5, 11.5, 27, 16), 1.5), folderHi, folderLo);
    }
    return c.finish();
}

QImage transfer(bool download)
{
    Canvas c(32, 32);
    QPainter &p = c.painter;
    shape(p, rounded(QRectF(2.5, 19.5, 27, 9), 2), greyHi, greyLo);
    shape(p, polygon({{8.0, 19.5}, {24.0, 19.5}, {22.0, 23.0}, {10.0, 23.0}}), steelLo, steelHi,
          1.0, ink, false);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 150));
    p.drawRoundedRect(QRectF(5, 25, 22, 1.2), 0.6, 0.6);
    if (download)
        shape(p, arrow(16, 1.5, 22.5, 7, 17, 9), blueHi, blueLo);
    else
        shape(p, arrow(16, 21.5, 1.5, 7, 17, 9), orangeHi, orangeLo);
    return c.finish();
}

QImage computerWithBluetooth()
{
    Canvas c(32, 32);
    QPainter &p = c.painter;
    // Stand and foot.
    shape(p, polygon({{11.5, 20.5}, {16.5, 20.5}, {18.0, 26.0}, {10.0, 26.0}}), greyHi, greyLo,
          0.9);
    shape(p, rounded(QRectF(6.5, 25.5, 15, 3), 1.2), greyHi, greyLo, 0.9);
    // Monitor.
    shape(p, rounded(QRectF(1.5, 3.5, 25, 18), 2), steelHi, steelLo, 1.0, ink, false);
    QPainterPath screen = rounded(QRectF(3.5, 5.5, 21, 14), 0.8);
    shape(p, screen, blueHi, blueLo, 0);
    p.save();
    p.setClipPath(screen);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 55));
    p.drawPolygon(QPolygonF({{3.5, 5.5}, {17.0, 5.5}, {7.0, 19.5}, {3.5, 19.5}}));
    p.restore();
    // Bluetooth badge.
    QPainterPath badge;
    badge.addEllipse(QPointF(24.0, 23.0), 7.3, 7.3);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(24.0, 23.0), 8.4, 8.4);
    shape(p, badge, QColor(0x3a, 0x8c, 0xf0), QColor(0x0c, 0x4a, 0xa8), 1.0);
    p.setPen(QPen(Qt::white, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(bluetoothRune(QPointF(24.0, 23.0), 9.0));
    return c.finish();
}

QImage reflectometer()
{
    Canvas c(32, 32);
    QPainter &p = c.painter;
    // Test connector on top.
    shape(p, rounded(QRectF(12.5, 0.5, 7, 4), 1), greyHi, greyLo, 0.9);
    p.setPen(QPen(ink, 0.8));
    p.drawLine(QPointF(14.5, 1.2), QPointF(14.5, 3.8));
    p.drawLine(QPointF(17.5, 1.2), QPointF(17.5, 3.8));
    // Rubber boot around the case.
    shape(p, rounded(QRectF(4.5, 3.5, 23, 28), 4.5), orangeHi, orangeLo);
    shape(p, rounded(QRectF(7.0, 6.0, 18, 23), 2.5), steelHi, steelLo, 0.9, ink, false);
    // Screen with a trace: launch step and a reflection.
    QPainterPath screen = rounded(QRectF(8.5, 7.5, 15, 11), 1);
    shape(p, screen, screenHi, screenLo, 0.9, QColor(0x0a, 0x12, 0x14), false);
    QPainterPath trace;
    trace.moveTo(9.6, 16.2);
    trace.lineTo(11.2, 16.2);
    trace.lineTo(12.2, 11.2);
    trace.lineTo(17.2, 11.2);
    trace.lineTo(18.3, 9.0);
    trace.lineTo(19.4, 13.6);
    trace.lineTo(20.3, 11.2);
    trace.lineTo(22.4, 11.2);
    p.setPen(QPen(traceGreen, 1.1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(trace);
    // Keys.
    for (qreal x : {11.0, 16.0, 21.0}) {
        QPainterPath key;
        key.addEllipse(QPointF(x, 22.2), 1.7, 1.7);
        shape(p, key, greyHi, greyLo, 0.6, ink, false);
    }
    QPainterPath power;
    power.addEllipse(QPointF(16.0, 26.4), 1.7, 1.7);
    shape(p, power, greenHi, greenLo, 0.6, ink, false);
    shape(p, rounded(QRectF(9.3, 25.5, 3.6, 1.8), 0.9), greyHi, greyLo, 0.5, ink, false);
    shape(p, rounded(QRectF(19.1, 25.5, 3.6, 1.8), 0.9), greyHi, greyLo, 0.5, ink, false);
    return c.finish();
}

QImage bluetoothScan()
{
    Canvas c(32, 32);
    QPainter &p = c.painter;
    const QPointF centre(16, 16);
    // Radar waves on both sides, fading outwards.
    int alpha = 255;
    for (qreal r : {10.5, 14.5}) {
        QColor wave = blueLo;
        wave.setAlpha(alpha);
        p.setPen(QPen(wave, 2.2, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        const QRectF box(centre.x() - r, centre.y() - r, 2 * r, 2 * r);
        p.drawArc(box, -38 * 16, 76 * 16);
        p.drawArc(box, 142 * 16, 76 * 16);
        alpha = 150;
    }
    QPainterPath badge = rounded(QRectF(9.5, 4.0, 13, 24), 6.5);
    shape(p, badge, QColor(0x3a, 0x8c, 0xf0), QColor(0x0c, 0x4a, 0xa8), 1.0);
    p.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(bluetoothRune(centre, 15));
    return c.finish();
}

QImage refreshArrows()
{
    Canvas c(32, 32);
    QPainter &p = c.painter;
    const QPointF centre(16, 16);
    shape(p, arcArrow(centre, 10.5, 200, 345, 4.6, 9.5), blueHi, blueLo, 1.0, ink, false);
    shape(p, arcArrow(centre, 10.5, 20, 165, 4.6, 9.5), greenHi, greenLo, 1.0, ink, false);
    return c.finish();
}

QImage listRefresh()
{
    // 32 × 33: a list sheet with a refresh badge.
    Canvas c(32, 33, 32, 33);
    QPainter &p = c.painter;
    shape(p, rounded(QRectF(2.5, 2.5, 20, 27), 1.5), Qt::white, QColor(0xdc, 0xe2, 0xe8));
    for (int i = 0; i < 5; ++i) {
        const qreal y = 7.0 + i * 4.5;
        p.setPen(Qt::NoPen);
        p.setBrush(blueLo);
        p.drawEllipse(QPointF(6.5, y), 1.3, 1.3);
        p.setBrush(greyLo);
        p.drawRoundedRect(QRectF(9.5, y - 0.9, i % 2 ? 8.5 : 10.5, 1.8), 0.9, 0.9);
    }
    QPainterPath disc;
    disc.addEllipse(QPointF(23.0, 24.0), 8.3, 8.3);
    shape(p, disc, Qt::white, QColor(0xe6, 0xea, 0xee), 1.0);
    shape(p, arcArrow(QPointF(23.0, 24.0), 4.6, 110, 380, 2.6, 5.6), greenHi, greenLo, 0.8, ink,
          false);
    return c.finish();
}

// Plug and socket on a diagonal; joined when connected, apart when not.
QImage connector(bool connected)
{
    Canvas c(32, 32);
    QPainter &p = c.painter;
    p.translate(16, 16);
    p.rotate(-45);
    const qreal gap = connected ? 0 : 3.6;
    const QColor bodyHi = connected ? greenHi : greyHi;
    const QColor bodyLo = connected ? greenLo : greyLo;

    // Cables.
    p.setPen(QPen(ink, 3.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(-21, 0), QPointF(-12 - gap, 0));
    p.drawLine(QPointF(12 + gap, 0), QPointF(21, 0));

    // Pins of the plug, visible only while it is out.
    if (!connected) {
        for (qreal y : {-2.6, 2.6})
            shape(p, rounded(QRectF(-2.0 - gap, y - 0.9, 4.2, 1.8), 0.5), greyHi, steelHi, 0.6, ink,
                  false);
    }
    // Plug: a body with grip ridges.
    shape(p, rounded(QRectF(-13.5 - gap, -5.5, 12, 11), 2), bodyHi, bodyLo);
    p.setPen(QPen(QColor(0, 0, 0, 70), 0.9));
    for (qreal x : {-10.5, -8.0})
        p.drawLine(QPointF(x - gap, -3.5), QPointF(x - gap, 3.5));
    // Socket.
    shape(p, rounded(QRectF(-1.5 + gap, -6.5, 14, 13), 2), bodyHi, bodyLo);
    if (!connected) {
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        for (qreal y : {-2.6, 2.6})
            p.drawRoundedRect(QRectF(-1.0 + gap, y - 1.0, 2.0, 2.0), 0.5, 0.5);
    }
    if (!connected) {
        // Red sparks around the gap.
        p.setPen(QPen(redLo, 1.7, Qt::SolidLine, Qt::RoundCap));
        for (qreal side : {-1.0, 1.0}) {
            p.drawLine(QPointF(0.2, side * 8.0), QPointF(0.2, side * 11.5));
            p.drawLine(QPointF(-2.6, side * 7.6), QPointF(-4.6, side * 10.2));
            p.drawLine(QPointF(3.0, side * 7.6), QPointF(5.0, side * 10.2));
        }
    }
    return c.finish();
}

QImage cancelTransfer()
{
    Canvas c(32, 32);
    QPainter &p = c.painter;
    QPainterPath disc;
    disc.addEllipse(QPointF(16, 16), 14, 14);
    shape(p, disc, redHi, redLo, 1.0);
    QPainterPath cross;
    cross.moveTo(10.5, 10.5);
    cross.lineTo(21.5, 21.5);
    cross.moveTo(21.5, 10.5);
    cross.lineTo(10.5, 21.5);
    p.setPen(QPen(Qt::white, 4.0, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(cross);
    return c.finish();
}

QImage waveformView()
{
    Canvas c(32, 32);
    QPainter &p = c.painter;
    QPainterPath sheet = rounded(QRectF(1.5, 3.5, 29, 25), 2);
    shape(p, sheet, Qt::white, QColor(0xe2, 0xe8, 0xee));
    p.setPen(QPen(QColor(0xb8, 0xc4, 0xd0), 0.7));
    for (int i = 1; i < 4; ++i) {
        p.drawLine(QPointF(4.5 + i * 6, 6), QPointF(4.5 + i * 6, 25));
        p.drawLine(QPointF(4.5, 6 + i * 5), QPointF(27.5, 6 + i * 5));
    }
    p.setPen(QPen(ink, 1.1, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4.5, 5.5), QPointF(4.5, 25.5));
    p.drawLine(QPointF(4.5, 25.5), QPointF(28, 25.5));
    QPainterPath trace;
    trace.moveTo(5.0, 22.5);
    trace.lineTo(7.5, 22.5);
    trace.lineTo(9.5, 12.5);
    trace.lineTo(11.0, 16.0);
    trace.lineTo(17.0, 16.0);
    QPainterPath pulse;
    pulse.moveTo(17.0, 16.0);
    pulse.cubicTo(19.0, 16.0, 19.0, 7.5, 20.8, 7.5);
    pulse.cubicTo(22.5, 7.5, 22.0, 19.5, 23.8, 19.5);
    pulse.cubicTo(25.0, 19.5, 25.0, 16.0, 27.5, 16.0);
    p.setPen(QPen(blueLo, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(trace);
    p.setPen(QPen(orangeLo, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(pulse);
    return c.finish();
}

} // namespace icons
