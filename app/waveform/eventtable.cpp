// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/waveform/eventtable.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

EventTable::EventTable(QWidget *parent) : QWidget(parent)
{
    m_title = new QLabel;
    m_title->setTextFormat(Qt::PlainText);
    m_title->setStyleSheet(QStringLiteral("font-weight: 600; color: #343a40;"));
    m_markers = new QCheckBox(tr("Show markers"));
    m_markers->setObjectName(QStringLiteral("eventMarkersChk"));
    m_markers->setChecked(true);
    connect(m_markers, &QCheckBox::toggled, this, &EventTable::markersToggled);

    m_table = new QTableWidget(0, 4);
    m_table->setObjectName(QStringLiteral("eventsTbl"));
    m_table->setHorizontalHeaderLabels(headers());
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setToolTip(tr("Click an event to put the cursor on it"));
    connect(m_table, &QTableWidget::cellClicked, this, [this](int row) {
        if (row >= 0 && row < m_events.size())
            emit eventActivated(m_events.at(row).distance);
    });
    connect(m_table, &QTableWidget::currentCellChanged, this, [this](int row) {
        if (row >= 0 && row < m_events.size())
            emit eventActivated(m_events.at(row).distance);
    });

    auto *head = new QHBoxLayout;
    head->addWidget(m_title, 1);
    head->addWidget(m_markers);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 0, 6);
    layout->setSpacing(4);
    layout->addLayout(head);
    layout->addWidget(m_table);
}

QStringList EventTable::headers()
{
    return {tr("No."), tr("Distance"), tr("Kind"), tr("Strength")};
}

QStringList EventTable::rowTexts(int number, const protocol::EventAnalysis &analysis,
                                 const protocol::TraceEvent &event)
{
    return {QString::number(number), protocol::eventDistanceText(event),
            protocol::eventKindText(event.kind), protocol::eventStrengthText(analysis, event)};
}

QString EventTable::caption(const protocol::EventAnalysis &analysis)
{
    return analysis.launchFound || analysis.events.isEmpty()
               ? QString()
               : tr("No launch pulse: strengths are levels off the baseline, distances are "
                    "from the start of the trace");
}

void EventTable::setEvents(const protocol::EventAnalysis &analysis, const QString &traceName)
{
    const QVector<protocol::TraceEvent> &events = analysis.events;
    m_events = events;
    const QString title = traceName.isEmpty() ? tr("Events") : tr("Events: %1").arg(traceName);
    const QString note = caption(analysis);
    m_title->setText(note.isEmpty() ? title : title + QLatin1Char('\n') + note);
    const QSignalBlocker blocker(m_table);
    m_table->setRowCount(events.size());
    for (int row = 0; row < events.size(); ++row) {
        const QStringList texts = rowTexts(row + 1, analysis, events.at(row));
        for (int column = 0; column < texts.size(); ++column) {
            auto *item = new QTableWidgetItem(texts.at(column));
            if (column != 2)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_table->setItem(row, column, item);
        }
    }
}

int EventTable::rowCount() const
{
    return m_table->rowCount();
}

bool EventTable::markersShown() const
{
    return m_markers->isChecked();
}
