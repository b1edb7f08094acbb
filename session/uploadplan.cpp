// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/uploadplan.h"

#include "protocol/logging.h"
#include "protocol/tdrrecord.h"
#include "records/recordstore.h"

#include <QFileInfo>
#include <QHash>

QString UploadPlan::Item::fileName() const
{
    return QFileInfo(path).fileName();
}

UploadPlan UploadPlan::make(const QStringList &paths, int firstSlot,
                            const QList<protocol::RecordEntry> &held)
{
    QHash<int, protocol::RecordEntry> bySlot;
    for (const protocol::RecordEntry &entry : held)
        bySlot.insert(entry.number(), entry);

    UploadPlan plan;
    int slot = firstSlot;
    QStringList unreadable;
    int beyondLastSlot = 0;
    for (const QString &path : paths) {
        const RecordStore::Checked checked = RecordStore::readForUpload(path);
        if (!checked.skipped.isEmpty()) {
            unreadable.append(checked.skipped);
            plan.skipped.append(checked.skipped);
            continue;
        }
        if (slot > kHighestSlot) {
            ++beyondLastSlot;
            plan.skipped.append(QFileInfo(path).fileName());
            continue;
        }
        Item item;
        item.path = path;
        item.slot = slot++;
        item.frame = protocol::writeRecordFrame(protocol::recordFromBytes(checked.content),
                                                quint8(item.slot));
        const auto found = bySlot.constFind(item.slot);
        item.occupied = found != bySlot.constEnd();
        if (item.occupied)
            item.held = *found;
        plan.items.append(item);
    }
    QStringList notes;
    if (!unreadable.isEmpty())
        notes.append(tr("Skipped: %1.").arg(unreadable.join(QStringLiteral(", "))));
    if (beyondLastSlot > 0)
        notes.append(tr("Files left out, there is no record slot after %1: %2.")
                         .arg(kHighestSlot)
                         .arg(beyondLastSlot));
    plan.notes = notes.join(QLatin1Char(' '));
    if (!plan.notes.isEmpty())
        qCWarning(lcApp) << plan.notes;
    return plan;
}

QList<int> UploadPlan::occupiedSlots() const
{
    QList<int> slotNumbers;
    for (const Item &item : items) {
        if (item.occupied)
            slotNumbers.append(item.slot);
    }
    return slotNumbers;
}
