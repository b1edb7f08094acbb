// SPDX-License-Identifier: GPL-3.0-or-later
#include "bluetooth/emulator/instrumentlink.h"

#include "bluetooth/emulator/emulatedinstrument.h"

#include <QPointer>

#include <algorithm>

namespace emu {

namespace {
// While the receiver has not taken its bytes the stream waits this long
// before it looks again.
constexpr int kStreamBackoffMs = 1;
// Read in small pieces, so that a piece's answers overshoot the bound by little.
constexpr qint64 kReadPiece = 512;
} // namespace

InstrumentLink::InstrumentLink(std::shared_ptr<EmulatedInstrument> instrument, QObject *parent)
    : QObject(parent), m_instrument(std::move(instrument))
{
    m_clock.start();
    m_deliveryTimer.setSingleShot(true);
    connect(&m_deliveryTimer, &QTimer::timeout, this, &InstrumentLink::deliverNext);
    connect(&m_streamTimer, &QTimer::timeout, this, &InstrumentLink::streamMore);
}

void InstrumentLink::setReadyForMore(std::function<bool()> ready)
{
    m_readyForMore = std::move(ready);
}

void InstrumentLink::serve(QIODevice *device, qint64 maxUnsent)
{
    const auto readSome = [this, device, maxUnsent] {
        while (device->bytesAvailable() > 0 && device->bytesToWrite() + unsentBytes() <= maxUnsent)
            write(device->read(kReadPiece));
    };
    connect(device, &QIODevice::readyRead, this, readSome);
    connect(device, &QIODevice::bytesWritten, this, readSome);
    connect(this, &InstrumentLink::bytesReady, device,
            [device](const QByteArray &bytes) { device->write(bytes); });
    setReadyForMore([device, maxUnsent] { return device->bytesToWrite() < maxUnsent; });
}

qint64 InstrumentLink::unsentBytes() const
{
    qint64 bytes = 0;
    for (const PendingAnswer &answer : m_pending) {
        for (const QByteArray &piece : answer.pieces)
            bytes += piece.size();
    }
    return bytes;
}

void InstrumentLink::write(const QByteArray &bytes)
{
    const QList<EmulatedInstrument::Answer> answers = m_instrument->answer(bytes, &m_received);
    for (const EmulatedInstrument::Answer &answer : answers) {
        PendingAnswer pending;
        pending.due = m_clock.elapsed() + answer.delayMs;
        // Answers leave in order: a quick one waits behind a slow one.
        if (!m_pending.isEmpty())
            pending.due = std::max(pending.due, m_pending.last().due);
        for (const QByteArray &piece : m_instrument->cut(answer.bytes)) {
            if (!piece.isEmpty())
                pending.pieces.append(piece);
        }
        if (!pending.pieces.isEmpty())
            m_pending.append(pending);
    }
    schedule();
    if (m_instrument->streaming() && !m_streamTimer.isActive())
        m_streamTimer.start(0);
}

void InstrumentLink::schedule()
{
    if (m_pending.isEmpty()) {
        m_deliveryTimer.stop();
        return;
    }
    if (m_deliveryTimer.isActive())
        return;
    m_deliveryTimer.start(int(std::max<qint64>(0, m_pending.first().due - m_clock.elapsed())));
}

void InstrumentLink::deliverNext()
{
    if (m_pending.isEmpty())
        return;
    PendingAnswer &head = m_pending.first();
    if (head.due > m_clock.elapsed()) {
        schedule();
        return;
    }
    const QByteArray piece = head.pieces.takeFirst();
    const bool last = head.pieces.isEmpty();
    if (last)
        m_pending.removeFirst();
    QPointer<InstrumentLink> guard(this);
    emit bytesReady(piece);
    if (!guard)
        return;
    if (last && ++m_answersDelivered == m_instrument->hangUpAfter()) {
        m_pending.clear();
        m_streamTimer.stop();
        emit hangUp();
        return;
    }
    schedule();
}

void InstrumentLink::streamMore()
{
    if (m_readyForMore && !m_readyForMore()) {
        m_streamTimer.setInterval(kStreamBackoffMs);
        return;
    }
    m_streamTimer.setInterval(0);
    emit bytesReady(m_instrument->streamPiece());
}

} // namespace emu
