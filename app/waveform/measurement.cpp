// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/waveform/measurement.h"

#include <cmath>

QString Measurement::metres(double value)
{
    return tr("%1 m").arg(protocol::distanceText(value, 2));
}

void Measurement::setTraces(const QVector<protocol::Trace> &traces)
{
    m_traces = traces;
    if (m_cursor)
        m_cursor = snap(*m_cursor);
    if (m_reference)
        m_reference = snap(*m_reference);
}

const protocol::Trace &Measurement::leading(double metres) const
{
    const protocol::Trace *finest = nullptr;
    const protocol::Trace *longest = &m_traces.first();
    for (const protocol::Trace &trace : m_traces) {
        if (trace.points.isEmpty())
            continue;
        if (longest->points.isEmpty() || trace.points.last().x() > longest->points.last().x())
            longest = &trace;
        const bool reaches = metres <= trace.points.last().x() + trace.distanceStep / 2.0;
        if (reaches && (!finest || trace.distanceStep < finest->distanceStep))
            finest = &trace;
    }
    return finest ? *finest : *longest;
}

double Measurement::snap(double metres) const
{
    if (m_traces.isEmpty())
        return metres;
    const protocol::Trace &trace = leading(metres);
    return trace.points.isEmpty() ? metres : trace.points.at(trace.indexAt(metres)).x();
}

QString Measurement::levelAtCursor(const protocol::Trace &trace, const QString &levelFormat) const
{
    // Each trace is read at its own sample nearest the cursor; one that ends
    // before the cursor has no level there.
    const int index = trace.indexAt(*m_cursor);
    if (index < 0 || *m_cursor > trace.points.last().x() + trace.distanceStep / 2.0)
        return tr("ends before the cursor");
    const QString level = levelFormat.arg(int(trace.points.at(index).y()));
    if (index == leading(*m_cursor).indexAt(*m_cursor))
        return level;
    return tr("%1 (sample %2)").arg(level).arg(index);
}

bool Measurement::setCursor(double metres, bool exact)
{
    if (!std::isfinite(metres))
        return false;
    m_cursor = exact ? metres : snap(metres);
    return true;
}

bool Measurement::setReference(double metres)
{
    if (!std::isfinite(metres))
        return false;
    m_reference = snap(metres);
    return true;
}

void Measurement::clear()
{
    m_cursor.reset();
    m_reference.reset();
}

std::optional<double> Measurement::stepped(int samples, double start) const
{
    if (m_traces.isEmpty())
        return std::nullopt;
    const protocol::Trace &trace = leading(m_cursor ? *m_cursor : start);
    if (trace.points.isEmpty())
        return std::nullopt;
    const int index = m_cursor ? trace.indexAt(*m_cursor) + samples : trace.indexAt(start);
    return trace.points.at(qBound(0, index, trace.points.size() - 1)).x();
}

QString Measurement::readoutText() const
{
    if (m_traces.isEmpty())
        return QString();
    if (!m_cursor)
        return tr("Click on the plot to place the cursor; right-click or Shift+click places the "
                  "reference.");
    QStringList plain;
    plain << tr("Cursor: %1 (sample %2)")
                 .arg(metres(*m_cursor))
                 .arg(leading(*m_cursor).indexAt(*m_cursor));
    for (const protocol::Trace &trace : m_traces) {
        if (m_traces.size() == 1)
            plain << levelAtCursor(trace, tr("level %1"));
        else
            plain << QStringLiteral("%1: %2").arg(protocol::traceShortName(trace),
                                                  levelAtCursor(trace, QStringLiteral("%1")));
    }
    if (m_reference) {
        plain << tr("Reference: %1").arg(metres(*m_reference));
        plain << tr("Δ: %1").arg(metres(std::abs(*m_cursor - *m_reference)));
    }
    return plain.join(QStringLiteral(" | "));
}

QString Measurement::readoutHtml(const QVector<QColor> &colours) const
{
    if (m_traces.isEmpty())
        return QString();
    if (!m_cursor)
        return QStringLiteral("<span style='color:#868e96'>%1</span>")
            .arg(readoutText().toHtmlEscaped());
    QStringList rich;
    rich << tr("<b>Cursor</b> %1 <span style='color:#868e96'>(sample %2)</span>")
                .arg(metres(*m_cursor))
                .arg(leading(*m_cursor).indexAt(*m_cursor));
    for (int i = 0; i < m_traces.size(); ++i) {
        const protocol::Trace &trace = m_traces.at(i);
        if (m_traces.size() == 1) {
            rich << levelAtCursor(trace, tr("level <b>%1</b>"));
            continue;
        }
        // The colour tells the traces apart; a download's record number is enough.
        const QString name = protocol::traceShortName(trace);
        const QString tag =
            name.startsWith(QLatin1Char('#')) ? name.section(QLatin1Char(' '), 0, 0) : name;
        rich << QStringLiteral("<span style='color:%1'>&#9632;</span> %2: %3")
                    .arg(colours.value(i).name(), tag.toHtmlEscaped(),
                         levelAtCursor(trace, QStringLiteral("<b>%1</b>")));
    }
    if (m_reference) {
        rich << tr("<b>Ref</b> %1").arg(metres(*m_reference));
        rich << tr("<b>Δ %1</b>").arg(metres(std::abs(*m_cursor - *m_reference)));
    }
    return rich.join(QStringLiteral("&nbsp;&nbsp;&nbsp;│&nbsp;&nbsp;&nbsp;"));
}

QString Measurement::hoverText(double metres) const
{
    if (m_traces.isEmpty() || !std::isfinite(metres))
        return QString();
    const protocol::Trace &trace = leading(metres);
    if (trace.points.isEmpty())
        return QString();
    const QPointF sample = trace.points.at(trace.indexAt(metres));
    return tr("%1 · level %2").arg(Measurement::metres(sample.x())).arg(int(sample.y()));
}
