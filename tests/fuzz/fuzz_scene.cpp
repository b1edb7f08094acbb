// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the scene parser, and the same document to the
// emulated instrument's settings reader, then drives an instrument that was
// accepted through one of each command. Nothing a scene file holds may crash
// or hang the tool; what is accepted must be usable.

#include "bluetooth/emulator/emulatedinstrument.h"
#include "bluetooth/emulator/scene.h"
#include "fuzzcheck.h"
#include "protocol/frame.h"

#include <QJsonDocument>
#include <QSet>

#include <cstdint>

namespace {

void checkScene(const emu::Scene &scene)
{
    QSet<quint64> addresses;
    for (const emu::SceneDevice &device : scene.devices) {
        FUZZ_CHECK(!addresses.contains(device.address.toUInt64()));
        addresses.insert(device.address.toUInt64());
        QSet<int> channels;
        for (const emu::SceneService &service : device.services) {
            FUZZ_CHECK(service.channel >= 1 && service.channel <= 30);
            FUZZ_CHECK(!channels.contains(service.channel));
            channels.insert(service.channel);
        }
    }
    FUZZ_CHECK(scene.adapters.isEmpty() || scene.defaultAdapter < scene.adapters.size());
}

void driveInstrument(const QJsonObject &options)
{
    const auto instrument = emu::EmulatedInstrument::fromJson(options, nullptr);
    if (!instrument)
        return;
    QByteArray commands = protocol::frameBytes(protocol::kGetVersionFrame) +
                          protocol::frameBytes(protocol::kGetListFrame);
    const QList<int> numbers = instrument->recordNumbers();
    for (const int number : numbers)
        commands += protocol::frameBytes(protocol::readRecordFrame(quint8(number)));
    const QList<QByteArray> answers = instrument->receive(commands);
    FUZZ_CHECK(answers.size() <= numbers.size() + 2);
    for (const QByteArray &answer : answers) {
        FUZZ_CHECK(answer.size() >= protocol::kMinFrameLength);
        QByteArray joined;
        const QList<QByteArray> pieces = instrument->cut(answer);
        for (const QByteArray &piece : pieces)
            joined += piece;
        FUZZ_CHECK(joined.endsWith(answer));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray json(reinterpret_cast<const char *>(data), int(size));
    emu::Scene scene;
    QString error;
    if (emu::Scene::parse(json, &scene, &error)) {
        checkScene(scene);
        for (const emu::SceneDevice &device : scene.devices) {
            for (const emu::SceneService &service : device.services) {
                if (service.kind == emu::SceneService::Kind::Instrument)
                    driveInstrument(service.instrumentOptions);
            }
        }
    } else {
        FUZZ_CHECK(!error.isEmpty());
        FUZZ_CHECK(!error.contains(QLatin1Char('\n')));
    }
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (document.isObject())
        driveInstrument(document.object());
    return 0;
}
