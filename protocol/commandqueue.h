#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

// The stop-and-wait queue of command frames (as frame text). At most one
// command is in flight: it waits for its answer, and only a matching answer
// releases the next frame. A command whose answer does not come (or comes
// spoilt) within the time-out is sent again, a limited number of times; the
// time-out restarts with every received piece, so a slow link is not cut off.
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

    // A checked answer: true when it answers the command in flight, which is
    // then complete. Answers that match nothing are not the queue's business.
    bool answerReceived(const QByteArray &frame);
    // An answer that failed its checks: counts like a lost answer for the
    // command in flight with the same command byte.
    void answerSpoilt(quint8 command);
    // Any received bytes: the instrument is still talking.
    void pieceReceived();

    // Drops the waiting frames for which `drop` holds (the one in flight is
    // left alone); returns how many were dropped.
    int dropPending(const std::function<bool(const QString &)> &drop);

    // Drops everything, in flight included; returns how many commands were
    // not carried out.
    int clear();

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
    void markInFlight(const QString &frame);
    void onTimeout();

    QList<QString> m_pending;
    QString m_inFlight;
    QByteArray m_inFlightBytes;
    int m_attempts = 0;
    QTimer m_timer;
};
