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
    // Keeps the cursors, snapped to the first of the new traces.
    void setTraces(const QVector<protocol::Trace> &traces);
    const QVector<protocol::Trace> &traces() const { return m_traces; }

    // The distance of the first trace's sample nearest to `metres`.
    double snap(double metres) const;
    bool setCursor(double metres); // false, and no change, for a value that is not finite
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
    QVector<protocol::Trace> m_traces;
    std::optional<double> m_cursor;
    std::optional<double> m_reference;
};
