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
    m_attempts = 1;
    m_timer.start();
}

bool CommandQueue::answerReceived(const QByteArray &frame)
{
    if (m_inFlightBytes.isEmpty() || frame.isEmpty() || frame.at(0) != m_inFlightBytes.at(0))
        return false;
    // A record answer carries its record number: a late answer to an earlier
    // request must not pass for the answer to this one. A short answer (an
    // empty slot) carries none and answers whatever was asked.
    if (quint8(frame.at(0)) == quint8(TDRCommand::ReadRecord) &&
        frame.size() >= protocol::kRecordBlockLength && m_inFlightBytes.size() > 3 &&
        frame.at(3) != m_inFlightBytes.at(3))
        return false;
    m_timer.stop();
    m_inFlight.clear();
    m_inFlightBytes.clear();
    m_attempts = 0;
    return true;
}

void CommandQueue::answerSpoilt(quint8 command)
{
    if (m_inFlightBytes.isEmpty() || quint8(m_inFlightBytes.at(0)) != command)
        return;
    qCDebug(lcProtocol) << "spoilt answer to" << m_inFlight;
    onTimeout();
}

void CommandQueue::pieceReceived()
{
    if (!m_inFlight.isEmpty())
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
    m_attempts = 0;
    return dropped;
}

void CommandQueue::onTimeout()
{
    if (m_inFlight.isEmpty())
        return;
    if (m_attempts <= kMaxRepeats) {
        ++m_attempts;
        qCInfo(lcProtocol) << "no answer to" << m_inFlight << "- attempt" << m_attempts;
        m_timer.start();
        emit repeatRequested(m_inFlight);
        return;
    }
    const QString frame = m_inFlight;
    const int dropped = clear();
    qCWarning(lcProtocol) << "giving up on" << frame << "-" << dropped << "commands dropped";
    emit gaveUp(frame, dropped);
}
