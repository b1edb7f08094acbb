// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/events.h"
#include "protocol/trace.h"
#include "records/labelbook.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QVector>

#include <functional>

class QPagedPaintDevice;
class QPainter;

// A one-page report of a trace for someone who was not there: what was
// measured, which cable, by whom and where, the plot with its cursors, the
// events, the readout and a note.
struct ReportContent
{
    protocol::Trace trace; // the trace the events belong to
    int traceCount = 1;    // traces on the plot
    CableLabel label;      // of the traces on the plot
    protocol::EventAnalysis events;
    QString readout;
    QString note;
    QString technician;
    QString site;
    QDateTime created;
};

class ReportWriter
{
    Q_DECLARE_TR_FUNCTIONS(ReportWriter)

public:
    // Draws the plot into the rectangle it is given, in the painter's units.
    using PlotPainter = std::function<void(QPainter &, const QRectF &)>;

    struct Page
    {
        ReportContent content;
        PlotPainter plot;
    };

    ReportWriter(const ReportContent &content, PlotPainter plot);
    explicit ReportWriter(const QVector<Page> &pages); // one page each, in order

    // A4 pages as PDF, written whole or not at all.
    bool writePdf(const QString &path, QString *error) const;
    // Any paged device: a printer, or a PDF writer.
    void print(QPagedPaintDevice *device) const;

    // "File", "Instrument" ... and their values on a page, in the order shown:
    // the first `wideFields` on lines of their own, the rest in two columns.
    QList<QPair<QString, QString>> metadata(int page = 0) const;
    static int wideFields(const ReportContent &content);

private:
    static QList<QPair<QString, QString>> metadataOf(const ReportContent &content);
    void paintPage(QPainter &painter, const QSizeF &size, const Page &page) const;

    QVector<Page> m_pages;
};
