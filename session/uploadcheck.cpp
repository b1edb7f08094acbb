// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/uploadcheck.h"

#include "protocol/tdrrecord.h"

#include <QStringList>

namespace {

// Record block bytes: 3 the record number, 4 to 10 the date and time (BCD),
// from 11 on what was measured. An instrument may number its blocks its own
// way and stamp what it stores; what was measured must come back unchanged.
constexpr int kFirstDateByte = 4;
constexpr int kFirstMeasuredByte = 11;
constexpr int kChecksumByte = protocol::kRecordBlockLength - 1;

QString slotList(const QList<int> &slotNumbers)
{
    QStringList numbers;
    for (int slot : slotNumbers)
        numbers.append(QString::number(slot));
    return numbers.join(QStringLiteral(", "));
}

} // namespace

void UploadCheck::add(const QList<UploadPlan::Item> &items)
{
    for (const UploadPlan::Item &item : items)
        m_sent.insert(item.slot, Write{item.frame, State::Queued});
}

void UploadCheck::acknowledged(int slot)
{
    const auto it = m_sent.find(slot);
    if (it != m_sent.end() && it->state == State::Queued)
        it->state = State::Acknowledged;
}

void UploadCheck::dropped(int slot)
{
    const auto it = m_sent.find(slot);
    if (it != m_sent.end() && it->state == State::Queued)
        it->state = State::Dropped;
}

int UploadCheck::outstanding() const
{
    int count = 0;
    for (const Write &write : m_sent)
        count += write.state == State::Queued ? 1 : 0;
    return count;
}

QList<int> UploadCheck::listed(const QList<protocol::RecordEntry> &entries, bool readBack)
{
    m_listSeen = true;
    QMap<int, protocol::RecordEntry> bySlot;
    for (const protocol::RecordEntry &entry : entries)
        bySlot.insert(entry.number(), entry);
    for (auto it = m_sent.begin(); it != m_sent.end(); ++it) {
        if (it->state != State::Acknowledged)
            continue;
        const auto entry = bySlot.constFind(it.key());
        if (entry == bySlot.constEnd()) {
            it->state = State::Missing;
            continue;
        }
        it->state = State::Listed;
        // List entry bytes 1 to 7 are block bytes 4 to 10.
        for (int i = 1; i <= 7; ++i) {
            if (entry->byte(i) != quint8(it->frame.at(kFirstDateByte + i - 1))) {
                m_restamped.append(it.key());
                break;
            }
        }
        if (readBack)
            m_readBackPending.append(it.key());
    }
    return m_readBackPending;
}

void UploadCheck::readBack(int slot, const QByteArray &block)
{
    if (!m_readBackPending.removeOne(slot))
        return;
    m_readBackDone.append(slot);
    const QByteArray sent = m_sent.value(slot).frame;
    const int length = kChecksumByte - kFirstMeasuredByte;
    if (block.size() == protocol::kRecordBlockLength &&
        block.mid(kFirstMeasuredByte, length) == sent.mid(kFirstMeasuredByte, length))
        ++m_identical;
    else
        m_differing.append(slot);
}

void UploadCheck::readBackLost(int slot)
{
    if (m_readBackPending.removeOne(slot))
        ++m_readBackMissing;
}

int UploadCheck::confirmed() const
{
    int count = 0;
    for (auto it = m_sent.cbegin(); it != m_sent.cend(); ++it)
        count += it->state == State::Listed && !m_differing.contains(it.key()) ? 1 : 0;
    return count;
}

QList<int> UploadCheck::unconfirmed() const
{
    QList<int> slotNumbers;
    for (auto it = m_sent.cbegin(); it != m_sent.cend(); ++it) {
        if (it->state == State::Missing || (it->state == State::Acknowledged))
            slotNumbers.append(it.key());
    }
    return slotNumbers;
}

QString UploadCheck::notes() const
{
    QStringList notes;
    const QList<int> missing = unconfirmed();
    if (missing.size() == 1)
        notes.append(tr("Not confirmed by the instrument: slot %1.").arg(missing.first()));
    else if (!missing.isEmpty())
        notes.append(tr("Not confirmed by the instrument: slots %1.").arg(slotList(missing)));
    if (m_restamped.size() == 1)
        notes.append(tr("The instrument stored slot %1 with its own date and time.")
                         .arg(m_restamped.first()));
    else if (!m_restamped.isEmpty())
        notes.append(tr("The instrument stored slots %1 with its own date and time.")
                         .arg(slotList(m_restamped)));
    if (m_differing.size() == 1)
        notes.append(
            tr("Read back different from what was sent: slot %1.").arg(m_differing.first()));
    else if (!m_differing.isEmpty())
        notes.append(
            tr("Read back different from what was sent: slots %1.").arg(slotList(m_differing)));
    if (m_identical > 0 && m_differing.isEmpty() && m_readBackMissing == 0)
        notes.append(tr("Read back and identical: %1.").arg(m_identical));
    if (m_readBackMissing > 0)
        notes.append(tr("Not read back: %1.").arg(m_readBackMissing));
    return notes.join(QLatin1Char(' '));
}
