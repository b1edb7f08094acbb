// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/frame.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

// Which file goes into which record slot, worked out once per upload: every
// file is read once, and the question before overwriting, the upload itself
// and the check afterwards all use the same images.
struct UploadPlan
{
    Q_DECLARE_TR_FUNCTIONS(UploadPlan)
public:
    struct Item
    {
        QString path;
        int slot = 0;
        QByteArray frame;           // the WriteRecord frame for the slot
        bool occupied = false;      // the instrument's list shows a record there
        protocol::RecordEntry held; // that record, when occupied
        QString fileName() const;
    };

    static constexpr int kHighestSlot = 99;

    // Reads `paths` in order; usable files take consecutive slots from
    // `firstSlot`, skipped ones take none. `held` is the instrument's record
    // list as last seen.
    static UploadPlan make(const QStringList &paths, int firstSlot,
                           const QList<protocol::RecordEntry> &held);

    QList<Item> items; // in slot order
    QStringList skipped;
    QString notes;      // the skips, as one line for the user; empty when none
    bool linked = true; // false: the upload found no link and queued nothing
    int queued = 0;

    QList<int> occupiedSlots() const;
};
