// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/instrumentsession.h"

#include "link/tdrclient.h"
#include "protocol/logging.h"
#include "session/chainframe.h"

#include <QBluetoothDeviceInfo>
#include <QDebug>
#include <QFileInfo>

using chainframe::isChainFrame;
using chainframe::isRead;
using chainframe::slotOf;

InstrumentSession::InstrumentSession(bt::BluetoothStack &stack, RecordStore &store, QObject *parent)
    : QObject(parent), m_stack(stack), m_store(store), m_record(protocol::emptyRecord())
{
    qRegisterMetaType<InstrumentSession::Summary>();
    qRegisterMetaType<session::Phase>();
    // A repeat is the same command again: the answer being assembled may well
    // be its answer, so the assembler keeps it.
    connect(&m_queue, &CommandQueue::repeatRequested, this, &InstrumentSession::sendFrame);
    connect(&m_queue, &CommandQueue::gaveUp, this,
            [this](const QByteArray &, int dropped) { commandsAbandoned(dropped); });
    connect(&m_queue, &CommandQueue::settled, this, &InstrumentSession::sendNextPending);
    // Once the link's end is announced, by whoever, nothing waits for it.
    connect(this, &InstrumentSession::linkDown, this, [this] { setPhase(Phase::Idle); });
}

InstrumentSession::~InstrumentSession()
{
    // Links would report their sockets closing into a half-destroyed session.
    for (const QPointer<TDRClient> &client : qAsConst(m_clients)) {
        if (client) {
            client->disconnect(this);
            delete client;
        }
    }
}

void InstrumentSession::connectTo(const QBluetoothServiceInfo &service)
{
    m_service = service;
    // Whatever was meant for an earlier link must never reach this one.
    m_queue.clear();
    m_assembler.clear();
    m_entries.clear();
    if (m_chain.kind != Chain::None)
        finishChain(true);
    m_lastCheck = UploadCheck();
    m_linked = false;
    // Earlier links go for good; one that never came up announces no
    // disconnection, so nothing else would ever delete it.
    for (const QPointer<TDRClient> &client : qAsConst(m_clients)) {
        if (client)
            client->retire();
    }
    m_clients.clear();
    setPhase(Phase::Connecting);
    qDebug() << "Connecting to service 2" << service.serviceName() << "on"
             << service.device().name();
    qDebug() << "Going to create client";
    auto *client = new TDRClient(m_stack, this);
    qDebug() << "Connecting...";
    connect(client, &TDRClient::bytesReceived, this, &InstrumentSession::onPiece);
    connect(client, &TDRClient::disconnected, this, &InstrumentSession::onClientDisconnected);
    connect(client, QOverload<QString>::of(&TDRClient::connected), this,
            &InstrumentSession::onClientConnected);
    connect(client, &TDRClient::socketErrorOccurred, this, &InstrumentSession::onClientError);
    qDebug() << "Start client";
    m_client = client;
    client->startClient(service);
    m_clients.append(client);
}

void InstrumentSession::disconnectLink()
{
    const QList<QPointer<TDRClient>> snapshot = m_clients;
    for (const QPointer<TDRClient> &client : snapshot) {
        if (client)
            client->retire();
    }
    // An attempt abandoned before it came up: whatever it still reports
    // belongs to no link.
    if (!m_linked) {
        m_client = nullptr;
        if (m_phase == Phase::Connecting)
            setPhase(Phase::Idle);
    }
}

void InstrumentSession::setPhase(Phase phase)
{
    if (phase == m_phase)
        return;
    m_phase = phase;
    emit phaseChanged(phase);
}

void InstrumentSession::onClientConnected(const QString &name)
{
    if (sender() != m_client)
        return;
    m_linked = true;
    setPhase(Phase::Linked);
    emit linkUp(name);
    // Asked twice: the second request goes out once the first is answered.
    sendAtOnce(protocol::kGetVersionCommand);
    m_queue.enqueue(protocol::kGetVersionCommand);
}

void InstrumentSession::onClientDisconnected()
{
    auto *client = qobject_cast<TDRClient *>(sender());
    if (client) {
        m_clients.removeOne(client);
        client->retire();
    }
    // An earlier link going away later says nothing about the current one.
    if (client && client != m_client)
        return;
    const bool wasUp = m_linked;
    m_linked = false;
    m_client = nullptr;
    // Frames left over belong to this instrument: sending them to the next
    // one could overwrite its records.
    const int dropped = m_queue.clear();
    m_assembler.clear();
    m_entries.clear();
    QString statusText;
    if (m_chain.kind != Chain::None) {
        statusText = finishChain(true).text;
    } else if (dropped > 0) {
        statusText = tr("Disconnected. Queued commands not carried out: %1.").arg(dropped);
    }
    if (wasUp || !statusText.isEmpty()) {
        setPhase(Phase::Idle);
        emit linkDown(statusText);
    }
}

void InstrumentSession::onClientError(const QString &error)
{
    if (sender() != m_client)
        return;
    emit linkError(error, m_linked);
    // The attempt is over; a link that was up reports its end itself.
    if (!m_linked && m_phase == Phase::Connecting)
        setPhase(Phase::Idle);
}

void InstrumentSession::onPiece(const QString &sender, const QByteArray &piece)
{
    emit pieceReceived(sender, protocol::frameText(piece));
    if (QObject::sender() != m_client)
        return; // the tail of an earlier link
    const QList<AnswerAssembler::Answer> answers = m_assembler.feed(piece);
    // Bytes that belong to no answer (a babbling link) do not extend the wait.
    if (!answers.isEmpty() || m_assembler.isAssembling())
        m_queue.progressMade();
    for (const AnswerAssembler::Answer &answer : answers) {
        if (!answer.checksumOk) {
            // Followed by more candidates it was most likely no answer: a
            // babbling link would flood the log with these.
            if (answer.followedByAnswer) {
                qCDebug(lcProtocol) << "candidate with a wrong checksum dropped:"
                                    << protocol::frameTextForLog(answer.frame);
                continue;
            }
            qCInfo(lcProtocol) << "answer with a wrong checksum dropped:"
                               << protocol::frameTextForLog(answer.frame);
            m_queue.answerSpoilt();
            continue;
        }
        // Every checked answer is handled by its own byte, so no record is
        // lost even when it comes late; the queue decides whether it is the
        // one that lets the next command go.
        const QByteArray inFlight = m_queue.inFlight();
        // A record block identical to the last one, while another read is in
        // flight, is that answer sent twice: no other read is answered with
        // the same block. It was handled already and releases nothing.
        const bool record = TDRCommand(answer.command()) == TDRCommand::ReadRecord &&
                            answer.frame.size() >= protocol::kRecordBlockLength;
        if (record && answer.frame == m_lastRecord.first && inFlight != m_lastRecord.second &&
            m_queue.owedAnswers() == 0) {
            qCInfo(lcProtocol) << "record answer sent twice, ignored:"
                               << quint8(answer.frame.at(3));
            continue;
        }
        if (record)
            m_lastRecord = qMakePair(answer.frame, inFlight);
        const bool released = m_queue.answerReceived();
        if (released && isRead(inFlight) && m_chain.check.isReadingBack(slotOf(inFlight))) {
            // A slot read back to compare, not a download: no file of it.
            m_chain.check.readBack(slotOf(inFlight), answer.frame);
            finishWhenResolved();
            sendNextPending();
            continue;
        }
        if (!released && TDRCommand(answer.command()) == TDRCommand::ReadRecord &&
            answer.frame.size() > 3 &&
            (m_chain.check.wasReadBack(quint8(answer.frame.at(3))) ||
             m_lastCheck.wasReadBack(quint8(answer.frame.at(3)))))
            continue; // a late copy of a read-back
        handleAnswer(answer.frame, inFlight);
        if (released && m_chain.kind != Chain::None && isChainFrame(inFlight))
            chainStepDone(inFlight, m_chain.savedInStep);
        sendNextPending();
    }
}

void InstrumentSession::sendFrame(const QByteArray &frame)
{
    // The one text of the frame: for the log and the peers.
    emit frameSent(protocol::frameText(frame));
    if (m_client)
        m_client->sendBytes(frame);
}

void InstrumentSession::sendNextPending()
{
    const QByteArray frame = m_queue.takeNext();
    if (frame.isEmpty())
        return;
    m_assembler.clear();
    if (isChainFrame(frame))
        m_chain.savedInStep = false;
    sendFrame(frame);
}

void InstrumentSession::sendAtOnce(const QByteArray &frame)
{
    // Sent whatever is in flight; an answer being assembled is kept, as it
    // may be the answer to the command before.
    if (m_queue.isFree())
        m_assembler.clear();
    m_queue.startNow(frame);
    sendFrame(frame);
}

void InstrumentSession::commandsAbandoned(int dropped)
{
    m_assembler.clear();
    if (m_chain.kind != Chain::None) {
        finishChain(false, true);
        return;
    }
    emit notice(tr("The instrument does not answer. Commands not carried out: %1.").arg(dropped));
}

bool InstrumentSession::handleAnswer(const QByteArray &frame, const QByteArray &inFlight)
{
    switch (TDRCommand(quint8(frame.at(0)))) {
    case TDRCommand::GetList:
        m_entries = protocol::parseRecordList(frame);
        if (m_phase < Phase::Listed)
            setPhase(Phase::Listed);
        emit recordListReceived(m_entries);
        uploadListed(m_entries);
        break;
    case TDRCommand::GetVersion: {
        const auto identity = protocol::parseIdentity(frame);
        if (!identity) {
            qCWarning(lcProtocol) << "identity answer too short:"
                                  << protocol::frameTextForLog(frame);
            return false;
        }
        m_identity = *identity;
        protocol::applyIdentity(m_record, m_identity);
        if (m_phase < Phase::Identified)
            setPhase(Phase::Identified);
        emit identityReceived();
        break;
    }
    case TDRCommand::ReadRecord:
        // A bare 0x40 frame answers a write as well as an empty slot.
        if (frame.size() < protocol::kRecordBlockLength && !isRead(inFlight))
            break;
        return saveRecord(frame);
    default:
        break; // 0x43 to 0x46 only release the next command
    }
    return true;
}

bool InstrumentSession::saveRecord(const QByteArray &frame)
{
    if (frame.size() < protocol::kRecordBlockLength) {
        qCWarning(lcProtocol) << "record answer too short:" << protocol::frameTextForLog(frame);
        const QString message = tr("The instrument sent an empty record; nothing was saved.");
        m_chain.lastProblem = message;
        emit recordFailed(frame.size() > 3 ? quint8(frame.at(3)) : 0, message);
        return false;
    }
    const quint8 number = quint8(frame.at(3));
    protocol::applyRecordBlock(m_record, frame);
    const RecordStore::Saved saved = m_store.save(m_record, number);
    if (saved.error.isEmpty()) {
        m_chain.savedInStep = true;
        emit recordSaved(number, saved.fileName);
        return true;
    }
    const QString message = tr("Record %1 could not be saved as \"%2\": %3")
                                .arg(number, 3, 10, QLatin1Char('0'))
                                .arg(saved.fileName, saved.error);
    qCWarning(lcApp) << message;
    m_chain.lastProblem = message;
    emit recordFailed(number, message);
    return false;
}

void InstrumentSession::requestList()
{
    // At once, even while another command waits for its answer: the list
    // answer is then owed before anything else goes out.
    if (m_linked)
        sendAtOnce(protocol::kGetListCommand);
}

void InstrumentSession::queueList()
{
    if (!m_linked)
        return;
    m_queue.enqueue(protocol::kGetListCommand);
    sendNextPending();
}

bool InstrumentSession::download(const QList<quint8> &numbers)
{
    if (!m_linked || numbers.isEmpty())
        return false;
    for (quint8 number : numbers)
        m_queue.enqueue(protocol::readRecordCommand(number));
    beginChain(Chain::Download, numbers.size());
    sendNextPending();
    return true;
}

UploadPlan InstrumentSession::planUpload(const QStringList &paths, int firstSlot) const
{
    return UploadPlan::make(paths, firstSlot, m_entries);
}

UploadPlan InstrumentSession::upload(UploadPlan plan)
{
    plan.queued = 0;
    if (!m_linked) {
        plan.linked = false;
        return plan;
    }
    for (const UploadPlan::Item &item : qAsConst(plan.items))
        m_queue.enqueue(item.frame);
    plan.queued = plan.items.size();
    if (plan.queued > 0) {
        beginChain(Chain::Upload, plan.queued);
        m_chain.check.add(plan.items);
        m_chain.skipped += plan.skipped;
        m_chain.notes = plan.notes;
    }
    // The list that follows shows what the instrument took.
    m_queue.enqueue(protocol::kGetListCommand);
    sendNextPending();
    return plan;
}

bool InstrumentSession::setSerial(const QString &text)
{
    if (!m_linked || text.isEmpty())
        return false;
    m_queue.enqueue(protocol::setSerialCommand(text));
    m_queue.enqueue(protocol::kGetVersionCommand);
    sendNextPending();
    return true;
}

void InstrumentSession::cancel()
{
    if (m_chain.kind == Chain::None)
        return;
    // The command in flight is still answered and handled; the list that
    // follows an upload still comes, to show what was written.
    m_queue.dropPending([this](const QByteArray &frame) { return countDropped(frame); });
    finishWhenResolved();
}

void InstrumentSession::stop()
{
    if (m_chain.kind == Chain::None)
        return;
    // Its answer, should it still come, is owed: handled, but it releases
    // nothing.
    const QByteArray inFlight = m_queue.inFlight();
    if (isChainFrame(inFlight) && m_queue.abandonInFlight())
        countDropped(inFlight);
    cancel();
}

bool InstrumentSession::countDropped(const QByteArray &frame)
{
    if (!isChainFrame(frame))
        return false;
    if (!isRead(frame)) {
        m_chain.check.dropped(slotOf(frame));
        ++m_chain.upload.cancelled;
    } else if (m_chain.check.isReadingBack(slotOf(frame))) {
        m_chain.check.readBackLost(slotOf(frame));
    } else {
        ++m_chain.download.cancelled;
    }
    return true;
}
