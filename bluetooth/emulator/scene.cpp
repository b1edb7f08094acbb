// SPDX-License-Identifier: GPL-3.0-or-later
#include "bluetooth/emulator/scene.h"

#include "bluetooth/emulator/emulatedinstrument.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSet>

#include <cctype>
#include <cmath>

namespace emu {

namespace {

// Four decimal parts for IPv4, or IPv6 (in brackets or bare): the system's
// parser would also take "1.2.3" and read it as 1.2.0.3.
QHostAddress strictAddress(QString text)
{
    if (text.startsWith(QLatin1Char('[')) && text.endsWith(QLatin1Char(']'))) {
        text = text.mid(1, text.size() - 2);
        if (!text.contains(QLatin1Char(':'))) // brackets hold IPv6 only
            return {};
    } else if (text.contains(QLatin1Char('[')) || text.contains(QLatin1Char(']')))
        return {};
    if (text.contains(QLatin1Char(':'))) {
        const QHostAddress v6(text);
        return v6.protocol() == QAbstractSocket::IPv6Protocol ? v6 : QHostAddress();
    }
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return {};
    for (const QString &part : parts) {
        bool digits = !part.isEmpty() && part.size() <= 3 &&
                      (part.size() == 1 || part.at(0) != QLatin1Char('0'));
        for (const QChar c : part)
            digits = digits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
        if (!digits || part.toInt() > 255)
            return {};
    }
    return QHostAddress(text);
}

// Keys come from the file and may hold line ends; an error stays one line.
QString oneLine(QString text)
{
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i).unicode() < 0x20) {
            const QString escape =
                QStringLiteral("\\u%1").arg(text.at(i).unicode(), 4, 16, QLatin1Char('0'));
            text.replace(i, 1, escape);
            i += escape.size() - 1;
        }
    }
    return text;
}

// Each check returns false after writing "<path>: <what was expected>".
class Reader
{
public:
    explicit Reader(QString *error) : m_error(error) {}

    bool fail(const QString &path, const QString &what)
    {
        if (m_error)
            *m_error = oneLine(path.isEmpty() ? what : path + QStringLiteral(": ") + what);
        return false;
    }

    bool onlyKeys(const QJsonObject &object, const QString &path, const QStringList &allowed)
    {
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (!allowed.contains(it.key()))
                return fail(join(path, it.key()),
                            QStringLiteral("unknown key (expected one of: %1)")
                                .arg(allowed.join(QStringLiteral(", "))));
        }
        return true;
    }

    bool required(const QJsonObject &object, const QString &path, const QString &key)
    {
        if (!object.contains(key))
            return fail(join(path, key), QStringLiteral("required key is missing"));
        return true;
    }

    bool object(const QJsonValue &value, const QString &path, QJsonObject *out)
    {
        if (!value.isObject())
            return fail(path, QStringLiteral("expected an object"));
        *out = value.toObject();
        return true;
    }

    bool array(const QJsonValue &value, const QString &path, QJsonArray *out)
    {
        if (!value.isArray())
            return fail(path, QStringLiteral("expected an array"));
        *out = value.toArray();
        return true;
    }

    bool string(const QJsonValue &value, const QString &path, QString *out)
    {
        if (!value.isString())
            return fail(path, QStringLiteral("expected a string"));
        *out = value.toString();
        return true;
    }

    bool integer(const QJsonValue &value, const QString &path, int low, int high, int *out)
    {
        const double number = value.toDouble();
        if (!value.isDouble() || std::floor(number) != number || number < low || number > high)
            return fail(path,
                        QStringLiteral("expected an integer from %1 to %2").arg(low).arg(high));
        *out = int(number);
        return true;
    }

    bool address(const QJsonValue &value, const QString &path, QBluetoothAddress *out)
    {
        const QString text = value.toString();
        bool wellFormed = text.size() == 17;
        for (int i = 0; wellFormed && i < text.size(); ++i) {
            const QChar c = text.at(i);
            const char latin = c.unicode() < 128 ? char(c.unicode()) : '\0';
            wellFormed = i % 3 == 2 ? latin == ':' : std::isxdigit(uchar(latin)) != 0;
        }
        const QBluetoothAddress parsed(text);
        if (!value.isString() || !wellFormed || parsed.isNull())
            return fail(path,
                        QStringLiteral("expected a Bluetooth address like 00:1A:7D:DA:71:13"));
        *out = parsed;
        return true;
    }

    bool hostPort(const QJsonValue &value, const QString &path, int lowestPort, QHostAddress *host,
                  quint16 *port)
    {
        if (!value.isString() || !parseHostPort(value.toString(), lowestPort, host, port))
            return fail(path, QStringLiteral("expected \"IP:PORT\" like 127.0.0.1:7001 or "
                                             "[::1]:7001, with a port from %1 to 65535")
                                  .arg(lowestPort));
        return true;
    }

    static QString join(const QString &path, const QString &key)
    {
        return path.isEmpty() ? key : path + QLatin1Char('.') + key;
    }
    static QString index(const QString &path, int i)
    {
        return path + QStringLiteral("[%1]").arg(i);
    }

private:
    QString *m_error;
};

bool parseService(Reader &r, const QJsonValue &value, const QString &path, SceneService *service)
{
    QJsonObject o;
    if (!r.object(value, path, &o) ||
        !r.onlyKeys(o, path,
                    {QStringLiteral("name"), QStringLiteral("channel"),
                     QStringLiteral("instrument"), QStringLiteral("tcp")}) ||
        !r.required(o, path, QStringLiteral("channel")))
        return false;
    if (o.contains(QLatin1String("name")) &&
        !r.string(o.value(QLatin1String("name")), Reader::join(path, QStringLiteral("name")),
                  &service->name))
        return false;
    int channel = 0;
    if (!r.integer(o.value(QLatin1String("channel")), Reader::join(path, QStringLiteral("channel")),
                   1, 30, &channel))
        return false;
    service->channel = quint8(channel);

    const bool hasInstrument = o.contains(QLatin1String("instrument"));
    const bool hasTcp = o.contains(QLatin1String("tcp"));
    if (hasInstrument && hasTcp)
        return r.fail(path, QStringLiteral("\"instrument\" and \"tcp\" exclude each other"));
    if (hasInstrument) {
        const QString where = Reader::join(path, QStringLiteral("instrument"));
        if (!r.object(o.value(QLatin1String("instrument")), where, &service->instrumentOptions))
            return false;
        // Build one now so that a bad option is reported with the scene, not
        // at the first connection.
        QString problem;
        if (!EmulatedInstrument::fromJson(service->instrumentOptions, &problem))
            return r.fail(where, problem.isEmpty() ? QStringLiteral("invalid options") : problem);
        service->kind = SceneService::Kind::Instrument;
    } else if (hasTcp) {
        if (!r.hostPort(o.value(QLatin1String("tcp")), Reader::join(path, QStringLiteral("tcp")), 1,
                        &service->tcpHost, &service->tcpPort))
            return false;
        service->kind = SceneService::Kind::Tcp;
    }
    return true;
}

bool parseDevice(Reader &r, const QJsonValue &value, const QString &path, SceneDevice *device)
{
    QJsonObject o;
    if (!r.object(value, path, &o) ||
        !r.onlyKeys(
            o, path,
            {QStringLiteral("name"), QStringLiteral("address"), QStringLiteral("services")}) ||
        !r.required(o, path, QStringLiteral("name")) ||
        !r.required(o, path, QStringLiteral("address")) ||
        !r.string(o.value(QLatin1String("name")), Reader::join(path, QStringLiteral("name")),
                  &device->name) ||
        !r.address(o.value(QLatin1String("address")), Reader::join(path, QStringLiteral("address")),
                   &device->address))
        return false;

    if (!o.contains(QLatin1String("services")))
        return true;
    const QString servicesPath = Reader::join(path, QStringLiteral("services"));
    QJsonArray services;
    if (!r.array(o.value(QLatin1String("services")), servicesPath, &services))
        return false;
    QSet<int> channels;
    for (int i = 0; i < services.size(); ++i) {
        SceneService service;
        const QString where = Reader::index(servicesPath, i);
        if (!parseService(r, services.at(i), where, &service))
            return false;
        if (channels.contains(service.channel))
            return r.fail(Reader::join(where, QStringLiteral("channel")),
                          QStringLiteral("channel %1 is already used by another service of this "
                                         "device")
                              .arg(service.channel));
        channels.insert(service.channel);
        device->services.append(service);
    }
    return true;
}

} // namespace

bool Scene::parse(const QByteArray &json, Scene *scene, QString *error)
{
    Reader r(error);
    if (json.size() > kMaxSceneBytes)
        return r.fail(
            QString(),
            QStringLiteral("the scene is larger than %1 MiB").arg(kMaxSceneBytes / (1024 * 1024)));
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return r.fail(QString(), QStringLiteral("invalid JSON at offset %1: %2")
                                     .arg(parseError.offset)
                                     .arg(parseError.errorString()));
    if (!document.isObject())
        return r.fail(QString(), QStringLiteral("expected a JSON object at the top level"));

    Scene result;
    const QJsonObject top = document.object();
    if (!r.onlyKeys(top, QString(),
                    {QStringLiteral("adapters"), QStringLiteral("defaultAdapter"),
                     QStringLiteral("devices"), QStringLiteral("peers"),
                     QStringLiteral("discoveryMs")}) ||
        !r.required(top, QString(), QStringLiteral("adapters")))
        return false;

    QJsonArray adapters;
    if (!r.array(top.value(QLatin1String("adapters")), QStringLiteral("adapters"), &adapters))
        return false;
    for (int i = 0; i < adapters.size(); ++i) {
        const QString path = Reader::index(QStringLiteral("adapters"), i);
        QJsonObject o;
        SceneAdapter adapter;
        if (!r.object(adapters.at(i), path, &o) ||
            !r.onlyKeys(o, path, {QStringLiteral("name"), QStringLiteral("address")}) ||
            !r.required(o, path, QStringLiteral("name")) ||
            !r.required(o, path, QStringLiteral("address")) ||
            !r.string(o.value(QLatin1String("name")), Reader::join(path, QStringLiteral("name")),
                      &adapter.name) ||
            !r.address(o.value(QLatin1String("address")),
                       Reader::join(path, QStringLiteral("address")), &adapter.address))
            return false;
        result.adapters.append(adapter);
    }

    if (top.contains(QLatin1String("defaultAdapter"))) {
        if (result.adapters.isEmpty())
            return r.fail(
                QStringLiteral("defaultAdapter"),
                QStringLiteral("there is no adapter to point at (\"adapters\" is empty)"));
        if (!r.integer(top.value(QLatin1String("defaultAdapter")), QStringLiteral("defaultAdapter"),
                       0, result.adapters.size() - 1, &result.defaultAdapter))
            return false;
    }

    if (top.contains(QLatin1String("discoveryMs")) &&
        !r.integer(top.value(QLatin1String("discoveryMs")), QStringLiteral("discoveryMs"), 0, 10000,
                   &result.discoveryMs))
        return false;

    if (top.contains(QLatin1String("devices"))) {
        QJsonArray devices;
        if (!r.array(top.value(QLatin1String("devices")), QStringLiteral("devices"), &devices))
            return false;
        QHash<quint64, int> seen; // address -> index, so that big scenes stay quick
        for (int i = 0; i < devices.size(); ++i) {
            SceneDevice device;
            const QString path = Reader::index(QStringLiteral("devices"), i);
            if (!parseDevice(r, devices.at(i), path, &device))
                return false;
            const auto earlier = seen.constFind(device.address.toUInt64());
            if (earlier != seen.constEnd())
                return r.fail(Reader::join(path, QStringLiteral("address")),
                              QStringLiteral("same address as devices[%1]").arg(*earlier));
            seen.insert(device.address.toUInt64(), i);
            result.devices.append(device);
        }
    }

    if (top.contains(QLatin1String("peers"))) {
        const QString path = QStringLiteral("peers");
        QJsonObject o;
        if (!r.object(top.value(path), path, &o) ||
            !r.onlyKeys(o, path, {QStringLiteral("listen"), QStringLiteral("name")}) ||
            !r.required(o, path, QStringLiteral("listen")) ||
            !r.hostPort(o.value(QLatin1String("listen")), QStringLiteral("peers.listen"), 0,
                        &result.peersHost, &result.peersPort))
            return false;
        result.peersName = QStringLiteral("Peer");
        if (o.contains(QLatin1String("name")) &&
            !r.string(o.value(QLatin1String("name")), QStringLiteral("peers.name"),
                      &result.peersName))
            return false;
        result.hasPeers = true;
    }

    *scene = result;
    return true;
}

bool parseHostPort(const QString &text, int lowestPort, QHostAddress *host, quint16 *port)
{
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    const QString address = colon > 0 ? text.left(colon) : QString();
    const QString digits = text.mid(colon + 1);
    // The port is digits only (toInt would take " 80"), without leading
    // zeros, as the address's parts are; an IPv6 host is
    // bracketed, or its last group could be read as the port.
    bool portOk = colon > 0 && !digits.isEmpty() && digits.size() <= 5 &&
                  (digits.size() == 1 || !digits.startsWith(QLatin1Char('0')));
    for (const QChar c : digits)
        portOk = portOk && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    const int number = portOk ? digits.toInt() : -1;
    const QHostAddress parsed =
        address.contains(QLatin1Char(':')) && !address.startsWith(QLatin1Char('['))
            ? QHostAddress()
            : strictAddress(address);
    if (!portOk || number < lowestPort || number > 65535 || parsed.isNull())
        return false;
    *host = parsed;
    *port = quint16(number);
    return true;
}

bool readSceneFile(const QString &path, QByteArray *json, QString *error)
{
    const QFileInfo info(path);
    auto fail = [error](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    // A device, a FIFO or /dev/zero would block or never end.
    if (info.exists() && !info.isFile())
        return fail(QStringLiteral("not a regular file"));
    if (info.size() > kMaxSceneBytes)
        return fail(
            QStringLiteral("the file is larger than %1 MiB").arg(kMaxSceneBytes / (1024 * 1024)));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read the file: ") + file.errorString());
    *json = file.read(kMaxSceneBytes + 1);
    if (json->size() > kMaxSceneBytes)
        return fail(
            QStringLiteral("the file is larger than %1 MiB").arg(kMaxSceneBytes / (1024 * 1024)));
    return true;
}

QByteArray demoSceneJson()
{
    // Keep in step with tools/scenes/demo.json.
    return QByteArrayLiteral(R"({
    "adapters": [ {"name": "Workstation", "address": "00:1A:7D:DA:71:01"} ],
    "defaultAdapter": 0,
    "devices": [
        {"name": "KV-105", "address": "00:1A:7D:DA:71:13",
         "services": [ {"name": "Serial Port", "channel": 1,
                        "instrument": {"writeAck": "0x45", "serialAck": "0x46"}} ]},
        {"name": "Office Printer", "address": "00:1A:7D:DA:71:27",
         "services": [
             {"name": "Printing", "channel": 3},
             {"name": "Object Push", "channel": 9},
             {"name": "Serial Port", "channel": 12}
         ]},
        {"name": "", "address": "00:1A:7D:DA:71:3C",
         "services": [ {"name": "Audio Sink", "channel": 5} ]}
    ],
    "peers": {"listen": "127.0.0.1:0", "name": "Meter"}
}
)");
}

} // namespace emu
