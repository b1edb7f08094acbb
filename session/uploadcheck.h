// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "session/uploadplan.h"

#include <QCoreApplication>
#include <QList>
#include <QMap>
#include <QString>

// What an upload really did. An acknowledgement names no slot, so a write
// counts as done only when the instrument's record list that follows the
// upload shows its slot; optionally each such slot is read back and compared
// with what was sent.
class UploadCheck
{
    Q_DECLARE_TR_FUNCTIONS(UploadCheck)
public:
    void add(const QList<UploadPlan::Item> &items);
    bool isEmpty() const { return m_sent.isEmpty(); }
    int total() const { return m_sent.size(); }

    // The write to `slot` was answered.
    void acknowledged(int slot);
    // The write to `slot` will not be sent (cancelled).
    void dropped(int slot);
    // Writes still waiting for their answer.
    int outstanding() const;

    // The instrument's record list after the last write was answered. Returns
    // the slots to read back when `readBack` is set.
    QList<int> listed(const QList<protocol::RecordEntry> &entries, bool readBack);
    bool listSeen() const { return m_listSeen; }
    // A record answer read back from `slot`.
    void readBack(int slot, const QByteArray &block);
    // A read-back that will not come.
    void readBackLost(int slot);
    bool readingBack() const { return !m_readBackPending.isEmpty(); }
    bool isReadingBack(int slot) const { return m_readBackPending.contains(slot); }
    bool wasReadBack(int slot) const { return m_readBackDone.contains(slot); }

    // Writes shown by the list (and, when read back, identical).
    int confirmed() const;
    // Answered writes whose slot the instrument did not confirm.
    QList<int> unconfirmed() const;
    QList<int> differing() const { return m_differing; }
    // The notes for the user: unconfirmed slots, other date and time, read-back.
    QString notes() const;

private:
    enum class State { Queued, Dropped, Acknowledged, Listed, Missing };
    struct Write
    {
        QByteArray frame;
        State state = State::Queued;
    };
    QMap<int, Write> m_sent; // by slot
    bool m_listSeen = false;
    QList<int> m_restamped;
    QList<int> m_readBackPending;
    QList<int> m_readBackDone;
    QList<int> m_differing;
    int m_identical = 0;
    int m_readBackMissing = 0;
};
