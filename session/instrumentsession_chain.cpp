// SPDX-License-Identifier: GPL-3.0-or-later
// The bookkeeping of a chain: what was asked, what was done, and the one line
// that tells the user.
#include "session/instrumentsession.h"

#include "protocol/frame.h"
#include "session/chainframe.h"

using chainframe::slotOf;

void InstrumentSession::beginChain(Chain kind, int total)
{
    if (m_chain.kind == Chain::None) {
        m_chain = ChainState();
        m_chain.kind = kind;
        m_lastCheck = UploadCheck();
    }
    (kind == Chain::Download ? m_chain.download : m_chain.upload).total += total;
    setPhase(Phase::Transferring);
    emit chainStarted(m_chain.kind, chainTotal());
    emit progress(m_chain.download.done + m_chain.download.failed + m_chain.upload.done,
                  chainTotal());
}

void InstrumentSession::chainStepDone(const QByteArray &inFlight, bool succeeded)
{
    if (chainframe::isWrite(inFlight)) {
        ++m_chain.upload.done;
        m_chain.check.acknowledged(slotOf(inFlight));
    } else if (succeeded) {
        ++m_chain.download.done;
    } else {
        ++m_chain.download.failed;
        if (m_chain.lastProblem.isEmpty()) // answered with no record in it
            m_chain.lastProblem = tr("The instrument sent an empty record; nothing was saved.");
    }
    emit progress(m_chain.download.done + m_chain.download.failed + m_chain.upload.done,
                  chainTotal());
    finishWhenResolved();
}

void InstrumentSession::uploadListed(const QList<protocol::RecordEntry> &entries)
{
    UploadCheck &check = m_chain.check;
    // Only a list asked after the last write was answered shows the upload.
    if (m_chain.kind == Chain::None || check.isEmpty() || check.listSeen() ||
        check.outstanding() > 0)
        return;
    const QList<int> readBack = check.listed(entries, m_readBack);
    for (int slot : readBack)
        m_queue.enqueue(protocol::readRecordCommand(quint8(slot)));
    finishWhenResolved();
}

void InstrumentSession::finishWhenResolved()
{
    if (m_chain.kind == Chain::None || !m_chain.download.resolved() || !m_chain.upload.resolved())
        return;
    const UploadCheck &check = m_chain.check;
    if (m_chain.upload.done > 0 && (!check.listSeen() || check.readingBack()))
        return;
    finishChain();
}

InstrumentSession::Summary InstrumentSession::finishChain(bool linkLost, bool gaveUp)
{
    const ChainState c = m_chain;
    m_chain = ChainState();
    // Late copies of its read-backs may still come; they are no downloads.
    m_lastCheck = c.check;
    const Counts &d = c.download;
    const Counts &u = c.upload;
    const int confirmed = c.check.confirmed();

    Summary summary;
    summary.kind = c.kind;
    summary.total = d.total + u.total;
    summary.done = d.done + confirmed;
    summary.failed = d.failed + u.failed;
    summary.notDone = (d.total - d.done - d.failed) + (u.total - u.done - u.failed);
    summary.skipped = c.skipped;
    summary.unconfirmed = c.check.unconfirmed() + c.check.differing();
    summary.cancelled = d.cancelled + u.cancelled > 0;
    summary.linkLost = linkLost;
    summary.gaveUp = gaveUp;

    QStringList parts;
    if (d.total > 0) {
        const int notSaved = d.total - d.done;
        if (linkLost)
            parts << tr("Disconnected. Records not downloaded: %1.").arg(notSaved - d.failed);
        else if (gaveUp)
            parts << tr("The instrument does not answer. Records not downloaded: %1.")
                         .arg(notSaved - d.failed);
        else if (d.cancelled > 0)
            parts << tr("Download cancelled. Records saved: %1, not saved: %2.")
                         .arg(d.done)
                         .arg(notSaved);
        else if (d.failed > 0)
            parts << tr("Records not saved: %1 of %2. %3")
                         .arg(d.failed)
                         .arg(d.total)
                         .arg(c.lastProblem);
        else
            parts << tr("Records saved: %1.").arg(d.done);
    }
    if (u.total > 0) {
        const int notSent = u.total - u.done - u.failed;
        if ((linkLost || gaveUp) && d.total > 0)
            parts << tr("Files not written: %1.").arg(notSent);
        else if (linkLost)
            parts << tr("Disconnected. Files not written: %1.").arg(notSent);
        else if (gaveUp)
            parts << tr("The instrument does not answer. Files not written: %1.").arg(notSent);
        else if (u.cancelled > 0)
            parts << tr("Upload cancelled. Records written: %1, not written: %2.")
                         .arg(confirmed)
                         .arg(u.total - confirmed);
        else
            parts << tr("Records written: %1.").arg(confirmed);
        parts << c.check.notes();
    }
    parts << c.notes;
    parts.removeAll(QString());
    summary.text = parts.join(QLatin1Char(' '));
    if (m_phase == Phase::Transferring)
        setPhase(m_linked ? Phase::Listed : Phase::Idle);
    emit chainFinished(summary);
    return summary;
}
