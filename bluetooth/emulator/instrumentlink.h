// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QIODevice>
#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

namespace emu {

class EmulatedInstrument;

// One connection to an emulated instrument: takes the bytes the tool writes
// and hands back the answers piece by piece, each after its delay, the way
// the radio would. The emulated stack's socket and the standalone simulator
// both carry the instrument's bytes through this.
class InstrumentLink : public QObject
{
    Q_OBJECT
public:
    explicit InstrumentLink(std::shared_ptr<EmulatedInstrument> instrument,
                            QObject *parent = nullptr);

    void write(const QByteArray &bytes);
    // Asked before each run of an endless stream; false holds it back, as flow
    // control holds back a sender whose receiver does not read.
    void setReadyForMore(std::function<bool()> ready);
    // Carries a connection's bytes both ways. While more than `maxUnsent`
    // bytes of answers wait to be sent, no more is read from it: a client
    // that sends and never reads is held back by flow control instead of
    // filling the memory.
    void serve(QIODevice *device, qint64 maxUnsent);
    // Bytes of answers made but not yet handed out.
    qint64 unsentBytes() const;
    EmulatedInstrument *instrument() const { return m_instrument.get(); }

signals:
    void bytesReady(const QByteArray &bytes);
    // The instrument drops the link (its hangUpAfter setting).
    void hangUp();

private:
    struct PendingAnswer
    {
        qint64 due = 0;
        QList<QByteArray> pieces;
    };

    void schedule();
    void deliverNext();
    void streamMore();

    std::shared_ptr<EmulatedInstrument> m_instrument;
    std::function<bool()> m_readyForMore;
    QList<PendingAnswer> m_pending;
    QByteArray m_received; // not yet a whole command
    QTimer m_deliveryTimer;
    QTimer m_streamTimer;
    QElapsedTimer m_clock;
    int m_answersDelivered = 0;
};

} // namespace emu
