// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/events.h"

#include <QString>
#include <QStyledItemDelegate>

// The event that sums a record up in a list: its first open or short, else
// its first minor change, else its far end. An echo is never one: it is not
// a place in the cable.
const protocol::TraceEvent *mainEvent(const protocol::EventAnalysis &analysis);

// "Open, 177 m ± 7 m": the kind and distance as the event table gives them,
// or "No events".
QString mainEventText(const protocol::EventAnalysis &analysis);

// The main event of the record file at `path`, with what a list sorts by;
// an empty text when the file is not a record.
struct FileSummary
{
    QString text;
    double distance = 0; // to the main event; infinite without one
    QString when;        // "yyyyMMddhhmmss" as measured; empty when not a record
};
FileSummary summarizeFile(const QString &path);

// Shows an item's cable (`kCableRole`) and summary (`kSummaryRole`) on a
// second line under its text.
class SummaryDelegate : public QStyledItemDelegate
{
public:
    static constexpr int kSummaryRole = Qt::UserRole + 1;
    static constexpr int kCableRole = Qt::UserRole + 2;
    static constexpr int kNoteRole = Qt::UserRole + 3; // not shown; searched
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;
};
