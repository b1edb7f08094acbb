// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

// The stop-and-wait queue of command frames (as frame text). At most one
// command is in flight: it waits for its answer, and only its answer releases
// the next frame. A command whose answer does not come (or comes spoilt)
// within the time-out is sent again, a limited number of times; the time-out
// restarts with every received piece, so a slow link is not cut off.
//
// What answers what: a ReadRecord is answered by a record answer with its
// record number (or an empty slot's bare 0x40 frame), GetList and GetVersion
// by an answer with their own byte, WriteRecord and SetSerial by any answer
// starting 0x43 to 0x46, as the instrument need not echo their byte. Other
// answers are late answers to earlier commands: the caller still handles
// them, but they release nothing.
//
// Repeats and extra answers. A command sent n times may be answered up to n
// times, so the queue counts the answers it may still be owed: when a command
// is released after n sends, n - 1 answers to it are owed; a command given up
// after n sends owes n. An answer that could be one of those owed pays the
// oldest such debt and releases nothing, even when it would fit the command
// in flight. So an extra acknowledgement never lets two commands be in
// flight. When an owed answer was lost instead, the real answer to the
// command in flight is taken for it and the command goes out again on its
// time-out: a lost answer costs time-outs (one per later write until the
// debt is settled), never a skipped or doubled command; sending a write twice
// puts the same bytes into the same slot.
// Settling: the instrument answers in order, so the answer that releases a
// command settles every send before that command (the list request that ends
// an upload does so), and an owed answer that arrives settles the debts older
// than it. A whole time-out with nothing in flight and nothing received
// counts what is still owed as lost; clear() drops it (the link is gone).
class CommandQueue : public QObject
{
    Q_OBJECT
public:
    explicit CommandQueue(QObject *parent = nullptr);

    static constexpr int kDefaultTimeoutMs = 3000;
    static constexpr int kMaxRepeats = 2;

    void setAnswerTimeout(int ms) { m_timer.setInterval(ms); }
    int answerTimeout() const { return m_timer.interval(); }

    // Appends a frame behind the others.
    void enqueue(const QString &frame);
    // A frame meant to go out at once: returns true, marking it in flight, when
    // nothing waits for an answer; otherwise it joins the queue.
    bool startNow(const QString &frame);
    // The next frame to send when nothing is in flight (marked in flight), or
    // an empty string.
    QString takeNext();

    // A checked answer: true when it releases the command in flight, which is
    // then complete. Late and extra answers release nothing.
    bool answerReceived(const QByteArray &frame);
    // An answer that failed its checks: counts like a lost answer for the
    // command in flight when its byte could answer it. It pays no debt, as a
    // spoilt frame may be no answer at all.
    void answerSpoilt(quint8 command);
    // Any received bytes: the instrument is still talking.
    void pieceReceived();

    // Drops the waiting frames for which `drop` holds (the one in flight is
    // left alone); returns how many were dropped.
    int dropPending(const std::function<bool(const QString &)> &drop);

    // Drops everything, in flight included; returns how many commands were
    // not carried out.
    int clear();

    // Answers that earlier sends may still bring (see above).
    int owedAnswers() const;
    // Whether `answer` (a checked frame) answers the command frame `command`.
    static bool answers(const QByteArray &command, const QByteArray &answer);

    bool isIdle() const { return m_inFlight.isEmpty(); }
    bool isEmpty() const { return m_pending.isEmpty() && m_inFlight.isEmpty(); }
    QString inFlight() const { return m_inFlight; }
    const QList<QString> &pending() const { return m_pending; }

signals:
    // The command in flight must go out again.
    void repeatRequested(const QString &frame);
    // The command in flight got no answer after all repeats; the queue was
    // emptied. `dropped` counts it and the frames that were waiting.
    void gaveUp(const QString &frame, int dropped);

private:
    struct Owed
    {
        QByteArray command;
        int answers = 0;
    };

    void markInFlight(const QString &frame);
    void endInFlight();
    void onTimeout();

    QList<QString> m_pending;
    QString m_inFlight;
    QByteArray m_inFlightBytes;
    int m_sends = 0;    // of the command in flight
    QList<Owed> m_owed; // oldest first
    QTimer m_timer{this};
};
