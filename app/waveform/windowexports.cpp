// SPDX-License-Identifier: GPL-3.0-or-later
// The viewer's exports: CSV, PNG with the readout, and the one-page report
// as PDF or on a printer.
#include "app/waveform/waveformwindow.h"

#include "app/waveform/chartview.h"
#include "app/waveform/reportdialog.h"
#include "app/waveform/reportwriter.h"
#include "app/waveform/waveformplot.h"
#include "records/outputfile.h"

#include <QDir>
#include <QFileDialog>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QStatusBar>
#include <QTextDocument>
#include <QtCharts/QChart>

bool WaveformWindow::saved(const QString &path, bool ok, const QString &error)
{
    if (!ok) {
        statusBar()->showMessage(tr("Cannot write %1: %2").arg(path, error));
        return false;
    }
    statusBar()->showMessage(tr("Saved %1").arg(QDir::toNativeSeparators(path)));
    return true;
}

bool WaveformWindow::exportCsv(const QString &path)
{
    const QVector<protocol::Trace> &traces = m_measurement.traces();
    if (traces.isEmpty())
        return false;
    // Overlaid traces side by side when their samples line up; the selected
    // one otherwise.
    QString csv = protocol::tracesCsv(traces);
    if (csv.isEmpty())
        csv = protocol::traceCsv(traces.at(selectedTraceIndex()));
    const QString error =
        OutputFile::write(path, csv.toUtf8(), OutputFile::Place::Named, QIODevice::Text);
    return saved(path, error.isEmpty(), error);
}

bool WaveformWindow::exportPng(const QString &path)
{
    if (m_measurement.traces().isEmpty())
        return false;
    // The plot with the readout under it, as the window shows them.
    const QPixmap plot = m_view->grab();
    QTextDocument readout;
    readout.setDefaultFont(m_readout->font());
    readout.setHtml(m_readout->text());
    readout.setTextWidth(plot.width() - 20);
    const int readoutHeight = int(readout.size().height()) + 12;
    QImage image(plot.width(), plot.height() + readoutHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.drawPixmap(0, 0, plot);
        painter.fillRect(QRect(0, plot.height(), plot.width(), readoutHeight), QColor(0xf8f9fa));
        painter.setPen(QColor(0xdee2e6));
        painter.drawLine(0, plot.height(), plot.width(), plot.height());
        painter.translate(10, plot.height() + 6);
        readout.drawContents(&painter);
    }
    OutputFile file(path);
    const bool ok = file.open() && image.save(file.device(), "PNG") && file.commit();
    return saved(path, ok, ok ? QString() : file.errorString());
}

ReportContent WaveformWindow::reportContent(const ReportFields &fields, int index)
{
    ReportContent content;
    content.trace = m_measurement.traces().at(index);
    content.label = traceLabel(index);
    content.note = fields.note;
    content.technician = fields.technician;
    content.site = fields.site;
    content.created = QDateTime::currentDateTime();
    return content;
}

std::function<void(QPainter &, const QRectF &)> WaveformWindow::reportPlot()
{
    return [this](QPainter &painter, const QRectF &to) {
        // The chart is laid out again at the page's proportions, with room
        // for its labels, drawn, and put back. A window never shown has not
        // laid its chart out at all.
        QChart *plot = chart();
        const QSizeF shown = plot->size();
        const QSizeF page(1000, 1000 * to.height() / to.width());
        plot->resize(page);
        plot->layout()->activate();
        plot->scene()->render(&painter, to, QRectF(plot->pos(), page), Qt::KeepAspectRatio);
        plot->resize(shown);
        plot->layout()->activate();
    };
}

namespace {

// One record alone, whole, with its event markers, at the page's proportions.
ReportWriter::PlotPainter recordPlot(const protocol::Trace &trace,
                                     const protocol::EventAnalysis &events)
{
    return [trace, events](QPainter &painter, const QRectF &to) {
        QGraphicsScene scene;
        WaveformPlot plot;
        scene.addItem(plot.chart()); // the scene owns the chart
        plot.setTraces({trace});
        plot.setEvents(events.events, 0);
        const QSizeF page(1000, 1000 * to.height() / to.width());
        plot.chart()->resize(page);
        plot.chart()->layout()->activate();
        scene.render(&painter, to, QRectF(plot.chart()->pos(), page), Qt::KeepAspectRatio);
    };
}

} // namespace

QVector<ReportWriter::Page> WaveformWindow::reportPages(const ReportFields &fields, bool overlay)
{
    const QVector<protocol::Trace> &traces = m_measurement.traces();
    if (traces.size() == 1 || overlay) {
        // The selected trace's header and events; the cables of them all.
        ReportContent content = reportContent(fields, selectedTraceIndex());
        content.traceCount = traces.size();
        content.events = m_events;
        content.readout = m_measurement.cursor() ? m_measurement.readoutText() : QString();
        QStringList cables;
        for (int i = 0; i < traces.size(); ++i)
            cables.append(traceLabel(i).cable);
        cables.removeAll(QString());
        cables.removeDuplicates();
        content.label.cable = cables.join(QStringLiteral("; "));
        return {{content, reportPlot()}};
    }
    // Several records: a page each, with its own header, label, plot and events.
    QVector<ReportWriter::Page> pages;
    for (int i = 0; i < traces.size(); ++i) {
        ReportContent content = reportContent(fields, i);
        content.events = protocol::detectEvents(traces.at(i));
        pages.append({content, recordPlot(traces.at(i), content.events)});
    }
    return pages;
}

bool WaveformWindow::exportReport(const QString &path, const ReportFields &fields, bool overlay)
{
    if (m_measurement.traces().isEmpty())
        return false;
    const ReportWriter writer(reportPages(fields, overlay));
    QString error;
    const bool ok = writer.writePdf(path, &error);
    return saved(path, ok, error);
}

void WaveformWindow::exportCsvInteractive()
{
    const QVector<protocol::Trace> &traces = m_measurement.traces();
    if (traces.isEmpty())
        return;
    const protocol::Trace &trace = traces.at(selectedTraceIndex());
    const QString base = traces.size() == 1 || protocol::tracesCsv(traces).isEmpty()
                             ? QFileInfo(trace.fileName).completeBaseName()
                             : tr("waveforms");
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Export %1 as CSV").arg(trace.fileName), pathFor(base + QStringLiteral(".csv")),
        tr("CSV files (*.csv)"));
    if (!path.isEmpty() && !exportCsv(path))
        QMessageBox::warning(this, tr("Export CSV"), statusBar()->currentMessage());
}

void WaveformWindow::exportPngInteractive()
{
    const QVector<protocol::Trace> &traces = m_measurement.traces();
    if (traces.isEmpty())
        return;
    const QString base = traces.size() == 1 ? QFileInfo(traces.first().fileName).completeBaseName()
                                            : tr("waveforms");
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Export Image"), pathFor(base + QStringLiteral(".png")), tr("PNG images (*.png)"));
    if (!path.isEmpty() && !exportPng(path))
        QMessageBox::warning(this, tr("Export Image"), statusBar()->currentMessage());
}

void WaveformWindow::exportReportInteractive(bool overlay)
{
    if (m_measurement.traces().isEmpty())
        return;
    const std::optional<ReportFields> fields = ReportDialog::ask(this, tr("Export Report"));
    if (!fields)
        return;
    const QString base =
        QFileInfo(m_measurement.traces().at(selectedTraceIndex()).fileName).completeBaseName();
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Export Report"), pathFor(base + QStringLiteral(".pdf")), tr("PDF files (*.pdf)"));
    if (!path.isEmpty() && !exportReport(path, *fields, overlay))
        QMessageBox::warning(this, tr("Export Report"), statusBar()->currentMessage());
}

void WaveformWindow::printReportInteractive()
{
    if (m_measurement.traces().isEmpty())
        return;
    const std::optional<ReportFields> fields = ReportDialog::ask(this, tr("Print Report"));
    if (!fields)
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const ReportWriter writer(reportPages(*fields, false));
    writer.print(&printer);
}
