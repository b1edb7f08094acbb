// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <map>
#include <set>

// Puts answer frames back together from the pieces the link delivers. A piece
// may hold part of an answer, the end of one and the start of the next, or
// stray bytes; a 0x0A or a byte between 0x40 and 0x46 inside an answer is just
// data.
//
// Stray bytes are not allowed to cost an answer. Every byte that may start an
// answer is followed as a candidate as long as its length field is one an
// answer to that command byte can have. The oldest candidate is the answer
// being assembled. When it completes with a wrong checksum it is reported as
// spoilt and the next candidate among the bytes already received takes its
// place; when a later candidate completes with a right checksum first, the
// bytes before it were not an answer and are dropped. The outcome does not
// depend on how the bytes were cut into pieces. Memory is bounded by the
// largest frame the 16-bit length allows.
class AnswerAssembler
{
public:
    struct Answer
    {
        QByteArray frame; // the whole frame, exactly `length` bytes
        bool checksumOk = false;
        // Bytes received after this frame already began another answer (or
        // completed one): a spoilt frame followed like this must not make the
        // caller repeat its command and clear the assembler, as that would
        // throw the following answer away.
        bool followedByAnswer = false;
        quint8 command() const { return quint8(frame.at(0)); }
    };

    // Feeds one received piece; returns the answers it completed, in order.
    QList<Answer> feed(const QByteArray &piece);
    QList<Answer> feedHex(const QString &pieceHex);

    // Forgets the answer being assembled (done whenever a command goes out).
    void clear();

    bool isAssembling() const { return !m_starts.empty(); }
    // Hex text of the bytes held, from the start of the answer being assembled.
    QString rxHex() const;
    // Bytes thrown away because they belonged to no answer.
    qint64 discardedBytes() const { return m_discarded; }

private:
    struct Taken
    {
        Answer answer;
        qint64 end = 0;
    };
    void take(quint8 byte, QList<Taken> &out);
    void dropBefore(qint64 position);
    int index(qint64 position) const { return int(position - m_base); }
    quint8 at(qint64 position) const { return quint8(m_buffer.at(index(position))); }

    QByteArray m_buffer;                  // bytes from stream position m_base on
    QByteArray m_sums;                    // m_sums[i]: low byte of the sum of m_buffer[0 .. i-1]
    qint64 m_base = 0;                    // stream position of m_buffer[0]
    qint64 m_next = 0;                    // stream position of the next byte
    qint64 m_reported = 0;                // end of the last frame returned
    qint64 m_settled = 0;                 // bytes before it were returned or counted as discarded
    std::set<qint64> m_starts;            // live candidates
    std::multimap<qint64, qint64> m_ends; // end -> start, once a length is known
    qint64 m_discarded = 0;
};
