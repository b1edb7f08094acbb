// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The palette and drawing helpers shared by every picture. Pictures are designed on a
// 32-unit grid (unless a canvas says otherwise) and rendered at their pixel size.

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <initializer_list>

namespace icons {

// One palette for the whole set.
inline const QColor ink(0x1f, 0x2a, 0x38);
inline const QColor blueHi(0x5a, 0xaa, 0xff), blueLo(0x16, 0x5f, 0xc8);
inline const QColor orangeHi(0xff, 0xb8, 0x52), orangeLo(0xe8, 0x6a, 0x10);
inline const QColor greenHi(0x6a, 0xdc, 0x7c), greenLo(0x1e, 0x96, 0x3a);
inline const QColor redHi(0xff, 0x74, 0x62), redLo(0xc4, 0x28, 0x1c);
inline const QColor greyHi(0xe4, 0xe8, 0xec), greyLo(0x93, 0x9d, 0xa8);
inline const QColor steelHi(0x58, 0x66, 0x76), steelLo(0x2a, 0x34, 0x40);
inline const QColor folderHi(0xff, 0xd8, 0x72), folderLo(0xf0, 0xa0, 0x1e);
inline const QColor screenHi(0x1b, 0x3c, 0x3c), screenLo(0x0b, 0x1c, 0x1e);
inline const QColor traceGreen(0x6c, 0xff, 0x9a);
inline const QColor traceCyan(0x4c, 0xd8, 0xff);

// Fills a shape with a top-to-bottom gradient, adds a soft gloss on its upper half and
// outlines it.
void shape(QPainter &p, const QPainterPath &path, const QColor &hi, const QColor &lo,
           qreal outline = 1.0, const QColor &line = ink, bool gloss = true);

QPainterPath rounded(const QRectF &r, qreal radius);
QPainterPath polygon(std::initializer_list<QPointF> points);
// A reflectogram: launch pulse, flat cable, the reflection at its end; drawn
// into the box (designed on 21 x 12 units).
QPainterPath reflectogram(const QRectF &box);

QPainterPath stroked(const QPainterPath &path, qreal width, Qt::PenCapStyle cap = Qt::FlatCap);

// A thick vertical arrow as one closed outline, pointing down or up.
QPainterPath arrow(qreal cx, qreal tail, qreal tip, qreal shaft, qreal head, qreal headLength);

// The Bluetooth rune inside a box of the given height, centred on c.
QPainterPath bluetoothRune(QPointF c, qreal height);

// A circular arc of a thick arrow band from angle a0 to a1 (degrees, counter-clockwise, y
// up), with an arrow head at a1.
QPainterPath arcArrow(QPointF c, qreal radius, qreal a0, qreal a1, qreal band, qreal head);

struct Canvas
{
    QImage image;
    QPainter painter;

    Canvas(int w, int h, qreal gridW = 32, qreal gridH = 32)
        : image(w, h, QImage::Format_ARGB32_Premultiplied)
    {
        image.fill(Qt::transparent);
        painter.begin(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                               QPainter::SmoothPixmapTransform);
        painter.scale(w / gridW, h / gridH);
    }
    QImage finish()
    {
        painter.end();
        return image.convertToFormat(QImage::Format_ARGB32);
    }
};

} // namespace icons
