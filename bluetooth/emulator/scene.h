// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QBluetoothAddress>
#include <QByteArray>
#include <QHostAddress>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <memory>

namespace emu {

class EmulatedInstrument;

// What the emulated radio sees around it, read from a JSON scene:
//
//   adapters        [{name, address}]  local adapters, in allDevices() order ([] = none)
//   defaultAdapter  index into adapters (0)
//   discoveryMs     pause before each discovery report (10)
//   devices         [{name, address, services: [{name, channel 1..30, instrument | tcp}]}]
//                   a service with neither refuses connections; "instrument" holds
//                   the emulated instrument's options, "tcp" an "IP:PORT" to bridge to
//   peers           {listen: "IP:PORT" (port 0 = any), name}: TCP clients there become
//                   peers of a listening server; a scene whose address cannot be
//                   listened on is refused
//
// Unknown keys are errors at every level, so that a typo does not pass silently.
struct SceneAdapter
{
    QString name;
    QBluetoothAddress address;
};

struct SceneService
{
    enum class Kind { Refusing, Instrument, Tcp };

    QString name;
    quint8 channel = 0;
    Kind kind = Kind::Refusing;
    QJsonObject instrumentOptions; // Kind::Instrument
    QHostAddress tcpHost;          // Kind::Tcp
    quint16 tcpPort = 0;
};

struct SceneDevice
{
    QString name;
    QBluetoothAddress address;
    QList<SceneService> services;
};

struct Scene
{
    QList<SceneAdapter> adapters;
    int defaultAdapter = 0;
    QList<SceneDevice> devices;
    int discoveryMs = 10;

    bool hasPeers = false;
    QHostAddress peersHost;
    quint16 peersPort = 0; // 0: any free port
    QString peersName;

    // Parses a scene. On failure returns false and sets `error` to one line
    // naming the offending key and what was expected there.
    static bool parse(const QByteArray &json, Scene *scene, QString *error);
};

// "IP:PORT" with a plain IPv4 address (four decimal parts) or an IPv6 one,
// bare or in brackets, and a port from lowestPort to 65535.
bool parseHostPort(const QString &text, int lowestPort, QHostAddress *host, quint16 *port);

// Scenes are written by hand; anything much larger is a mistake.
constexpr int kMaxSceneBytes = 4 * 1024 * 1024;

// Reads a scene (or instrument settings) file: only a regular file of at most
// kMaxSceneBytes. On failure returns false with a one-line reason.
bool readSceneFile(const QString &path, QByteArray *json, QString *error);

// The scene behind VARNEL_BLUETOOTH=emulator.
QByteArray demoSceneJson();

} // namespace emu
