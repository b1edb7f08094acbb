// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/trace.h"

#include <QColor>
#include <QCoreApplication>

#include <optional>

// The measuring cursor and the reference over the traces on show: snapping
// to samples, stepping, and the readout that says what they measure. No
// widgets: the window shows what this computes.
class Measurement
{
    Q_DECLARE_TR_FUNCTIONS(Measurement)

public:
    // Keeps the cursors, snapped to the new traces.
    void setTraces(const QVector<protocol::Trace> &traces);
    const QVector<protocol::Trace> &traces() const { return m_traces; }

    // The distance of the sample nearest to `metres` of the trace that leads
    // there: the finest of those reaching that far, else the longest.
    double snap(double metres) const;
    // False, and no change, for a value that is not finite. An event's
    // distance lies between samples and is kept as it is (`exact`).
    bool setCursor(double metres, bool exact = false);
    bool setReference(double metres);
    void clear();
    std::optional<double> cursor() const { return m_cursor; }
    std::optional<double> reference() const { return m_reference; }
    // Where the cursor lands `samples` steps on; from the sample nearest to
    // `start` when there is no cursor yet. Nothing without traces.
    std::optional<double> stepped(int samples, double start) const;

    QString readoutText() const;
    // The same with markup; `colours` tell the overlaid traces apart.
    QString readoutHtml(const QVector<QColor> &colours) const;
    QString hoverText(double metres) const;

    static QString metres(double value);

private:
    const protocol::Trace &leading(double metres) const;
    // A trace's level at the cursor, or that the trace ends before it.
    QString levelAtCursor(const protocol::Trace &trace, const QString &levelFormat) const;

    QVector<protocol::Trace> m_traces;
    std::optional<double> m_cursor;
    std::optional<double> m_reference;
};
