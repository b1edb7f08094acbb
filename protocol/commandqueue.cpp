// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/commandqueue.h"

#include "protocol/frame.h"
#include "protocol/logging.h"

#include <algorithm>

namespace {

// The longest answer a command may get: a record block for a ReadRecord; for
// the others a full record list, the longest answer any instrument sends.
int longestAnswer(const QByteArray &frame)
{
    if (!frame.isEmpty() && TDRCommand(quint8(frame.at(0))) == TDRCommand::ReadRecord)
        return protocol::kRecordBlockLength;
    return protocol::kMinFrameLength + protocol::kRecordEntryLength * protocol::kMaxRecordEntries;
}

QString forLog(const QByteArray &frame)
{
    return protocol::frameTextForLog(frame);
}

} // namespace

CommandQueue::CommandQueue(QObject *parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &CommandQueue::onTimeout);
}

int CommandQueue::answerBound(const QByteArray &frame) const
{
    return m_timeoutMs + int(qint64(longestAnswer(frame)) * 1000 / m_bytesPerSecond);
}

void CommandQueue::enqueue(const QByteArray &frame)
{
    m_pending.append(frame);
}

void CommandQueue::startNow(const QByteArray &frame)
{
    if (isIdle()) {
        markInFlight(frame);
        return;
    }
    ++m_owed;
    qCDebug(lcProtocol) << "sent alongside" << forLog(m_inFlight) << "-" << m_owed
                        << "answers owed";
}

QByteArray CommandQueue::takeNext()
{
    if (!isFree() || m_pending.isEmpty())
        return QByteArray();
    const QByteArray frame = m_pending.takeFirst();
    markInFlight(frame);
    return frame;
}

void CommandQueue::markInFlight(const QByteArray &frame)
{
    m_inFlight = frame;
    m_sends = 1;
    m_sinceFirstSend.start();
    m_lastSendMs = 0;
    startWait();
}

void CommandQueue::startWait(qint64 extraMs)
{
    m_waitMs = int(m_timeoutMs + extraMs);
    m_bound.setRemainingTime(answerBound(m_inFlight) + extraMs);
    m_timer.start(m_waitMs);
}

void CommandQueue::endInFlight()
{
    const qint64 spread = m_lastSendMs;
    m_inFlight.clear();
    m_sends = 0;
    // With answers still owed, the time-out now waits for them.
    if (m_owed == 0)
        m_timer.stop();
    else
        startWait(spread);
}

bool CommandQueue::answerReceived()
{
    if (m_owed > 0) {
        --m_owed;
        qCDebug(lcProtocol) << "answer owed to an earlier send -" << m_owed << "still owed";
        if (isFree())
            m_timer.stop();
        return false;
    }
    if (isIdle())
        return false; // nothing asked for it
    m_owed = m_sends - 1;
    endInFlight();
    return true;
}

void CommandQueue::answerSpoilt()
{
    if (isIdle() || m_owed > 0)
        return; // the spoilt frame may be the owed answer
    qCDebug(lcProtocol) << "spoilt answer to" << forLog(m_inFlight);
    onTimeout();
}

void CommandQueue::progressMade()
{
    // Restarted only to wait longer: a timer restarted on every piece of a
    // fast stream would never get to fire.
    const int wait = int(qBound(qint64(0), m_bound.remainingTime(), qint64(m_waitMs)));
    if (m_timer.isActive() && wait > m_timer.remainingTime())
        m_timer.start(wait);
}

int CommandQueue::dropPending(const std::function<bool(const QByteArray &)> &drop)
{
    const int before = m_pending.size();
    m_pending.erase(std::remove_if(m_pending.begin(), m_pending.end(), drop), m_pending.end());
    return before - m_pending.size();
}

bool CommandQueue::abandonInFlight()
{
    if (isIdle())
        return false;
    qCInfo(lcProtocol) << "abandoning" << forLog(m_inFlight);
    m_owed += m_sends;
    endInFlight();
    return true;
}

int CommandQueue::clear()
{
    const int dropped = m_pending.size() + (m_inFlight.isEmpty() ? 0 : 1);
    m_timer.stop();
    m_pending.clear();
    m_inFlight.clear();
    m_sends = 0;
    m_owed = 0;
    return dropped;
}

void CommandQueue::onTimeout()
{
    if (m_inFlight.isEmpty()) {
        qCDebug(lcProtocol) << m_owed << "owed answers taken as lost";
        m_owed = 0;
        emit settled();
        return;
    }
    if (m_sends <= kMaxRepeats) {
        ++m_sends;
        qCInfo(lcProtocol) << "no answer to" << forLog(m_inFlight) << "- attempt" << m_sends;
        m_lastSendMs = m_sinceFirstSend.elapsed();
        startWait();
        emit repeatRequested(m_inFlight);
        return;
    }
    const QByteArray frame = m_inFlight;
    const int dropped = m_pending.size() + 1;
    m_pending.clear();
    m_owed += m_sends;
    qCWarning(lcProtocol) << "giving up on" << forLog(frame) << "-" << dropped
                          << "commands dropped";
    endInFlight();
    emit gaveUp(frame, dropped);
}
