#include "cli/cli.h"

#include "bluetooth/bluetoothstack.h"
#include "protocol/trace.h"
#include "session/discovery.h"

#include <QBluetoothDeviceInfo>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSettings>

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

QString hex2(quint8 byte)
{
    return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0'));
}

QJsonObject entryJson(const protocol::RecordEntry &entry)
{
    return {{QStringLiteral("number"), entry.number()},
            {QStringLiteral("date"),
             QStringLiteral("20%1-%2-%3")
                 .arg(hex2(entry.byte(1)), hex2(entry.byte(2)), hex2(entry.byte(3)))},
            {QStringLiteral("time"),
             QStringLiteral("%1:%2:%3")
                 .arg(hex2(entry.byte(5)), hex2(entry.byte(6)), hex2(entry.byte(7)))}};
}

QString serviceText(const QBluetoothServiceInfo &service)
{
    return QStringLiteral("%1 (%2)").arg(service.device().name(),
                                         service.device().address().toString());
}

} // namespace

void Cli::printError(const QString &text)
{
    std::fprintf(stderr, "varnel-cli: %s\n", qPrintable(text));
}

void Cli::print(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void Cli::printJson(const QJsonValue &value)
{
    const QByteArray text = value.isArray()
                                ? QJsonDocument(value.toArray()).toJson(QJsonDocument::Indented)
                                : QJsonDocument(value.toObject()).toJson(QJsonDocument::Indented);
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    std::fflush(stdout);
}

void Cli::progress(const QString &text)
{
    if (m_options.quiet || !stderrIsTerminal())
        return;
    std::fprintf(stderr, "\r%s\033[K", qPrintable(text));
    std::fflush(stderr);
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
    const QList<QBluetoothHostInfo> adapters = bt::stack().allDevices();
    if (adapters.isEmpty())
        return found;
    std::unique_ptr<bt::ServiceDiscoveryAgent> agent(
        bt::stack().createDiscoveryAgent(adapters.first().address()));
    bool finished = false;
    QObject::connect(agent.get(), &bt::ServiceDiscoveryAgent::serviceDiscovered,
                     [&](const QBluetoothServiceInfo &info) {
                         // One entry per device, its first service, as the window lists them.
                         for (const QBluetoothServiceInfo &known : qAsConst(found)) {
                             if (known.device().address() == info.device().address())
                                 return;
                         }
                         if (all || session::isInstrumentName(info.device().name()))
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
    if (bt::stack().allDevices().isEmpty()) {
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
    return ExitDone;
}

int Cli::resolve(const QString &device, QBluetoothServiceInfo *service)
{
    if (bt::stack().allDevices().isEmpty()) {
        printError(tr("no Bluetooth adapter found"));
        return ExitNoDevice;
    }
    const QBluetoothAddress address(device);
    const bool byAddress = device.contains(QLatin1Char(':')) && !address.isNull();
    QList<QBluetoothServiceInfo> matches;
    const QList<QBluetoothServiceInfo> found = discover(false);
    for (const QBluetoothServiceInfo &info : found) {
        if (byAddress ? info.device().address() == address : info.device().name() == device)
            matches.append(info);
    }
    if (m_interrupted)
        return ExitPartly;
    if (matches.isEmpty()) {
        printError(tr("no instrument \"%1\" in range").arg(device));
        return ExitNoDevice;
    }
    if (matches.size() > 1) {
        QStringList names;
        for (const QBluetoothServiceInfo &info : qAsConst(matches))
            names.append(serviceText(info));
        printError(tr("\"%1\" names several instruments, give an address: %2")
                       .arg(device, names.join(QStringLiteral(", "))));
        return ExitUsage;
    }
    *service = matches.first();
    return ExitDone;
}

int Cli::open(const QString &device)
{
    QBluetoothServiceInfo service;
    const int resolved = resolve(device, &service);
    if (resolved != ExitDone)
        return resolved;

    QObject::connect(&m_session, &InstrumentSession::identityReceived,
                     [this] { m_identified = true; });
    QObject::connect(&m_session, &InstrumentSession::linkError, [this](const QString &error, bool) {
        m_linkFailed = true;
        m_linkProblem = error;
    });
    QObject::connect(&m_session, &InstrumentSession::linkDown, [this](const QString &text) {
        m_linkFailed = true;
        m_linkProblem = text.isEmpty() ? tr("the link was lost") : text;
    });
    QObject::connect(&m_session, &InstrumentSession::notice, [this](const QString &text) {
        m_linkFailed = true;
        m_linkProblem = text;
    });
    progress(tr("Connecting to %1").arg(serviceText(service)));
    m_session.connectTo(service);
    // Both identity requests answered: the instrument is ours.
    if (!waitUntil([&] { return m_linkFailed || (m_identified && m_session.queue().isEmpty()); }))
        return ExitPartly;
    progress(QString());
    if (m_linkFailed) {
        printError(tr("cannot talk to %1: %2").arg(serviceText(service), m_linkProblem));
        return ExitNoDevice;
    }
    return ExitDone;
}

int Cli::info(const QString &device)
{
    const int opened = open(device);
    if (opened != ExitDone)
        return opened;
    const TDRRecord &record = m_session.record();
    const QBluetoothServiceInfo service = m_session.service();
    if (m_options.json) {
        printJson(QJsonObject{
            {QStringLiteral("name"), service.device().name()},
            {QStringLiteral("address"), service.device().address().toString()},
            {QStringLiteral("model"), int(quint16(record.model))},
            {QStringLiteral("serial"),
             QStringLiteral("%1").arg(quint32(record.serialNumber), 6, 10, QLatin1Char('0'))},
            {QStringLiteral("version"), qint64(quint32(record.versionP))}});
        return ExitDone;
    }
    print(tr("Instrument: %1").arg(serviceText(service)));
    print(tr("Model: TDR %1").arg(quint16(record.model), 3, 10, QLatin1Char('0')));
    print(tr("Serial number: %1").arg(quint32(record.serialNumber), 6, 10, QLatin1Char('0')));
    print(tr("Version: %1").arg(quint32(record.versionP), 8, 10, QLatin1Char('0')));
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
