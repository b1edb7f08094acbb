// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/waveform/reportwriter.h"

#include "app/waveform/eventtable.h"
#include "records/outputfile.h"

#include <QFileInfo>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>

namespace {

const QColor kInk(0x21, 0x25, 0x29);
const QColor kMuted(0x6c, 0x75, 0x7d);
const QColor kRule(0xce, 0xd4, 0xda);
const QColor kShade(0xf1, 0xf3, 0xf5);

// Sizes are in points: the page is laid out on a 72-per-inch grid whatever
// the device's resolution.
QFont font(double size, bool bold = false)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(qRound(size * 4));
    f.setBold(bold);
    return f;
}

} // namespace

ReportWriter::ReportWriter(const ReportContent &content, PlotPainter plot)
    : m_pages{{content, std::move(plot)}}
{}

ReportWriter::ReportWriter(const QVector<Page> &pages) : m_pages(pages) {}

QList<QPair<QString, QString>> ReportWriter::metadata(int page) const
{
    return metadataOf(m_pages.at(page).content);
}

QList<QPair<QString, QString>> ReportWriter::metadataOf(const ReportContent &content)
{
    const protocol::Trace &trace = content.trace;
    static const QRegularExpression number(QStringLiteral("^#(\\d+) "));
    const QRegularExpressionMatch match = number.match(trace.fileName);
    return {
        {tr("File"), trace.fileName},
        {tr("Instrument"),
         tr("model %1, serial number %2").arg(trace.model).arg(protocol::traceSerialText(trace))},
        {tr("Record"), match.hasMatch() ? match.captured(1) : tr("not known")},
        {tr("Measured"),
         protocol::traceDateText(trace) + QLatin1Char(' ') + protocol::traceTimeText(trace)},
        {tr("Range"), tr("%1 m").arg(trace.range)},
        {tr("Length"), tr("%1 m").arg(QString::number(double(trace.length), 'g', 6))},
        {tr("Step"), tr("%1 m").arg(protocol::distanceText(double(trace.distanceStep), 4))},
        {tr("Traces on the plot"), QString::number(content.traceCount)},
    };
}

bool ReportWriter::writePdf(const QString &path, QString *error) const
{
    OutputFile file(path);
    if (!file.open()) {
        *error = file.errorString();
        return false;
    }
    {
        QPdfWriter writer(file.device());
        QStringList names;
        for (const Page &page : m_pages)
            names << page.content.trace.fileName;
        writer.setTitle(tr("Reflectogram report: %1").arg(names.join(QStringLiteral(", "))));
        writer.setCreator(QStringLiteral("Varnel Reader"));
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(288);
        print(&writer);
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

void ReportWriter::print(QPagedPaintDevice *device) const
{
    QPainter painter(device);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    // Lay out on a grid of quarter points; the printable area is the page.
    const double scale = device->logicalDpiX() / 288.0;
    painter.scale(scale, scale);
    for (int i = 0; i < m_pages.size(); ++i) {
        if (i > 0)
            device->newPage();
        paintPage(painter, QSizeF(device->width() / scale, device->height() / scale),
                  m_pages.at(i));
    }
}

void ReportWriter::paintPage(QPainter &painter, const QSizeF &size, const Page &page) const
{
    const ReportContent &content = page.content;
    const double margin = 40 * 4;
    const double left = margin;
    const double width = size.width() - 2 * margin;
    double y = margin;
    const auto text = [&](const QRectF &box, const QString &string, const QFont &f,
                          const QColor &colour, int flags = Qt::AlignLeft | Qt::AlignTop) {
        painter.setFont(f);
        painter.setPen(colour);
        QRectF used;
        painter.drawText(box, flags | Qt::TextWordWrap, string, &used);
        return used.height();
    };
    const auto rule = [&](double at) {
        painter.setPen(QPen(kRule, 2));
        painter.drawLine(QPointF(left, at), QPointF(left + width, at));
    };

    // Heading.
    text(QRectF(left, y, width, 80), tr("Reflectogram report"), font(17, true), kInk);
    text(QRectF(left, y + 8, width, 60),
         content.created.toString(QStringLiteral("yyyy-MM-dd HH:mm")), font(9), kMuted,
         Qt::AlignRight | Qt::AlignTop);
    y += 84;
    y += text(QRectF(left, y, width, 60), protocol::traceShortName(content.trace), font(10.5),
              kMuted);
    y += 16;
    rule(y);
    y += 24;

    // What was measured: the file and the instrument on lines of their own,
    // the rest in two columns.
    const auto fields = metadataOf(content);
    const double column = width / 2;
    const double lineHeight = 52;
    painter.setFont(font(9));
    for (int i = 0; i < 2; ++i) {
        const QString value = painter.fontMetrics().elidedText(fields.at(i).second, Qt::ElideMiddle,
                                                               int(width - 460));
        text(QRectF(left, y, 430, lineHeight), fields.at(i).first, font(9), kMuted);
        text(QRectF(left + 440, y, width - 440, lineHeight), value, font(9), kInk);
        y += lineHeight;
    }
    const int rows = (int(fields.size()) - 1) / 2; // six fields, three rows
    for (int i = 2; i < fields.size(); ++i) {
        const double x = left + ((i - 2) / rows) * column;
        const double row = y + ((i - 2) % rows) * lineHeight;
        text(QRectF(x, row, 430, lineHeight), fields.at(i).first, font(9), kMuted);
        text(QRectF(x + 440, row, column - 460, lineHeight), fields.at(i).second, font(9), kInk);
    }
    y += rows * lineHeight + 24;

    // The plot as the window draws it, cursors included.
    const QRectF plot(left, y, width, width * 0.56);
    painter.save();
    page.plot(painter, plot);
    painter.restore();
    painter.setPen(QPen(kRule, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(plot);
    y = plot.bottom() + 20;

    // The cursors' readout.
    if (!content.readout.isEmpty()) {
        const QRectF box(left, y, width, 200);
        painter.setFont(font(9));
        const QRectF need =
            painter.boundingRect(box.adjusted(20, 12, -20, 0), Qt::TextWordWrap, content.readout);
        painter.fillRect(QRectF(left, y, width, need.height() + 24), kShade);
        text(box.adjusted(20, 12, -20, 0), content.readout, font(9), kInk);
        y += need.height() + 24 + 28;
    }

    // The events.
    text(QRectF(left, y, width, 60),
         content.events.events.isEmpty() ? tr("No events above the noise") : tr("Events"),
         font(11, true), kInk);
    y += 64;
    if (!EventTable::caption(content.events).isEmpty()) {
        text(QRectF(left, y, width, 50), EventTable::caption(content.events), font(9), kMuted);
        y += 50;
    }
    const QStringList headers = EventTable::headers();
    const double widths[] = {0.1, 0.3, 0.3, 0.3};
    const double rowHeight = 44;
    const double footer = size.height() - margin - 40;
    const double noteSpace = content.note.isEmpty() ? 0 : 200;
    const auto drawRow = [&](const QStringList &cells, bool head) {
        double x = left;
        for (int c = 0; c < cells.size(); ++c) {
            const double w = width * widths[c];
            const int align = (c == 2 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter;
            text(QRectF(x + 10, y, w - 40, rowHeight), cells.at(c), font(9, head),
                 head ? kMuted : kInk, align);
            x += w;
        }
        y += rowHeight;
        rule(y);
    };
    if (!content.events.events.isEmpty())
        drawRow(headers, true);
    for (int i = 0; i < content.events.events.size(); ++i) {
        if (y + 2 * rowHeight > footer - noteSpace && i + 1 < content.events.events.size()) {
            text(QRectF(left, y + 6, width, rowHeight),
                 tr("… and %1 more").arg(content.events.events.size() - i), font(9), kMuted);
            y += rowHeight;
            break;
        }
        drawRow(EventTable::rowTexts(i + 1, content.events, content.events.events.at(i)), false);
    }
    y += 32;

    // The note.
    if (!content.note.isEmpty()) {
        text(QRectF(left, y, width, 60), tr("Note"), font(11, true), kInk);
        y += 60;
        text(QRectF(left, y, width, footer - y), content.note, font(9.5), kInk);
    }

    rule(footer);
    text(QRectF(left, footer + 8, width, 40), tr("Varnel Reader"), font(8), kMuted);
}
