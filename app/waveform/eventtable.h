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

    void setEvents(const QVector<protocol::TraceEvent> &events, const QString &traceName);
    int rowCount() const;
    bool markersShown() const;

    // One row's cells as the table and the report show them.
    static QStringList rowTexts(int number, const protocol::TraceEvent &event);
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
