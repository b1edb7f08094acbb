// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/waveform/glyphs.h"

#include <QPainter>
#include <QPixmap>

QIcon glyphIcon(Glyph glyph)
{
    QIcon icon;
    for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled}) {
        const QColor ink =
            mode == QIcon::Normal ? QColor(0x34, 0x3a, 0x40) : QColor(0xad, 0xb5, 0xbd);
        const QColor accent = mode == QIcon::Normal ? QColor(0x1f, 0x5f, 0xbf) : ink;
        for (const int size : {16, 24, 32, 48}) {
            QPixmap pixmap(size, size);
            pixmap.fill(Qt::transparent);
            QPainter p(&pixmap);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(size / 24.0, size / 24.0);
            QPen pen(ink, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            switch (glyph) {
            case Glyph::Refresh:
                p.drawArc(QRectF(4.5, 4.5, 15, 15), 70 * 16, 290 * 16);
                p.drawPolyline(QPolygonF({QPointF(11, 1.8), QPointF(15, 4.8), QPointF(11.5, 8.5)}));
                break;
            case Glyph::Fit:
                for (const QPointF &c :
                     {QPointF(4, 4), QPointF(20, 4), QPointF(20, 20), QPointF(4, 20)}) {
                    const double sx = c.x() < 12 ? 1 : -1;
                    const double sy = c.y() < 12 ? 1 : -1;
                    p.drawPolyline(QPolygonF({c + QPointF(0, 5 * sy), c, c + QPointF(5 * sx, 0)}));
                }
                p.setPen(QPen(accent, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                p.drawPolyline(QPolygonF({QPointF(7, 14), QPointF(10, 14), QPointF(12, 9),
                                          QPointF(14, 16), QPointF(17, 12)}));
                break;
            case Glyph::Reference:
                p.setPen(QPen(ink, 1.8, Qt::DashLine, Qt::FlatCap));
                p.drawLine(QPointF(8, 3), QPointF(8, 21));
                p.setPen(pen);
                p.drawLine(QPointF(17, 3), QPointF(17, 21));
                p.setPen(QPen(accent, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                p.drawLine(QPointF(9.5, 12), QPointF(15.5, 12));
                p.drawPolyline(QPolygonF({QPointF(11.5, 10), QPointF(9.5, 12), QPointF(11.5, 14)}));
                p.drawPolyline(
                    QPolygonF({QPointF(13.5, 10), QPointF(15.5, 12), QPointF(13.5, 14)}));
                break;
            case Glyph::Clear:
                p.drawLine(QPointF(9, 3), QPointF(9, 21));
                p.setPen(QPen(QColor(mode == QIcon::Normal ? QColor(0xc9, 0x2a, 0x2a) : ink), 2,
                              Qt::SolidLine, Qt::RoundCap));
                p.drawLine(QPointF(13.5, 9.5), QPointF(20.5, 16.5));
                p.drawLine(QPointF(20.5, 9.5), QPointF(13.5, 16.5));
                break;
            case Glyph::Table:
                p.drawRoundedRect(QRectF(4, 3, 16, 18), 1.5, 1.5);
                p.setPen(QPen(ink, 1.2));
                for (const double y : {8.0, 12.5, 17.0})
                    p.drawLine(QPointF(4, y), QPointF(20, y));
                p.drawLine(QPointF(11, 3), QPointF(11, 21));
                p.setPen(Qt::NoPen);
                p.setBrush(accent);
                p.drawRect(QRectF(4.6, 3.6, 14.8, 4));
                break;
            case Glyph::Image:
                p.drawRoundedRect(QRectF(3, 5, 18, 14), 1.5, 1.5);
                p.setPen(QPen(accent, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                p.drawPolyline(QPolygonF({QPointF(5, 15), QPointF(8.5, 15), QPointF(10.5, 9),
                                          QPointF(13, 16), QPointF(15, 12.5), QPointF(19, 12.5)}));
                break;
            case Glyph::Open:
                p.drawPolyline(QPolygonF({QPointF(3, 19), QPointF(3, 5), QPointF(9, 5),
                                          QPointF(11, 7.5), QPointF(19, 7.5), QPointF(19, 10)}));
                p.setPen(QPen(accent, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                p.drawPolygon(QPolygonF(
                    {QPointF(3, 19), QPointF(6.5, 10.5), QPointF(22, 10.5), QPointF(18.5, 19)}));
                break;
            case Glyph::Report:
                p.drawPolygon(QPolygonF({QPointF(5, 2.5), QPointF(14.5, 2.5), QPointF(19, 7),
                                         QPointF(19, 21.5), QPointF(5, 21.5)}));
                p.drawPolyline(QPolygonF({QPointF(14.5, 2.5), QPointF(14.5, 7), QPointF(19, 7)}));
                p.setPen(QPen(accent, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                p.drawPolyline(QPolygonF({QPointF(7.5, 13), QPointF(10, 13), QPointF(11.5, 9.5),
                                          QPointF(13, 15), QPointF(14.5, 13), QPointF(16.5, 13)}));
                p.setPen(QPen(ink, 1.2));
                p.drawLine(QPointF(7.5, 18), QPointF(16.5, 18));
                break;
            case Glyph::Markers:
                p.drawPolyline(QPolygonF({QPointF(2, 15), QPointF(7, 15), QPointF(9, 8),
                                          QPointF(11, 15), QPointF(22, 15)}));
                p.setPen(Qt::NoPen);
                p.setBrush(accent);
                p.drawPolygon(QPolygonF({QPointF(9, 6), QPointF(6.5, 2), QPointF(11.5, 2)}));
                p.drawPolygon(QPolygonF({QPointF(17, 17), QPointF(14.5, 21), QPointF(19.5, 21)}));
                break;
            }
            p.end();
            icon.addPixmap(pixmap, mode);
        }
    }
    return icon;
}
