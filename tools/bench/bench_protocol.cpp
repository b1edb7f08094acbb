// SPDX-License-Identifier: GPL-3.0-or-later
// Throughput of the byte-level work the tool does for every answer: putting
// answers together from pieces, turning record blocks into images and back,
// and naming files. Prints one line per figure.
#include "protocol/answerassembler.h"
#include "protocol/frame.h"
#include "protocol/tdrrecord.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <cstdio>

namespace {

QByteArray recordBlock(QRandomGenerator &random, quint8 number)
{
    QByteArray block(protocol::kRecordBlockLength, '\0');
    for (int i = 3; i < block.size() - 1; ++i)
        block[i] = char(random.bounded(256));
    block[0] = char(TDRCommand::ReadRecord);
    block[3] = char(number);
    block[11] = 4;
    block[16] = 100;
    protocol::sealFrame(block);
    return block;
}

template<typename Work>
void measure(const char *what, const char *unit, double unitsPerRun, int runs, Work work)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < runs; ++i)
        work(i);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    std::printf("%-44s %12.1f %s/s  (%d runs in %.3f s)\n", what, unitsPerRun * runs / seconds,
                unit, runs, seconds);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QRandomGenerator random(2024);

    QByteArray stream;
    for (int i = 0; i < 1000; ++i)
        stream += recordBlock(random, quint8(i));
    QList<int> cuts;
    for (int pos = 0; pos < stream.size();) {
        const int size = 1 + int(random.bounded(64));
        cuts << qMin(size, stream.size() - pos);
        pos += size;
    }

    int answers = 0;
    measure("reassembly, random pieces of 1-64 bytes", "MB", stream.size() / 1e6, 20, [&](int) {
        AnswerAssembler assembler;
        int pos = 0;
        for (int size : qAsConst(cuts)) {
            answers += assembler.feed(stream.mid(pos, size)).size();
            pos += size;
        }
    });
    measure("reassembly, hex pieces as the link delivers", "MB", stream.size() / 1e6, 5, [&](int) {
        AnswerAssembler assembler;
        int pos = 0;
        for (int size : qAsConst(cuts)) {
            answers += assembler.feedHex(protocol::frameText(stream.mid(pos, size))).size();
            pos += size;
        }
    });

    const QByteArray block = recordBlock(random, 7);
    TDRRecord record = protocol::emptyRecord();
    measure("record block -> 37775-byte image", "records", 1, 20000,
            [&](int) { protocol::applyRecordBlock(record, block); });
    QString name;
    measure("file name", "names", 1, 200000,
            [&](int i) { name = protocol::recordFileName(record, quint8(i)); });
    QByteArray frame;
    measure("image -> WriteRecord frame", "frames", 1, 200000,
            [&](int i) { frame = protocol::writeRecordFrame(record, quint8(i)); });

    std::printf("(%d answers assembled, last name %s, last frame %d bytes)\n", answers,
                qPrintable(name), int(frame.size()));
    return 0;
}
