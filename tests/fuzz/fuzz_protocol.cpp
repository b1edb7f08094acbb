// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to everything that reads what the instrument or a
// file supplies: reassembly, answer decoding, the record transforms in both
// directions and the file name. Besides the sanitizers, it checks properties
// that must hold for any input.

#include "fuzzcheck.h"
#include "protocol/answerassembler.h"
#include "protocol/frame.h"
#include "protocol/tdrrecord.h"

#include <QtEndian>

#include <algorithm>
#include <cstdint>

namespace {

void checkAnswer(const AnswerAssembler::Answer &answer)
{
    const QByteArray &frame = answer.frame;
    FUZZ_CHECK(frame.size() >= protocol::kMinFrameLength);
    FUZZ_CHECK(protocol::startsAnswer(answer.command()));
    FUZZ_CHECK(qFromLittleEndian<quint16>(frame.constData() + 1) == frame.size());
    FUZZ_CHECK(answer.checksumOk == protocol::frameIsSound(frame));
}

void decode(const QByteArray &frame, TDRRecord &record)
{
    if (const auto id = protocol::parseIdentity(frame))
        protocol::applyIdentity(record, *id);
    const QList<protocol::RecordEntry> entries = protocol::parseRecordList(frame);
    FUZZ_CHECK(entries.size() <= qMax(0, (frame.size() - 3) / protocol::kRecordEntryLength));
    for (const protocol::RecordEntry &entry : entries)
        FUZZ_CHECK(entry.text().size() >= 24);
    const QByteArray before = protocol::recordBytes(record);
    if (protocol::applyRecordBlock(record, frame)) {
        const QByteArray after = protocol::recordBytes(record);
        FUZZ_CHECK(after.left(17) == before.left(17));
        FUZZ_CHECK(std::all_of(after.cbegin() + 511, after.cend(), [](char c) { return c == 0; }));
        FUZZ_CHECK(protocol::recordFileName(record, quint8(frame.at(3))).endsWith(".tdr"));
    } else {
        FUZZ_CHECK(frame.size() < protocol::kRecordBlockLength);
        FUZZ_CHECK(protocol::recordBytes(record) == before);
    }
}

// Cuts the input into pieces whose sizes are read from the input itself.
QList<QByteArray> pieces(const QByteArray &input)
{
    QList<QByteArray> out;
    int pos = 0;
    while (pos < input.size()) {
        const int size = quint8(input.at(pos++)) % 97;
        out << input.mid(pos, size);
        pos += size;
    }
    return out;
}

void fuzzAssembler(const QByteArray &input, TDRRecord &record)
{
    AnswerAssembler cut;
    QList<AnswerAssembler::Answer> answers;
    QByteArray stream;
    for (const QByteArray &piece : pieces(input)) {
        stream += piece;
        answers += cut.feed(piece);
        FUZZ_CHECK(cut.rxHex().size() / 2 < protocol::kMaxFrameLength);
    }
    // How the bytes are cut must not change the answers.
    AnswerAssembler whole;
    const QList<AnswerAssembler::Answer> reference = whole.feed(stream);
    FUZZ_CHECK(reference.size() == answers.size());
    for (int i = 0; i < answers.size(); ++i) {
        FUZZ_CHECK(answers.at(i).frame == reference.at(i).frame);
        checkAnswer(answers.at(i));
        decode(answers.at(i).frame, record);
    }
    FUZZ_CHECK(cut.rxHex() == whole.rxHex());
    FUZZ_CHECK(cut.discardedBytes() == whole.discardedBytes());

    AnswerAssembler hex;
    FUZZ_CHECK(hex.feedHex(protocol::frameText(stream)).size() == reference.size());
}

void fuzzUpload(const QByteArray &input)
{
    QByteArray image = input.repeated(protocol::kRecordImageSize / input.size() + 1)
                           .left(protocol::kRecordImageSize);
    protocol::RecordFileError error = protocol::checkRecordImage(image);
    FUZZ_CHECK(error != protocol::RecordFileError::Size);
    if (error == protocol::RecordFileError::Range) {
        // Files with an unknown range are refused before upload; give this one
        // a known range so the frame is still built from the arbitrary rest.
        const quint32 range = protocol::rangeTable[quint8(input.at(0)) % 12];
        qToLittleEndian<quint32>(range, image.data() + 37);
        error = protocol::checkRecordImage(image);
    }
    // A step the upload refuses still must not make the frame undefined.
    FUZZ_CHECK(error == protocol::RecordFileError::None ||
               error == protocol::RecordFileError::Step);
    const TDRRecord record = protocol::recordFromBytes(image);
    FUZZ_CHECK(protocol::recordBytes(record) == image);
    const QByteArray frame = protocol::writeRecordFrame(record, quint8(input.at(0)));
    FUZZ_CHECK(frame.size() == protocol::kRecordBlockLength);
    FUZZ_CHECK(quint8(frame.at(0)) == quint8(TDRCommand::WriteRecord));
    FUZZ_CHECK(protocol::frameIsSound(frame));
    FUZZ_CHECK(frame.mid(33, protocol::kSampleCount) == image.mid(262, protocol::kSampleCount));
    FUZZ_CHECK(!protocol::recordFileName(record, quint8(input.at(0))).isEmpty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), int(size));
    TDRRecord record = protocol::emptyRecord();

    fuzzAssembler(input, record);
    // The input taken as one frame, and as a record block of exact size.
    decode(input, record);
    QByteArray block = input.left(protocol::kRecordBlockLength);
    block.append(QByteArray(protocol::kRecordBlockLength - block.size(), '\0'));
    decode(block, record);
    FUZZ_CHECK(protocol::frameBytes(protocol::frameText(input)) == input);

    if (!input.isEmpty())
        fuzzUpload(input);
    return 0;
}
