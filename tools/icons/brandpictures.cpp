// SPDX-License-Identifier: GPL-3.0-or-later
#include "painting.h"
#include "pictures.h"

#include <QFont>
#include <QFontMetricsF>

#include <utility>

namespace icons {

// The application icon: a reflectogram with its reflection pulse on a dark rounded tile.
QImage applicationIcon(int size)
{
    Canvas c(size, size, 64, 64);
    QPainter &p = c.painter;
    const bool small = size <= 16;
    const QRectF tileRect = small ? QRectF(1, 1, 62, 62) : QRectF(3, 3, 58, 58);
    QPainterPath tile = rounded(tileRect, small ? 10 : 12);
    shape(p, tile, QColor(0x25, 0x4a, 0x72), QColor(0x0c, 0x1a, 0x2c), small ? 0 : 2.0,
          QColor(0x08, 0x12, 0x1e), !small);
    if (!small) {
        p.save();
        p.setClipPath(tile);
        p.setPen(QPen(QColor(0x6c, 0xc8, 0xff, 40), 1.0));
        for (int i = 1; i < 5; ++i) {
            p.drawLine(QPointF(3 + i * 11.6, 3), QPointF(3 + i * 11.6, 61));
            p.drawLine(QPointF(3, 3 + i * 11.6), QPointF(61, 3 + i * 11.6));
        }
        p.restore();
    }
    QPainterPath trace;
    trace.moveTo(8, 46);
    trace.lineTo(13, 46);
    trace.lineTo(17, 24);
    trace.lineTo(20, 34);
    trace.lineTo(36, 34);
    QPainterPath pulse;
    pulse.moveTo(36, 34);
    pulse.cubicTo(40, 34, 41, 13, 44.5, 13);
    pulse.cubicTo(48, 13, 47, 40, 50.5, 40);
    pulse.cubicTo(53, 40, 53, 34, 57, 34);
    const qreal width = small ? 6.5 : 4.2;
    for (const auto &[path, colour] :
         {std::pair<QPainterPath, QColor>{trace, traceCyan}, {pulse, orangeHi}}) {
        QColor glow = colour;
        glow.setAlpha(70);
        if (!small) {
            p.setPen(QPen(glow, width * 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPath(path);
        }
        p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(path);
    }
    return c.finish();
}

// A record file: a sheet with a folded corner that carries the reflectogram.
QImage recordFileIcon(int size)
{
    Canvas c(size, size, 64, 64);
    QPainter &p = c.painter;
    const bool small = size <= 16;
    const QPainterPath sheet = polygon({{10, 3}, {42, 3}, {55, 16}, {55, 61}, {10, 61}});
    shape(p, sheet, Qt::white, greyHi, small ? 2.5 : 1.6, greyLo, false);
    shape(p, polygon({{42, 3}, {42, 16}, {55, 16}}), greyHi, greyLo, small ? 2.0 : 1.2, greyLo,
          false);
    p.setPen(QPen(blueLo, small ? 5.5 : 3.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(reflectogram(QRectF(15, 22, 36, 26)));
    return c.finish();
}

namespace {

// The maker's mark: a blue disc with an "H" whose bar is a pulse.
void halvernMark(QPainter &p, QPointF centre, qreal radius)
{
    QPainterPath disc;
    disc.addEllipse(centre, radius, radius);
    shape(p, disc, blueHi, blueLo, radius / 14.0, QColor(0x0e, 0x3a, 0x7a));
    const qreal u = radius / 10.0;
    QPainterPath h;
    h.moveTo(centre + QPointF(-4.2 * u, -5.2 * u));
    h.lineTo(centre + QPointF(-4.2 * u, 5.2 * u));
    h.moveTo(centre + QPointF(4.2 * u, -5.2 * u));
    h.lineTo(centre + QPointF(4.2 * u, 5.2 * u));
    h.moveTo(centre + QPointF(-4.2 * u, 0.8 * u));
    h.lineTo(centre + QPointF(-1.6 * u, 0.8 * u));
    h.lineTo(centre + QPointF(0.0, -3.0 * u));
    h.lineTo(centre + QPointF(1.6 * u, 0.8 * u));
    h.lineTo(centre + QPointF(4.2 * u, 0.8 * u));
    p.setPen(QPen(Qt::white, 2.2 * u, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(h);
}

QFont wordmarkFont(qreal pixelSize, QFont::Weight weight = QFont::Bold)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(qRound(pixelSize));
    font.setWeight(weight);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

// Draws text as a path so that it is placed to sub-pixel precision; returns its advance.
qreal drawWord(QPainter &p, const QString &text, const QFont &font, QPointF baseline,
               const QBrush &brush, qreal spacing = 0)
{
    QPainterPath path;
    qreal x = baseline.x();
    const QFontMetricsF metrics(font);
    for (const QChar ch : text) {
        path.addText(QPointF(x, baseline.y()), font, QString(ch));
        x += metrics.horizontalAdvance(ch) + spacing;
    }
    p.setPen(Qt::NoPen);
    p.setBrush(brush);
    p.drawPath(path);
    return x - spacing - baseline.x();
}

qreal wordWidth(const QString &text, const QFont &font, qreal spacing)
{
    const QFontMetricsF metrics(font);
    return metrics.horizontalAdvance(text) + spacing * (text.size() - 1);
}
} // namespace

QImage logoSmall()
{
    Canvas c(100, 32, 100, 32);
    QPainter &p = c.painter;
    halvernMark(p, QPointF(14.5, 16), 12.5);
    const QFont font = wordmarkFont(17);
    const QString word = QStringLiteral("HALVERN");
    const qreal spacing = 0.4;
    const qreal width = wordWidth(word, font, spacing);
    const qreal left = 31.5;
    const qreal scale = qMin(1.0, (99.0 - left) / width);
    p.save();
    p.translate(left, 0);
    p.scale(scale, 1.0);
    drawWord(p, word, font, QPointF(0, 22.0), ink, spacing);
    p.restore();
    return c.finish();
}

QImage logoLarge()
{
    Canvas c(300, 150, 300, 150);
    QPainter &p = c.painter;
    halvernMark(p, QPointF(150, 42), 32);
    const QFont font = wordmarkFont(46);
    const QString word = QStringLiteral("HALVERN");
    qreal spacing = 3;
    qreal width = wordWidth(word, font, spacing);
    drawWord(p, word, font, QPointF((300 - width) / 2, 119), ink, spacing);
    const QFont small = wordmarkFont(15, QFont::DemiBold);
    const QString sub = QStringLiteral("INSTRUMENTS");
    spacing = 6.2;
    width = wordWidth(sub, small, spacing);
    drawWord(p, sub, small, QPointF((300 - width) / 2, 142), blueLo, spacing);
    return c.finish();
}

QImage waveScreen()
{
    Canvas c(32, 32);
    QPainter &p = c.painter;
    QPainterPath frame = rounded(QRectF(1.5, 4.5, 29, 23), 3);
    shape(p, frame, steelHi, steelLo, 1.0, ink, false);
    QPainterPath screen = rounded(QRectF(4.0, 7.0, 24, 18), 1.2);
    shape(p, screen, screenHi, screenLo, 0);
    p.setPen(QPen(QColor(0x6c, 0xff, 0x9a, 45), 0.6));
    for (int i = 1; i < 4; ++i) {
        p.drawLine(QPointF(4 + i * 6, 7), QPointF(4 + i * 6, 25));
        p.drawLine(QPointF(4, 7 + i * 4.5), QPointF(28, 7 + i * 4.5));
    }
    const QPainterPath trace = reflectogram(QRectF(5.5, 9.5, 21, 12));
    p.setPen(QPen(traceGreen, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(trace);
    return c.finish();
}

QImage coaxCable()
{
    Canvas c(32, 32);
    QPainter &p = c.painter;
    // A stripped coaxial cable end: jacket, braid, dielectric and centre conductor.
    p.translate(16, 16);
    p.rotate(-45);
    shape(p, rounded(QRectF(-22, -5.5, 20, 11), 1.5), QColor(0x5a, 0x62, 0x6c),
          QColor(0x16, 0x1c, 0x22), 1.0, ink, false);
    shape(p, rounded(QRectF(-2.5, -4.5, 7, 9), 1), QColor(0xf6, 0xcc, 0x90),
          QColor(0xb0, 0x64, 0x24), 0.9);
    p.setPen(QPen(QColor(0x80, 0x44, 0x10, 160), 0.6));
    for (qreal x : {-1.0, 1.0, 3.0}) {
        p.drawLine(QPointF(x, -4), QPointF(x + 1.2, 4));
        p.drawLine(QPointF(x + 1.2, -4), QPointF(x, 4));
    }
    shape(p, rounded(QRectF(4.5, -3.2, 7, 6.4), 0.8), Qt::white, QColor(0xcc, 0xd6, 0xde), 0.9);
    shape(p, rounded(QRectF(11.5, -1.3, 7.5, 2.6), 1.2), QColor(0xff, 0xd0, 0x90),
          QColor(0xc0, 0x6c, 0x20), 0.8);
    return c.finish();
}
} // namespace icons
