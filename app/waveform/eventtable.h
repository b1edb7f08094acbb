// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/compare.h"
#include "protocol/events.h"
#include "protocol/trace.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QTableWidget;

// The events of one trace as a table: number, distance, kind, strength; or
// the events of two traces, each marked as it changed between them. A click
// on a row asks for the cursor there; a check box shows or hides the markers
// on the plot; a box chooses the trace to compare with.
class EventTable : public QWidget
{
    Q_OBJECT

public:
    explicit EventTable(QWidget *parent = nullptr);

    void setEvents(const protocol::EventAnalysis &analysis, const QString &traceName);
    void setComparison(const protocol::TraceComparison &comparison, const QString &olderName,
                       const QString &newerName);
    // The traces the shown one may be compared with, `chosen` of them or -1;
    // hidden when there are none.
    void setCompareChoices(const QStringList &names, int chosen);
    QString changeText(int row) const; // the change column; empty without a comparison
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
    void compareChosen(int index); // -1: none

private:
    QLabel *m_title = nullptr;
    QTableWidget *m_table = nullptr;
    QCheckBox *m_markers = nullptr;
    QLabel *m_compareLabel = nullptr;
    QComboBox *m_compare = nullptr;
    QVector<double> m_distances; // of the rows
    void fillRow(int row, const QStringList &texts);
};
