// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/commandqueue.h"

#include "protocol/frame.h"
#include "protocol/logging.h"

#include <algorithm>

CommandQueue::CommandQueue(QObject *parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(kDefaultTimeoutMs);
    connect(&m_timer, &QTimer::timeout, this, &CommandQueue::onTimeout);
}

void CommandQueue::enqueue(const QString &frame)
{
    m_pending.append(frame);
}

bool CommandQueue::startNow(const QString &frame)
{
    if (!isIdle()) {
        m_pending.append(frame);
        return false;
    }
    markInFlight(frame);
    return true;
}

QString CommandQueue::takeNext()
{
    if (!isIdle() || m_pending.isEmpty())
        return QString();
    const QString frame = m_pending.takeFirst();
    markInFlight(frame);
    return frame;
}

void CommandQueue::markInFlight(const QString &frame)
{
    m_inFlight = frame;
    m_inFlightBytes = protocol::frameBytes(frame);
    m_sends = 1;
    m_timer.start();
}

void CommandQueue::endInFlight()
{
    m_inFlight.clear();
    m_inFlightBytes.clear();
    m_sends = 0;
    // With answers still owed, the time-out now watches for quiet.
    if (m_owed.isEmpty())
        m_timer.stop();
    else
        m_timer.start();
}

bool CommandQueue::answers(const QByteArray &command, const QByteArray &answer)
{
    if (command.isEmpty() || answer.isEmpty())
        return false;
    const quint8 sent = quint8(command.at(0));
    const quint8 got = quint8(answer.at(0));
    if (sent == quint8(TDRCommand::WriteRecord) || sent == quint8(TDRCommand::SetSerial))
        return got >= quint8(TDRCommand::WriteRecord) && got <= protocol::kLastAnswerByte;
    if (got != sent)
        return false;
    // A record answer carries its record number; an empty slot's short answer
    // carries none and answers whichever record was asked for.
    if (sent == quint8(TDRCommand::ReadRecord) && answer.size() >= protocol::kRecordBlockLength &&
        command.size() > 3)
        return answer.at(3) == command.at(3);
    return true;
}

int CommandQueue::owedAnswers() const
{
    int total = 0;
    for (const Owed &owed : m_owed)
        total += owed.answers;
    return total;
}

bool CommandQueue::answerReceived(const QByteArray &frame)
{
    for (int i = 0; i < m_owed.size(); ++i) {
        if (!answers(m_owed.at(i).command, frame))
            continue;
        // Owed to an earlier send; the sends before that one are settled.
        m_owed.erase(m_owed.begin(), m_owed.begin() + i);
        if (--m_owed.first().answers == 0)
            m_owed.removeFirst();
        qCDebug(lcProtocol) << "answer owed to an earlier send:" << protocol::frameTextForLog(frame)
                            << "-" << owedAnswers() << "still owed";
        if (m_inFlight.isEmpty() && m_owed.isEmpty())
            m_timer.stop();
        return false;
    }
    if (!answers(m_inFlightBytes, frame))
        return false;
    m_owed.clear();
    if (m_sends > 1)
        m_owed.append(Owed{m_inFlightBytes, m_sends - 1});
    endInFlight();
    return true;
}

void CommandQueue::answerSpoilt(quint8 command)
{
    if (m_inFlightBytes.isEmpty() || !answers(m_inFlightBytes, QByteArray(1, char(command))))
        return;
    qCDebug(lcProtocol) << "spoilt answer to" << protocol::frameTextForLog(m_inFlightBytes);
    onTimeout();
}

void CommandQueue::pieceReceived()
{
    if (!m_inFlight.isEmpty() || !m_owed.isEmpty())
        m_timer.start();
}

int CommandQueue::dropPending(const std::function<bool(const QString &)> &drop)
{
    const int before = m_pending.size();
    m_pending.erase(std::remove_if(m_pending.begin(), m_pending.end(), drop), m_pending.end());
    return before - m_pending.size();
}

int CommandQueue::clear()
{
    const int dropped = m_pending.size() + (m_inFlight.isEmpty() ? 0 : 1);
    m_timer.stop();
    m_pending.clear();
    m_inFlight.clear();
    m_inFlightBytes.clear();
    m_sends = 0;
    m_owed.clear();
    return dropped;
}

void CommandQueue::onTimeout()
{
    if (m_inFlight.isEmpty()) {
        if (!m_owed.isEmpty())
            qCDebug(lcProtocol) << owedAnswers() << "owed answers taken as lost";
        m_owed.clear();
        return;
    }
    if (m_sends <= kMaxRepeats) {
        ++m_sends;
        qCInfo(lcProtocol) << "no answer to" << protocol::frameTextForLog(m_inFlightBytes)
                           << "- attempt" << m_sends;
        m_timer.start();
        emit repeatRequested(m_inFlight);
        return;
    }
    const QString frame = m_inFlight;
    const int dropped = m_pending.size() + 1;
    m_pending.clear();
    m_owed.append(Owed{m_inFlightBytes, m_sends});
    qCWarning(lcProtocol) << "giving up on" << protocol::frameTextForLog(m_inFlightBytes) << "-"
                          << dropped << "commands dropped";
    endInFlight();
    emit gaveUp(frame, dropped);
}
