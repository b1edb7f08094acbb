// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli.h"

#include "bluetooth/bluetoothstack.h"
#include "protocol/trace.h"
#include "common/appsettings.h"
#include "session/discovery.h"
#include "session/lastinstrument.h"
#include "session/linkproblem.h"

#include <QBluetoothDeviceInfo>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSettings>

#include <algorithm>
#include <cstdio>
#include <memory>

#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

namespace {

bool stderrIsTerminal()
{
#if defined(Q_OS_UNIX)
    return ::isatty(STDERR_FILENO) == 1;
#else
    return false;
#endif
}

QJsonObject entryJson(const protocol::RecordEntry &entry)
{
    return {{QStringLiteral("number"), entry.number()},
            {QStringLiteral("date"), entry.date()},
            {QStringLiteral("time"), entry.time()}};
}

// A serial number as the instrument shows it ("001234"), or typed without
// its leading zeros.
bool isSerialNumber(const QString &device)
{
    bool ok = false;
    device.toUInt(&ok);
    return ok && !device.startsWith(QLatin1Char('+')) && device.size() <= 10;
}

// What --json prints when the command printed nothing itself.
struct JsonOutcome
{
    bool enabled = false;
    bool printed = false;
    QStringList errors;
} g_json;

} // namespace

void Cli::setJson(bool json)
{
    g_json.enabled = json;
}

void Cli::printError(const QString &text)
{
    std::fprintf(stderr, "varnel-cli: %s\n", qPrintable(text));
    g_json.errors.append(text);
}

int Cli::finish(int status)
{
    if (g_json.enabled && !g_json.printed) {
        QString error = g_json.errors.join(QStringLiteral("; "));
        if (error.isEmpty() && status != ExitDone)
            error = tr("stopped before the command was done");
        QJsonObject document{{QStringLiteral("exit"), status}};
        if (!error.isEmpty())
            document.insert(QStringLiteral("error"), error);
        printJson(document);
    }
    return status;
}

void Cli::print(const QString &text)
{
    // A path written behind the progress text would share its line.
    const QString shown = m_progressLine;
    if (!shown.isEmpty())
        progress(QString());
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    if (!shown.isEmpty())
        progress(shown);
}

void Cli::markOutputWritten()
{
    g_json.printed = true;
}

void Cli::printJson(const QJsonValue &value)
{
    const QByteArray text = value.isArray()
                                ? QJsonDocument(value.toArray()).toJson(QJsonDocument::Indented)
                                : QJsonDocument(value.toObject()).toJson(QJsonDocument::Indented);
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    std::fflush(stdout);
    g_json.printed = true;
}

void Cli::progress(const QString &text)
{
    if (m_options.quiet || !stderrIsTerminal() || text == m_progressLine)
        return;
    // The line is rewritten in place and erased when done.
    std::fprintf(stderr, "\r%s\033[K", qPrintable(text));
    std::fflush(stderr);
    m_progressLine = text;
}

void Cli::interrupt()
{
    // The first Ctrl-C lets the record in flight finish; the second stops at
    // once, whatever the link does.
    m_interrupted = true;
    if (++m_interrupts > 1)
        m_session.stop();
    else
        m_session.cancel();
}

bool Cli::waitUntil(const std::function<bool()> &done)
{
    while (!done()) {
        if (m_interrupted)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

QList<QBluetoothServiceInfo> Cli::discover(bool all)
{
    QList<QBluetoothServiceInfo> found;
    const QList<QBluetoothHostInfo> adapters = m_stack.allDevices();
    if (adapters.isEmpty())
        return found;
    std::unique_ptr<bt::ServiceDiscoveryAgent> agent(
        m_stack.createDiscoveryAgent(adapters.first().address()));
    bool finished = false;
    QObject::connect(agent.get(), &bt::ServiceDiscoveryAgent::serviceDiscovered,
                     [&](const QBluetoothServiceInfo &info) {
                         // As the window lists them.
                         if (session::joinsDeviceList(found, info, all))
                             found.append(info);
                     });
    QObject::connect(agent.get(), &bt::ServiceDiscoveryAgent::finished, [&] { finished = true; });
    QObject::connect(agent.get(), &bt::ServiceDiscoveryAgent::canceled, [&] { finished = true; });
    QObject::connect(agent.get(), &bt::ServiceDiscoveryAgent::error, [&] { finished = true; });
    agent->start();
    waitUntil([&] { return finished; });
    return found;
}

int Cli::scan(bool all)
{
    if (m_stack.allDevices().isEmpty()) {
        printError(tr("no Bluetooth adapter found"));
        return ExitNoDevice;
    }
    const QList<QBluetoothServiceInfo> found = discover(all);
    if (m_interrupted)
        return ExitPartly;
    QJsonArray array;
    for (const QBluetoothServiceInfo &info : found) {
        if (m_options.json)
            array.append(
                QJsonObject{{QStringLiteral("name"), info.device().name()},
                            {QStringLiteral("address"), info.device().address().toString()}});
        else
            print(QStringLiteral("%1\t%2").arg(info.device().address().toString(),
                                               info.device().name()));
    }
    if (m_options.json)
        printJson(array);
    else if (found.isEmpty() && !m_options.quiet)
        std::fprintf(stderr, "%s\n", qPrintable(tr("No instrument found.")));
    return ExitDone;
}

int Cli::resolve(const QString &device, QBluetoothServiceInfo *service)
{
    if (m_stack.allDevices().isEmpty()) {
        printError(tr("no Bluetooth adapter found"));
        return ExitNoDevice;
    }
    QSettings settings(appsettings::organization(), appsettings::application());
    const session::LastInstrument last = session::LastInstrument::load(settings);
    if (device.isEmpty()) {
        // As the window's Connect to last: no scan.
        if (!last.isValid()) {
            printError(tr("no DEVICE given and no instrument remembered; give an address, a "
                          "name or a serial number"));
            return ExitUsage;
        }
        *service = last.service();
        return ExitDone;
    }
    const QBluetoothAddress address(device);
    const bool byAddress = device.contains(QLatin1Char(':')) && !address.isNull();
    const QList<QBluetoothServiceInfo> found = discover(false);
    if (m_interrupted)
        return ExitPartly;
    QList<QBluetoothServiceInfo> matches;
    // An exact name first; another case only when no name is exact.
    for (Qt::CaseSensitivity cs : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
        for (const QBluetoothServiceInfo &info : found) {
            if (byAddress ? info.device().address() == address
                          : QString::compare(info.device().name(), device, cs) == 0)
                matches.append(info);
        }
        if (!matches.isEmpty() || byAddress)
            break;
    }
    if (matches.isEmpty() && isSerialNumber(device)) {
        // Only the instrument knows its serial number: ask each one, the
        // remembered one first.
        QList<QBluetoothServiceInfo> candidates = found;
        std::stable_sort(candidates.begin(), candidates.end(),
                         [&last](const QBluetoothServiceInfo &a, const QBluetoothServiceInfo &b) {
                             return a.device().address() == last.address &&
                                    b.device().address() != last.address;
                         });
        for (const QBluetoothServiceInfo &candidate : qAsConst(candidates)) {
            progress(tr("Asking %1 for its serial number").arg(session::deviceText(candidate)));
            if (identify(candidate) && m_session.identity().serialNumber == device.toUInt()) {
                progress(QString());
                *service = candidate;
                return ExitDone;
            }
            if (m_interrupted)
                return ExitPartly;
        }
        progress(QString());
        m_session.disconnectLink();
    }
    if (matches.isEmpty()) {
        printError(tr("no instrument \"%1\" in range").arg(device));
        return ExitNoDevice;
    }
    if (matches.size() > 1) {
        QStringList names;
        for (const QBluetoothServiceInfo &info : qAsConst(matches))
            names.append(session::deviceText(info));
        printError(tr("\"%1\" names several instruments, give an address: %2")
                       .arg(device, names.join(QStringLiteral(", "))));
        return ExitUsage;
    }
    *service = matches.first();
    return ExitDone;
}

bool Cli::identify(const QBluetoothServiceInfo &service)
{
    if (!m_watching) {
        m_watching = true;
        QObject::connect(&m_session, &InstrumentSession::linkError,
                         [this](const QString &error, bool) {
                             m_linkFailed = true;
                             m_linkProblem = session::linkErrorInWords(error);
                         });
        QObject::connect(&m_session, &InstrumentSession::linkDown, [this](const QString &text) {
            m_linkFailed = true;
            m_linkProblem = text.isEmpty() ? tr("the link was lost") : text;
        });
        QObject::connect(&m_session, &InstrumentSession::notice, [this](const QString &text) {
            m_linkFailed = true;
            m_linkProblem = text;
        });
    }
    m_linkFailed = false;
    m_linkProblem.clear();
    m_session.connectTo(service);
    // Both identity requests answered: the instrument is ours.
    waitUntil([&] {
        return m_linkFailed ||
               (m_session.phase() >= session::Phase::Identified && !m_session.isBusy());
    });
    return !m_interrupted && !m_linkFailed;
}

int Cli::open(const QString &device)
{
    QBluetoothServiceInfo service;
    const int resolved = resolve(device, &service);
    if (resolved != ExitDone)
        return resolved;
    if (m_session.phase() >= session::Phase::Identified &&
        m_session.service().device().address() == service.device().address())
        return ExitDone; // found by its serial number, and still connected
    progress(tr("Connecting to %1").arg(session::deviceText(service)));
    const bool identified = identify(service);
    progress(QString());
    if (m_interrupted)
        return ExitPartly;
    if (!identified) {
        printError(tr("cannot talk to %1: %2").arg(session::deviceText(service), m_linkProblem));
        return ExitNoDevice;
    }
    return ExitDone;
}

int Cli::info(const QString &device)
{
    const int opened = open(device);
    if (opened != ExitDone)
        return opened;
    const protocol::Identity &identity = m_session.identity();
    const QBluetoothServiceInfo service = m_session.service();
    if (m_options.json) {
        printJson(
            QJsonObject{{QStringLiteral("name"), service.device().name()},
                        {QStringLiteral("address"), service.device().address().toString()},
                        {QStringLiteral("model"), int(identity.model)},
                        {QStringLiteral("serial"),
                         QStringLiteral("%1").arg(identity.serialNumber, 6, 10, QLatin1Char('0'))},
                        {QStringLiteral("version"), qint64(identity.version)}});
        return ExitDone;
    }
    print(tr("Instrument: %1").arg(session::deviceText(service)));
    print(tr("Model: TDR %1").arg(identity.model, 3, 10, QLatin1Char('0')));
    print(tr("Serial number: %1").arg(identity.serialNumber, 6, 10, QLatin1Char('0')));
    print(tr("Version: %1").arg(identity.version, 8, 10, QLatin1Char('0')));
    return ExitDone;
}

int Cli::listRecords(const QString &device, QList<protocol::RecordEntry> *entries)
{
    const int opened = open(device);
    if (opened != ExitDone)
        return opened;
    bool listed = false;
    const auto connection = QObject::connect(&m_session, &InstrumentSession::recordListReceived,
                                             [&](const QList<protocol::RecordEntry> &received) {
                                                 *entries = received;
                                                 listed = true;
                                             });
    m_session.requestList();
    waitUntil([&] { return listed || m_linkFailed; });
    QObject::disconnect(connection);
    if (!listed && m_linkFailed)
        printError(m_linkProblem);
    if (!listed)
        return m_interrupted ? ExitPartly : ExitNoDevice;
    return ExitDone;
}

int Cli::list(const QString &device)
{
    QList<protocol::RecordEntry> entries;
    const int listed = listRecords(device, &entries);
    if (listed != ExitDone)
        return listed;
    QJsonArray array;
    for (const protocol::RecordEntry &entry : qAsConst(entries)) {
        if (m_options.json)
            array.append(entryJson(entry));
        else
            print(entry.text());
    }
    if (m_options.json)
        printJson(array);
    return ExitDone;
}
