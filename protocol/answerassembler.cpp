// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/answerassembler.h"

#include "protocol/frame.h"

QList<AnswerAssembler::Answer> AnswerAssembler::feed(const QByteArray &piece)
{
    QList<Taken> taken;
    for (const char byte : piece)
        take(quint8(byte), taken);

    QList<Answer> out;
    for (int i = 0; i < taken.size(); ++i) {
        Answer answer = taken.at(i).answer;
        answer.followedByAnswer =
            i + 1 < taken.size() || (!m_starts.empty() && *m_starts.rbegin() >= taken.at(i).end);
        out.append(answer);
    }
    return out;
}

QList<AnswerAssembler::Answer> AnswerAssembler::feedHex(const QString &pieceHex)
{
    return feed(protocol::frameBytes(pieceHex));
}

void AnswerAssembler::clear()
{
    m_buffer.clear();
    m_sums.clear();
    m_starts.clear();
    m_ends.clear();
    m_base = m_next;
    m_reported = m_next;
    m_settled = m_next;
}

QString AnswerAssembler::rxHex() const
{
    if (m_starts.empty())
        return QString();
    return QString::fromLatin1(m_buffer.mid(index(*m_starts.begin())).toHex());
}

void AnswerAssembler::dropBefore(qint64 position)
{
    // Bytes that were part of no returned frame are counted as thrown away.
    const qint64 from = qMax(m_settled, m_reported);
    if (position > from)
        m_discarded += position - from;
    m_settled = qMax(m_settled, position);
    if (m_starts.empty()) {
        m_buffer.clear();
        m_sums.clear();
        m_ends.clear();
        m_base = m_next;
        return;
    }
    // Cut the front off only once it is a good part of the buffer, so a run
    // of failing candidates does not copy the buffer for every byte.
    const int dead = index(*m_starts.begin());
    if (dead > 4096 && dead > m_buffer.size() / 2) {
        m_buffer.remove(0, dead);
        m_sums.remove(0, dead);
        m_base += dead;
    }
}

void AnswerAssembler::take(quint8 byte, QList<Taken> &out)
{
    const qint64 p = m_next++;
    if (m_starts.empty()) {
        if (!protocol::startsAnswer(byte)) {
            ++m_discarded;
            m_settled = m_next;
            return;
        }
        m_buffer.clear();
        m_sums = QByteArray(1, '\0');
        m_ends.clear();
        m_base = p;
    }
    const qint64 oldStart = m_starts.empty() ? p : *m_starts.begin();
    m_buffer.append(char(byte));
    m_sums.append(char(quint8(m_sums.back()) + byte));
    if (protocol::startsAnswer(byte))
        m_starts.insert(p);

    // The candidate two bytes back has its length now.
    const qint64 head = p - 2;
    if (head >= m_base && m_starts.count(head)) {
        const int length = at(head + 1) | at(head + 2) << 8;
        if (protocol::answerLengthPlausible(at(head), length))
            m_ends.emplace(head + length, head);
        else
            m_starts.erase(head);
    }

    // Candidates that end with this byte, oldest first.
    const auto ending = m_ends.equal_range(p + 1);
    for (auto it = ending.first; it != ending.second; ++it) {
        const qint64 start = it->second;
        if (!m_starts.count(start))
            continue;
        const quint8 sum = quint8(m_sums.at(index(p)) - m_sums.at(index(start)));
        const bool sound = sum == byte;
        // Only the answer being assembled is reported when spoilt; a false
        // start inside other bytes, or inside a frame already reported, just
        // goes, so reported frames never overlap.
        const bool current = start == oldStart && start >= m_reported;
        if (!sound && !current) {
            m_starts.erase(start);
            continue;
        }
        Taken taken;
        taken.answer.frame = m_buffer.mid(index(start), int(p + 1 - start));
        taken.answer.checksumOk = sound;
        taken.end = p + 1;
        if (sound) {
            // Whatever came before it was not an answer.
            m_starts.clear();
            dropBefore(start);
            m_reported = p + 1;
            out.append(taken);
            return;
        }
        m_starts.erase(start);
        out.append(taken);
        m_reported = p + 1;
    }
    m_ends.erase(ending.first, ending.second);

    if (m_starts.empty())
        dropBefore(p + 1);
    else if (*m_starts.begin() != oldStart)
        dropBefore(*m_starts.begin());
}
