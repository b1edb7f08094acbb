#include "protocol/answerassembler.h"

#include "protocol/frame.h"

#include <QtEndian>

QList<AnswerAssembler::Answer> AnswerAssembler::feed(const QByteArray &piece)
{
    QList<Answer> out;
    take(piece.constData(), piece.size(), out);
    return out;
}

QList<AnswerAssembler::Answer> AnswerAssembler::feedHex(const QString &pieceHex)
{
    return feed(protocol::frameBytes(pieceHex));
}

void AnswerAssembler::clear()
{
    m_buffer.clear();
    rxLength = 0;
}

void AnswerAssembler::take(const char *data, int size, QList<Answer> &out)
{
    int pos = 0;
    while (pos < size) {
        if (m_buffer.isEmpty()) {
            if (!protocol::startsAnswer(quint8(data[pos]))) {
                ++m_discarded;
                ++pos;
                continue;
            }
            m_buffer.append(data[pos++]);
            continue;
        }

        if (rxLength == 0) {
            // Still collecting the two length bytes.
            m_buffer.append(data[pos++]);
            if (m_buffer.size() < 3)
                continue;
            const int declared = qFromLittleEndian<quint16>(m_buffer.constData() + 1);
            if (declared < protocol::kMinFrameLength) {
                // Not an answer after all: drop its first byte and look for a
                // start among the bytes that followed it.
                const QByteArray rest = m_buffer.mid(1);
                clear();
                ++m_discarded;
                take(rest.constData(), rest.size(), out);
                continue;
            }
            rxLength = declared;
        } else {
            const int wanted = qMin(rxLength - m_buffer.size(), size - pos);
            m_buffer.append(data + pos, wanted);
            pos += wanted;
        }

        if (m_buffer.size() == rxLength) {
            Answer answer;
            answer.frame = m_buffer;
            answer.checksumOk =
                quint8(m_buffer.back()) == protocol::checksum(m_buffer, rxLength - 1);
            out.append(answer);
            clear();
        }
    }
}
