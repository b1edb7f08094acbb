// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>

// The stop-and-wait queue of command frames. At most one
// command is in flight, and the next goes out only once it is answered.
//
// Any checked answer is the answer. An instrument answers each command with
// one frame, in order, and may choose its byte: a write may be echoed,
// answered 0x43 to 0x46, with the updated list or with the identity; a record
// block may carry another number than the one asked for. So any frame that
// passes its checks answers the command in flight, whatever its command byte
// or record number; the caller handles it by its own byte.
//
// Answers still owed come first. A command sent n times may be answered n
// times, and a frame sent at once while another is in flight is answered too.
// Each such send adds an answer owed; a checked answer pays the oldest debt
// before it can release anything, and the next queued frame waits until
// nothing is owed. So two commands' answers are never taken for one another:
// a late or doubled answer cannot release a write that was lost. Owed answers
// that do not come are counted as lost when, with nothing in flight, no
// progress was made for a time-out plus the time between the first and the
// last send (the answer to a repeat comes that much after the first one's):
// a lost answer costs one such wait, never a skipped or doubled command. A spoilt answer (one that
// fails its checks) may be no answer at all: it pays nothing, but the command in flight goes out
// again at once.
//
// Time-outs. Only progress towards an answer (bytes that can belong to one)
// extends the wait, and every send has a bound on its whole wait: the answer
// time-out plus the time the longest answer to it takes at the slowest link
// speed. A babbling link therefore ends in repeats and a give-up.
class CommandQueue : public QObject
{
    Q_OBJECT
public:
    explicit CommandQueue(QObject *parent = nullptr);

    static constexpr int kDefaultTimeoutMs = 3000;
    static constexpr int kMaxRepeats = 2;
    // Far below what an RFCOMM link carries, even on a poor radio link.
    static constexpr int kSlowestLinkBytesPerSecond = 1000;

    void setAnswerTimeout(int ms) { m_timeoutMs = ms; }
    int answerTimeout() const { return m_timeoutMs; }
    void setLinkSpeed(int bytesPerSecond) { m_bytesPerSecond = qMax(1, bytesPerSecond); }
    // The longest wait for one send of `frame`, progress or not.
    int answerBound(const QByteArray &frame) const;

    // Appends a frame behind the others.
    void enqueue(const QByteArray &frame);
    // A frame that goes out at once, whatever is in flight: it becomes the
    // command in flight when there is none, otherwise its answer is owed.
    void startNow(const QByteArray &frame);
    // The next frame to send when nothing is in flight or owed (marked in
    // flight), or an empty frame.
    QByteArray takeNext();

    // A checked answer: true when it releases the command in flight. Owed
    // answers release nothing.
    bool answerReceived();
    // An answer that failed its checks: the command in flight goes out again.
    void answerSpoilt();
    // Bytes that carry an answer further: the wait goes on, within its bound.
    void progressMade();

    // Drops the waiting frames for which `drop` holds (the one in flight is
    // left alone); returns how many were dropped.
    int dropPending(const std::function<bool(const QByteArray &)> &drop);
    // Gives up the command in flight now; its answers are still owed. Returns
    // false when nothing was in flight.
    bool abandonInFlight();

    // Drops everything, in flight and owed included; returns how many
    // commands were not carried out.
    int clear();

    int owedAnswers() const { return m_owed; }
    bool isIdle() const { return m_inFlight.isEmpty(); }
    bool isEmpty() const { return m_pending.isEmpty() && m_inFlight.isEmpty(); }
    // Nothing in flight and nothing owed: the next frame may go.
    bool isFree() const { return isIdle() && m_owed == 0; }
    QByteArray inFlight() const { return m_inFlight; }
    const QList<QByteArray> &pending() const { return m_pending; }

signals:
    // The command in flight must go out again.
    void repeatRequested(const QByteArray &frame);
    // The command in flight got no answer after all repeats; the queue was
    // emptied. `dropped` counts it and the frames that were waiting.
    void gaveUp(const QByteArray &frame, int dropped);
    // The answers still owed were taken as lost: the next frame may go.
    void settled();

private:
    void markInFlight(const QByteArray &frame);
    void endInFlight();
    void startWait(qint64 extraMs = 0);
    void onTimeout();

    QList<QByteArray> m_pending;
    QByteArray m_inFlight;
    int m_sends = 0; // of the command in flight
    QElapsedTimer m_sinceFirstSend;
    qint64 m_lastSendMs = 0; // after the first send
    int m_waitMs = 0;        // without progress, in the wait under way
    int m_owed = 0;          // answers to come before the one that releases
    int m_timeoutMs = kDefaultTimeoutMs;
    int m_bytesPerSecond = kSlowestLinkBytesPerSecond;
    QDeadlineTimer m_bound; // of the wait under way
    QTimer m_timer{this};
};
