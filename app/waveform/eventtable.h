// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/events.h"
#include "protocol/trace.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QTableWidget;

// The events of one trace as a table: number, distance, kind, strength. A
// click on a row asks for the cursor there; a check box shows or hides the
// markers on the plot.
class EventTable : public QWidget
{
    Q_OBJECT

public:
    explicit EventTable(QWidget *parent = nullptr);

    void setEvents(const protocol::EventAnalysis &analysis, const QString &traceName);
    int rowCount() const;
    bool markersShown() const;

    // One row's cells as the table and the report show them.
    static QStringList rowTexts(int number, const protocol::EventAnalysis &analysis,
                                const protocol::TraceEvent &event);
    // What the table's title says besides the trace's name: that strengths
    // are levels when the trace has no launch pulse to compare with.
    static QString caption(const protocol::EventAnalysis &analysis);
    static QStringList headers();

signals:
    void eventActivated(double distance);
    void markersToggled(bool shown);

private:
    QLabel *m_title = nullptr;
    QTableWidget *m_table = nullptr;
    QCheckBox *m_markers = nullptr;
    QVector<protocol::TraceEvent> m_events;
};
