// SPDX-License-Identifier: GPL-3.0-or-later
// varnel-instrument: serves the emulated instrument on a local TCP port or
// unix socket, so that anything able to open a socket can talk to it as to
// the instrument at the far end of an RFCOMM link.

#include "bluetooth/emulator/emulatedinstrument.h"
#include "bluetooth/emulator/instrumentlink.h"
#include "bluetooth/emulator/scene.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextStream>

#include <cstdio>
#include <memory>

namespace {

// Flow control: the endless stream waits, and nothing more is read from a
// client, while this much is still unsent.
constexpr qint64 kMaxUnsent = 64 * 1024;

int fail(const QString &text)
{
    QTextStream(stderr) << "varnel-instrument: " << text << Qt::endl;
    return 2;
}

// Carries one connection's bytes to and from the shared instrument; each
// connection has its own command buffer.
template<typename Socket>
void serve(Socket *socket, const std::shared_ptr<emu::EmulatedInstrument> &instrument)
{
    auto *link = new emu::InstrumentLink(instrument, socket);
    // What is not read stays with the system, whose flow control holds the
    // client back.
    socket->setReadBufferSize(kMaxUnsent);
    link->serve(socket, kMaxUnsent);
    QObject::connect(link, &emu::InstrumentLink::hangUp, socket, [socket] {
        socket->flush();
        socket->abort();
    });
    QObject::connect(socket, &Socket::disconnected, socket, &QObject::deleteLater);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("varnel-instrument"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VARNEL_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Serves an emulated Varnel TDR instrument on a local socket. The settings are those of\n"
        "the \"instrument\" object of a scene: model, serial, version, seed, records (a count,\n"
        "or a list of {number, date, time, waveform: {range, length, noise, stepDivisor,\n"
        "faults: [{distance, kind, strength}]}}), chunk (\"whole\", \"random\" or a size),\n"
        "delayMs, ackDelayMs, dropEvery, corruptEvery, writeAck and serialAck (\"echo\" or\n"
        "\"0x43\" to \"0x46\"), stray, strayCount, garbageFrames, endlessStream (\"lines\" or\n"
        "\"bytes\") and hangUpAfter."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("tcp"), QStringLiteral("Listen on HOST:PORT (port 0: any)."),
                      QStringLiteral("HOST:PORT")});
    parser.addOption({QStringLiteral("unix"), QStringLiteral("Listen on a unix socket at PATH."),
                      QStringLiteral("PATH")});
    parser.addOption({QStringLiteral("settings"),
                      QStringLiteral("Instrument settings: a JSON file holding {\"instrument\": "
                                     "{...}} or the settings object itself."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("set"),
                      QStringLiteral("One setting, over the file's; VALUE is JSON or else text "
                                     "(--set records=5 --set writeAck=0x45). Repeatable."),
                      QStringLiteral("KEY=VALUE")});
    parser.process(app);

    if (parser.isSet(QStringLiteral("tcp")) == parser.isSet(QStringLiteral("unix")))
        return fail(QStringLiteral("give exactly one of --tcp HOST:PORT and --unix PATH"));

    QJsonObject settings;
    if (parser.isSet(QStringLiteral("settings"))) {
        const QString path = parser.value(QStringLiteral("settings"));
        QByteArray json;
        QString problem;
        if (!emu::readSceneFile(path, &json, &problem))
            return fail(path + QStringLiteral(": ") + problem);
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
        if (!document.isObject())
            return fail(path + QStringLiteral(": expected a JSON object ") +
                        parseError.errorString());
        settings = document.object();
        if (settings.size() == 1 && settings.value(QLatin1String("instrument")).isObject())
            settings = settings.value(QLatin1String("instrument")).toObject();
    }
    const QStringList sets = parser.values(QStringLiteral("set"));
    for (const QString &set : sets) {
        const int equals = set.indexOf(QLatin1Char('='));
        if (equals < 1)
            return fail(QStringLiteral("--set %1: expected KEY=VALUE").arg(set));
        const QString text = set.mid(equals + 1);
        const QJsonDocument value = QJsonDocument::fromJson("[" + text.toUtf8() + "]");
        settings.insert(set.left(equals), value.isArray() && value.array().size() == 1
                                              ? value.array().at(0)
                                              : QJsonValue(text));
    }

    QString problem;
    std::shared_ptr<emu::EmulatedInstrument> instrument =
        emu::EmulatedInstrument::fromJson(settings, &problem);
    if (!instrument)
        return fail(QStringLiteral("settings: ") + problem);

    QTcpServer tcp;
    QLocalServer local;
    QTextStream out(stdout);
    if (parser.isSet(QStringLiteral("tcp"))) {
        const QString where = parser.value(QStringLiteral("tcp"));
        QHostAddress host;
        quint16 port = 0;
        if (!emu::parseHostPort(where, 0, &host, &port))
            return fail(
                QStringLiteral("--tcp %1: expected HOST:PORT like 127.0.0.1:47001").arg(where));
        if (!tcp.listen(host, port))
            return fail(QStringLiteral("cannot listen on %1: %2").arg(where, tcp.errorString()));
        QObject::connect(&tcp, &QTcpServer::newConnection, [&] {
            while (QTcpSocket *socket = tcp.nextPendingConnection())
                serve(socket, instrument);
        });
        // In the form --tcp takes: an IPv6 address in brackets.
        const QHostAddress bound = tcp.serverAddress();
        const QString shown = bound.protocol() == QAbstractSocket::IPv6Protocol
                                  ? QLatin1Char('[') + bound.toString() + QLatin1Char(']')
                                  : bound.toString();
        out << "listening on tcp " << shown << ":" << tcp.serverPort() << Qt::endl;
    } else {
        // A relative PATH is taken from the current folder, not from Qt's
        // own folder for socket names.
        const QString path = QDir::current().absoluteFilePath(parser.value(QStringLiteral("unix")));
        // Qt's own words for these are "Name error" and "Address in use".
        if (parser.value(QStringLiteral("unix")).isEmpty())
            return fail(QStringLiteral("--unix needs a PATH"));
        if (!QFileInfo(QFileInfo(path).absolutePath()).isDir())
            return fail(QStringLiteral("cannot listen on %1: no such folder").arg(path));
        if (!local.listen(path))
            return fail(QStringLiteral("cannot listen on %1: %2").arg(path, local.errorString()));
        QObject::connect(&local, &QLocalServer::newConnection, [&] {
            while (QLocalSocket *socket = local.nextPendingConnection())
                serve(socket, instrument);
        });
        out << "listening on unix " << local.fullServerName() << Qt::endl;
    }
    out << "instrument model " << instrument->model() << ", serial " << instrument->serial() << ", "
        << instrument->recordNumbers().size() << " records" << Qt::endl;
    return QCoreApplication::exec();
}
