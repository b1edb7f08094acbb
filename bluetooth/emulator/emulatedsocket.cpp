// SPDX-License-Identifier: GPL-3.0-or-later
#include "bluetooth/emulator/emulatedsocket.h"

#include "bluetooth/emulator/emulatedstack.h"
#include "bluetooth/emulator/instrumentlink.h"
#include "protocol/logging.h"

#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cstring>

namespace emu {

namespace {

// A real RFCOMM connect takes a moment; the tool must never see the outcome
// inside the call that asked for it.
constexpr int kConnectMs = 5;
// The TCP side stops reading from the kernel once this much is waiting, the
// way a radio link's flow control holds back a fast sender.
constexpr qint64 kTcpReadBuffer = 64 * 1024;

} // namespace

EmulatedSocket::EmulatedSocket(EmulatedStack *stack, QObject *parent)
    : bt::RfcommSocket(parent), m_stack(stack)
{}

EmulatedSocket::~EmulatedSocket()
{
    close();
}

void EmulatedSocket::connectToService(const QBluetoothServiceInfo &service,
                                      QIODevice::OpenMode mode)
{
    if (m_state != QBluetoothSocket::SocketState::UnconnectedState) {
        qCWarning(lcEmulator) << "connectToService: the socket is not unconnected";
        return;
    }
    m_received.clear();
    m_peerAddress = service.device().address();
    m_peerName = service.device().name();
    m_state = QBluetoothSocket::SocketState::ConnectingState;
    setOpenMode(mode | QIODevice::Unbuffered);

    const SceneDevice *device = nullptr;
    const SceneService *target =
        m_stack && !m_stack->allDevices().isEmpty()
            ? m_stack->findService(m_peerAddress, quint8(service.serverChannel()), &device)
            : nullptr;
    if (device)
        m_peerName = device->name;

    const int attempt = ++m_attempt;
    auto later = [this, attempt](auto step) {
        QTimer::singleShot(kConnectMs, this, [this, attempt, step] {
            if (attempt == m_attempt && m_state == QBluetoothSocket::SocketState::ConnectingState)
                step();
        });
    };

    if (!target || target->kind == SceneService::Kind::Refusing) {
        qCDebug(lcEmulator) << "connection refused by" << m_peerAddress.toString() << "channel"
                            << service.serverChannel();
        later([this] { fail(QBluetoothSocket::SocketError::ServiceNotFoundError); });
        return;
    }
    if (target->kind == SceneService::Kind::Instrument) {
        m_link =
            new InstrumentLink(m_stack->sharedInstrument(m_peerAddress, target->channel), this);
        m_link->setReadyForMore([this] { return m_received.size() < kTcpReadBuffer; });
        connect(m_link, &InstrumentLink::bytesReady, this, [this](const QByteArray &bytes) {
            if (m_state == QBluetoothSocket::SocketState::ConnectedState)
                appendReceived(bytes);
        });
        connect(m_link, &InstrumentLink::hangUp, this,
                [this] { fail(QBluetoothSocket::SocketError::RemoteHostClosedError); });
        later([this] { becomeConnected(); });
        return;
    }
    auto *tcp = new QTcpSocket(this);
    attachTcp(tcp);
    tcp->connectToHost(target->tcpHost, target->tcpPort);
}

void EmulatedSocket::adoptPeer(QTcpSocket *tcp, const QString &name)
{
    m_peerName = name;
    m_peerAddress = QBluetoothAddress();
    tcp->setParent(this);
    attachTcp(tcp);
    m_state = QBluetoothSocket::SocketState::ConnectedState;
    setOpenMode(QIODevice::ReadWrite | QIODevice::Unbuffered);
}

void EmulatedSocket::attachTcp(QTcpSocket *tcp)
{
    m_tcp = tcp;
    tcp->setReadBufferSize(kTcpReadBuffer);
    connect(tcp, &QTcpSocket::connected, this, [this] {
        if (m_state == QBluetoothSocket::SocketState::ConnectingState)
            becomeConnected();
    });
    connect(tcp, &QTcpSocket::readyRead, this, [this] {
        if (m_tcp && m_state == QBluetoothSocket::SocketState::ConnectedState)
            appendReceived(m_tcp->readAll());
    });
    connect(tcp, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
        if (m_state == QBluetoothSocket::SocketState::ConnectingState) {
            fail(QBluetoothSocket::SocketError::ServiceNotFoundError);
            return;
        }
        if (m_tcp && m_tcp->bytesAvailable() > 0) {
            QPointer<EmulatedSocket> guard(this);
            appendReceived(m_tcp->readAll());
            if (!guard || !m_tcp)
                return;
        }
        fail(e == QAbstractSocket::RemoteHostClosedError
                 ? QBluetoothSocket::SocketError::RemoteHostClosedError
                 : QBluetoothSocket::SocketError::NetworkError);
    });
    connect(tcp, &QTcpSocket::disconnected, this, [this] {
        if (m_state == QBluetoothSocket::SocketState::ConnectedState)
            fail(QBluetoothSocket::SocketError::RemoteHostClosedError);
    });
}

QString EmulatedSocket::peerName() const
{
    return m_peerName;
}

QBluetoothAddress EmulatedSocket::peerAddress() const
{
    return m_peerAddress;
}

QBluetoothSocket::SocketState EmulatedSocket::state() const
{
    return m_state;
}

qint64 EmulatedSocket::bytesAvailable() const
{
    return m_received.size() + bt::RfcommSocket::bytesAvailable();
}

bool EmulatedSocket::canReadLine() const
{
    return m_received.contains('\n') || bt::RfcommSocket::canReadLine();
}

void EmulatedSocket::close()
{
    if (m_state == QBluetoothSocket::SocketState::UnconnectedState && !isOpen())
        return;
    const bool wasConnected = m_state == QBluetoothSocket::SocketState::ConnectedState;
    teardown();
    m_state = QBluetoothSocket::SocketState::UnconnectedState;
    m_received.clear();
    bt::RfcommSocket::close();
    if (wasConnected)
        emit disconnected();
}

void EmulatedSocket::teardown()
{
    ++m_attempt;
    if (m_link) {
        m_link->disconnect(this);
        m_link->deleteLater();
        m_link = nullptr;
    }
    if (m_tcp) {
        m_tcp->disconnect(this);
        m_tcp->abort();
        m_tcp->deleteLater();
        m_tcp = nullptr;
    }
}

void EmulatedSocket::fail(QBluetoothSocket::SocketError socketError)
{
    const bool wasConnected = m_state == QBluetoothSocket::SocketState::ConnectedState;
    teardown();
    m_state = QBluetoothSocket::SocketState::UnconnectedState;
    QPointer<EmulatedSocket> guard(this);
    emit error(socketError);
    if (!guard)
        return;
    m_received.clear();
    if (isOpen())
        bt::RfcommSocket::close();
    if (wasConnected)
        emit disconnected();
}

void EmulatedSocket::becomeConnected()
{
    m_state = QBluetoothSocket::SocketState::ConnectedState;
    emit connected();
}

qint64 EmulatedSocket::readData(char *data, qint64 maxSize)
{
    const qint64 n = std::min<qint64>(maxSize, m_received.size());
    if (n <= 0)
        return m_state == QBluetoothSocket::SocketState::ConnectedState ? 0 : -1;
    std::memcpy(data, m_received.constData(), size_t(n));
    m_received.remove(0, int(n));
    return n;
}

qint64 EmulatedSocket::readLineData(char *data, qint64 maxSize)
{
    const int newline = m_received.indexOf('\n');
    const qint64 line = newline >= 0 ? newline + 1 : m_received.size();
    const qint64 n = std::min(line, maxSize);
    if (n <= 0)
        return 0;
    std::memcpy(data, m_received.constData(), size_t(n));
    m_received.remove(0, int(n));
    return n;
}

qint64 EmulatedSocket::writeData(const char *data, qint64 size)
{
    if (m_state != QBluetoothSocket::SocketState::ConnectedState) {
        setErrorString(QStringLiteral("Cannot write while not connected"));
        return -1;
    }
    if (m_tcp)
        return m_tcp->write(data, size);
    if (m_link)
        m_link->write(QByteArray(data, int(size)));
    return size;
}

void EmulatedSocket::appendReceived(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    m_received.append(bytes);
    emit readyRead();
}

} // namespace emu
