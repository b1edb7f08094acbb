#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Puts answer frames back together from the pieces the link delivers. A piece
// may hold part of an answer, the end of one and the start of the next, or
// stray bytes; a 0x0A or a byte between 0x40 and 0x46 inside an answer is just
// data. Memory is bounded by the largest frame the 16-bit length allows.
class AnswerAssembler
{
public:
    struct Answer
    {
        QByteArray frame; // the whole frame, exactly `length` bytes
        bool checksumOk = false;
        quint8 command() const { return quint8(frame.at(0)); }
    };

    // Feeds one received piece; returns the answers it completed, in order.
    QList<Answer> feed(const QByteArray &piece);
    QList<Answer> feedHex(const QString &pieceHex);

    // Forgets the answer being assembled (done whenever a command goes out).
    void clear();

    bool isAssembling() const { return !m_buffer.isEmpty(); }
    // Hex text of the answer being assembled.
    QString rxHex() const { return QString::fromLatin1(m_buffer.toHex()); }
    // Bytes thrown away because they could not start an answer.
    qint64 discardedBytes() const { return m_discarded; }

private:
    void take(const char *data, int size, QList<Answer> &out);

    QByteArray m_buffer;
    int rxLength = 0; // 0 while the length field has not arrived yet
    qint64 m_discarded = 0;
};
