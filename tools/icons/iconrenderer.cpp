// Draws every picture of the Varnel Reader resource bundle and writes it as PNG (and the
// application icon as a multi-image ICO). Most pictures are designed on a 32-unit grid and
// rendered at their pixel size; shapes are bold and outlined so that they survive the tool
// bar scaling them to 70 px.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QRadialGradient>
#include <QtEndian>
#include <QtMath>

#include <cstdio>
#include <functional>

namespace {

// One palette for the whole set.
const QColor ink(0x1f, 0x2a, 0x38);
const QColor blueHi(0x5a, 0xaa, 0xff), blueLo(0x16, 0x5f, 0xc8);
const QColor orangeHi(0xff, 0xb8, 0x52), orangeLo(0xe8, 0x6a, 0x10);
const QColor greenHi(0x6a, 0xdc, 0x7c), greenLo(0x1e, 0x96, 0x3a);
const QColor redHi(0xff, 0x74, 0x62), redLo(0xc4, 0x28, 0x1c);
const QColor greyHi(0xe4, 0xe8, 0xec), greyLo(0x93, 0x9d, 0xa8);
const QColor steelHi(0x58, 0x66, 0x76), steelLo(0x2a, 0x34, 0x40);
const QColor folderHi(0xff, 0xd8, 0x72), folderLo(0xf0, 0xa0, 0x1e);
const QColor screenHi(0x1b, 0x3c, 0x3c), screenLo(0x0b, 0x1c, 0x1e);
const QColor traceGreen(0x6c, 0xff, 0x9a);
const QColor traceCyan(0x4c, 0xd8, 0xff);

QLinearGradient vertical(const QRectF &r, const QColor &top, const QColor &bottom)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    return g;
}

// Fills a shape with a top-to-bottom gradient, adds a soft gloss on its upper half and
// outlines it.
void shape(QPainter &p, const QPainterPath &path, const QColor &hi, const QColor &lo,
           qreal outline = 1.0, const QColor &line = ink, bool gloss = true)
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

QPainterPath stroked(const QPainterPath &path, qreal width, Qt::PenCapStyle cap = Qt::FlatCap)
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

// ---- pictures -----------------------------------------------------------------------

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

QFont wordmarkFont(qreal pixelSize, int weight = QFont::Bold)
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
    QPainterPath trace;
    trace.moveTo(5.5, 21.5);
    trace.lineTo(8.0, 21.5);
    trace.lineTo(10.0, 13.5);
    trace.lineTo(11.5, 16.5);
    trace.lineTo(17.5, 16.5);
    trace.cubicTo(19.5, 16.5, 19.5, 9.5, 21.0, 9.5);
    trace.cubicTo(22.5, 9.5, 22.0, 19.0, 23.5, 19.0);
    trace.cubicTo(24.5, 19.0, 24.5, 16.5, 26.5, 16.5);
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

// ---- output ---------------------------------------------------------------------------

bool save(const QImage &image, const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s %dx%d\n", qPrintable(path), image.width(), image.height());
    return true;
}

// One DIB entry of an ICO file: 32-bit BGRA rows bottom-up, then the 1-bit AND mask.
QByteArray icoBitmap(const QImage &source)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width(), h = image.height();
    QByteArray out(40, '\0');
    auto put32 = [&out](int offset, quint32 v) {
        qToLittleEndian(v, reinterpret_cast<uchar *>(out.data()) + offset);
    };
    auto put16 = [&out](int offset, quint16 v) {
        qToLittleEndian(v, reinterpret_cast<uchar *>(out.data()) + offset);
    };
    const int maskStride = ((w + 31) / 32) * 4;
    put32(0, 40);
    put32(4, quint32(w));
    put32(8, quint32(h * 2)); // colour and mask rows together
    put16(12, 1);
    put16(14, 32);
    put32(20, quint32(w * h * 4 + maskStride * h));
    for (int y = h - 1; y >= 0; --y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const char px[4] = {char(qBlue(line[x])), char(qGreen(line[x])), char(qRed(line[x])),
                                char(qAlpha(line[x]))};
            out.append(px, 4);
        }
    }
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(maskStride, '\0');
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            if (qAlpha(line[x]) == 0)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        }
        out.append(row);
    }
    return out;
}

bool saveIco(const QList<QImage> &images, const QString &path)
{
    QByteArray header(6 + 16 * images.size(), '\0');
    auto put16 = [&header](int offset, quint16 v) {
        qToLittleEndian(v, reinterpret_cast<uchar *>(header.data()) + offset);
    };
    auto put32 = [&header](int offset, quint32 v) {
        qToLittleEndian(v, reinterpret_cast<uchar *>(header.data()) + offset);
    };
    put16(2, 1); // icon
    put16(4, quint16(images.size()));
    QByteArray body;
    for (int i = 0; i < images.size(); ++i) {
        const QByteArray entry = icoBitmap(images.at(i));
        const int at = 6 + 16 * i;
        header[at] = char(images.at(i).width() & 0xff); // 256 would be stored as 0
        header[at + 1] = char(images.at(i).height() & 0xff);
        put16(at + 4, 1);
        put16(at + 6, 32);
        put32(at + 8, quint32(entry.size()));
        put32(at + 12, quint32(header.size() + body.size()));
        body.append(entry);
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(header + body) != header.size() + body.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s (%d images)\n", qPrintable(path), int(images.size()));
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: %s <resources-dir>\n", qPrintable(args.value(0)));
        return 2;
    }
    const QString ico = args.at(1) + QStringLiteral("/buttons/ico/");
    const QString ico2 = ico + QStringLiteral("ico2/");

    const std::pair<QString, std::function<QImage()>> pictures[] = {
        {ico2 + "dir01.png", [] { return folder(false); }},
        {ico2 + "dir02.png", [] { return folder(true); }},
        {ico2 + "load.png", [] { return transfer(true); }},
        {ico2 + "rec.png", [] { return transfer(false); }},
        {ico2 + "s&c.png", computerWithBluetooth},
        {ico2 + "ref.png", reflectometer},
        {ico2 + "blu.png", bluetoothScan},
        {ico2 + "refresh01.png", refreshArrows},
        {ico2 + "refresh02.png", listRefresh},
        {ico2 + "connekt.png", [] { return connector(true); }},
        {ico2 + "disconnekt.png", [] { return connector(false); }},
        {ico2 + "logo300.png", logoLarge},
        {ico2 + "logo_100.png", logoSmall},
        {ico2 + "cancel.png", cancelTransfer},
        {ico2 + "wave.png", waveformView},
        {ico + "varnel_16.png", [] { return applicationIcon(16); }},
        {ico + "varnel.png", [] { return applicationIcon(32); }},
        {ico + "varnel_64.png", [] { return applicationIcon(64); }},
        {ico + "tdr.png", waveScreen},
        {ico + "cable.png", coaxCable},
    };
    bool ok = true;
    for (const auto &[path, draw] : pictures)
        ok = save(draw(), path) && ok;
    ok = saveIco({applicationIcon(32), applicationIcon(16), applicationIcon(64)},
                 ico + "varnel_reader.ico") &&
         ok;
    return ok ? 0 : 1;
}
