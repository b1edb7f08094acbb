// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/waveform/eventtable.h"

#include <QCheckBox>
#include <QComboBox>
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
    m_title->setWordWrap(true); // two traces' names are long
    m_markers = new QCheckBox(tr("Show markers"));
    m_markers->setObjectName(QStringLiteral("eventMarkersChk"));
    m_markers->setChecked(true);
    connect(m_markers, &QCheckBox::toggled, this, &EventTable::markersToggled);

    m_table = new QTableWidget(0, 4);
    m_table->setObjectName(QStringLiteral("eventsTbl"));
    m_table->setHorizontalHeaderLabels(headers());
    m_table->verticalHeader()->hide();
    m_table->setWordWrap(false);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setToolTip(tr("Click an event to put the cursor on it"));
    connect(m_table, &QTableWidget::cellClicked, this, [this](int row) {
        if (row >= 0 && row < m_distances.size())
            emit eventActivated(m_distances.at(row));
    });
    connect(m_table, &QTableWidget::currentCellChanged, this, [this](int row) {
        if (row >= 0 && row < m_distances.size())
            emit eventActivated(m_distances.at(row));
    });
    m_compareLabel = new QLabel(tr("Compare with:"));
    m_compare = new QComboBox;
    m_compare->setObjectName(QStringLiteral("eventCompareCmb"));
    m_compare->setToolTip(tr("The trace whose events and difference are set against this "
                             "one's; the earlier measurement counts as the older"));
    m_compare->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_compare->setMinimumContentsLength(12);
    connect(m_compare, QOverload<int>::of(&QComboBox::activated), this,
            [this](int index) { emit compareChosen(index - 1); });
    auto *compareRow = new QHBoxLayout;
    compareRow->addWidget(m_compareLabel);
    compareRow->addWidget(m_compare, 1);
    compareRow->addWidget(m_markers);
    setCompareChoices({}, -1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 0, 6);
    layout->setSpacing(4);
    layout->addWidget(m_title);
    layout->addLayout(compareRow);
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

void EventTable::fillRow(int row, const QStringList &texts)
{
    for (int column = 0; column < texts.size(); ++column) {
        auto *item = new QTableWidgetItem(texts.at(column));
        if (column != 2 && column != 4)
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_table->setItem(row, column, item);
    }
}

void EventTable::setEvents(const protocol::EventAnalysis &analysis, const QString &traceName)
{
    const QVector<protocol::TraceEvent> &events = analysis.events;
    m_distances.clear();
    const QString title = traceName.isEmpty() ? tr("Events") : tr("Events: %1").arg(traceName);
    const QString note = caption(analysis);
    m_title->setText(note.isEmpty() ? title : title + QLatin1Char('\n') + note);
    const QSignalBlocker blocker(m_table);
    m_table->setColumnCount(4);
    m_table->setHorizontalHeaderLabels(headers());
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    m_table->setRowCount(events.size());
    for (int row = 0; row < events.size(); ++row) {
        m_distances.append(events.at(row).distance);
        fillRow(row, rowTexts(row + 1, analysis, events.at(row)));
    }
}

void EventTable::setComparison(const protocol::TraceComparison &comparison,
                               const QString &olderName, const QString &newerName)
{
    using protocol::EventChange;
    m_distances.clear();
    m_title->setText(tr("Events: %1 against the older %2").arg(newerName, olderName));
    const QSignalBlocker blocker(m_table);
    m_table->setColumnCount(5);
    m_table->setHorizontalHeaderLabels(headers() << tr("Change"));
    // What changed stays readable; a long kind gives way.
    m_table->horizontalHeader()->setStretchLastSection(false);
    m_table->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    m_table->setRowCount(comparison.pairs.size());
    for (int row = 0; row < comparison.pairs.size(); ++row) {
        const protocol::EventPair &pair = comparison.pairs.at(row);
        const bool newer = pair.newer.has_value();
        const protocol::EventAnalysis &analysis = newer ? comparison.newer : comparison.older;
        const protocol::TraceEvent &event = analysis.events.at(newer ? *pair.newer : *pair.older);
        m_distances.append(pair.distance);
        fillRow(row, rowTexts(row + 1, analysis, event) << protocol::eventChangeText(pair));
        QString tip;
        QColor shade;
        switch (pair.change) {
        case EventChange::Same:
        case EventChange::Moved:
            tip = tr("%1: %2\n%3: %4\nThe same place within %5 m")
                      .arg(olderName,
                           protocol::eventDistanceText(comparison.older.events.at(*pair.older)),
                           newerName, protocol::eventDistanceText(event),
                           QString::number(pair.tolerance, 'f', 1));
            shade = pair.change == EventChange::Moved ? QColor(0xff, 0xf3, 0xbf) : QColor();
            break;
        case EventChange::Appeared:
            tip = tr("Only in %1").arg(newerName);
            shade = QColor(0xff, 0xe3, 0xe3);
            break;
        case EventChange::Vanished:
            tip = tr("Only in %1").arg(olderName);
            shade = QColor(0xe9, 0xec, 0xef);
            break;
        }
        for (int column = 0; column < m_table->columnCount(); ++column) {
            m_table->item(row, column)->setToolTip(tip);
            if (shade.isValid())
                m_table->item(row, column)->setBackground(shade);
        }
    }
}

void EventTable::setCompareChoices(const QStringList &names, int chosen)
{
    const QSignalBlocker blocker(m_compare);
    m_compare->clear();
    m_compare->addItem(tr("Nothing"));
    m_compare->addItems(names);
    m_compare->setCurrentIndex(chosen + 1);
    m_compareLabel->setVisible(!names.isEmpty());
    m_compare->setVisible(!names.isEmpty());
}

QString EventTable::changeText(int row) const
{
    const QTableWidgetItem *item = m_table->columnCount() > 4 ? m_table->item(row, 4) : nullptr;
    return item ? item->text() : QString();
}

int EventTable::rowCount() const
{
    return m_table->rowCount();
}

bool EventTable::markersShown() const
{
    return m_markers->isChecked();
}
