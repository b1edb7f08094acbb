// SPDX-License-Identifier: GPL-3.0-or-later
#include "bluetooth/qtstack.h"

#include "protocol/qtcompat.h"

#include <QBluetoothServer>

namespace bt {

QString QtStack::backendName() const
{
    return QStringLiteral("qt");
}

QList<QBluetoothHostInfo> QtStack::allDevices() const
{
    return QBluetoothLocalDevice::allDevices();
}

QString QtStack::defaultAdapterName() const
{
    return QBluetoothLocalDevice().name();
}

QString QtStack::adapterName(const QBluetoothAddress &adapter) const
{
    return QBluetoothLocalDevice(adapter).name();
}

void QtStack::setHostMode(const QBluetoothAddress &adapter, QBluetoothLocalDevice::HostMode mode)
{
    QBluetoothLocalDevice(adapter).setHostMode(mode);
}

ServiceDiscoveryAgent *QtStack::createDiscoveryAgent(const QBluetoothAddress &adapter,
                                                     QObject *parent)
{
    return new QtDiscoveryAgent(adapter, parent);
}

RfcommSocket *QtStack::createSocket(QObject *parent)
{
    return new QtRfcommSocket(parent);
}

RfcommServer *QtStack::createServer(QObject *parent)
{
    return new QtRfcommServer(parent);
}

bool QtStack::registerService(QBluetoothServiceInfo &info, const QBluetoothAddress &adapter)
{
    return info.registerService(adapter);
}

bool QtStack::unregisterService(QBluetoothServiceInfo &info)
{
    return info.unregisterService();
}

// ---------------------------------------------------------------------------

QtRfcommSocket::QtRfcommSocket(QObject *parent)
    : QtRfcommSocket(new QBluetoothSocket(QBluetoothServiceInfo::RfcommProtocol), parent)
{}

QtRfcommSocket::QtRfcommSocket(QBluetoothSocket *socket, QObject *parent)
    : RfcommSocket(parent), m_socket(socket)
{
    m_socket->setParent(this);
    if (m_socket->isOpen())
        setOpenMode(m_socket->openMode() | QIODevice::Unbuffered);
    wire();
}

QtRfcommSocket::~QtRfcommSocket()
{
    // Close while our connections still stand, so that a connected socket
    // announces disconnected() through us.
    if (m_socket->state() != QBluetoothSocket::SocketState::UnconnectedState || isOpen())
        close();
}

void QtRfcommSocket::wire()
{
    connect(m_socket, &QBluetoothSocket::readyRead, this, &QIODevice::readyRead);
    connect(m_socket, &QBluetoothSocket::connected, this, [this] {
        if (!isOpen())
            setOpenMode(m_socket->openMode() | QIODevice::Unbuffered);
        emit connected();
    });
    connect(m_socket, &QBluetoothSocket::disconnected, this, [this] {
        if (isOpen())
            RfcommSocket::close();
        emit disconnected();
    });
    connect(m_socket, qtcompat::errorSignal<QBluetoothSocket, QBluetoothSocket::SocketError>(),
            this, [this](QBluetoothSocket::SocketError socketError) {
                // Qt reports some failures (an unknown device, for one) from
                // inside connectToService, before the caller can have wired
                // itself to us: hand those over once the call has returned.
                if (m_inConnect)
                    QMetaObject::invokeMethod(
                        this, [this, socketError] { emit error(socketError); },
                        Qt::QueuedConnection);
                else
                    emit error(socketError);
            });
}

void QtRfcommSocket::connectToService(const QBluetoothServiceInfo &service,
                                      QIODevice::OpenMode mode)
{
    m_inConnect = true;
    m_socket->connectToService(service, mode);
    m_inConnect = false;
    if (m_socket->state() != QBluetoothSocket::SocketState::UnconnectedState)
        setOpenMode(mode | QIODevice::Unbuffered);
}

QString QtRfcommSocket::peerName() const
{
    return m_socket->peerName();
}

QBluetoothAddress QtRfcommSocket::peerAddress() const
{
    return m_socket->peerAddress();
}

QBluetoothSocket::SocketState QtRfcommSocket::state() const
{
    return m_socket->state();
}

qint64 QtRfcommSocket::bytesAvailable() const
{
    return m_socket->bytesAvailable() + RfcommSocket::bytesAvailable();
}

bool QtRfcommSocket::canReadLine() const
{
    return m_socket->canReadLine() || RfcommSocket::canReadLine();
}

void QtRfcommSocket::close()
{
    // The inner socket announces disconnected(), which closes this device.
    m_socket->close();
    if (isOpen())
        RfcommSocket::close();
}

qint64 QtRfcommSocket::readData(char *data, qint64 maxSize)
{
    return m_socket->read(data, maxSize);
}

qint64 QtRfcommSocket::readLineData(char *data, qint64 maxSize)
{
    // The inner readLine keeps one byte for its terminating zero; the caller
    // already reserved that byte behind maxSize.
    return m_socket->readLine(data, maxSize + 1);
}

qint64 QtRfcommSocket::writeData(const char *data, qint64 size)
{
    return m_socket->write(data, size);
}

// ---------------------------------------------------------------------------

QtRfcommServer::QtRfcommServer(QObject *parent)
    : RfcommServer(parent),
      m_server(new QBluetoothServer(QBluetoothServiceInfo::RfcommProtocol, this))
{
    connect(m_server, &QBluetoothServer::newConnection, this, &RfcommServer::newConnection);
}

bool QtRfcommServer::listen(const QBluetoothAddress &adapter, quint16 port)
{
    return m_server->listen(adapter, port);
}

bool QtRfcommServer::isListening() const
{
    return m_server->isListening();
}

quint16 QtRfcommServer::serverPort() const
{
    return m_server->serverPort();
}

bool QtRfcommServer::hasPendingConnections() const
{
    return m_server->hasPendingConnections();
}

RfcommSocket *QtRfcommServer::nextPendingConnection()
{
    QBluetoothSocket *socket = m_server->nextPendingConnection();
    return socket ? new QtRfcommSocket(socket) : nullptr;
}

// ---------------------------------------------------------------------------

QtDiscoveryAgent::QtDiscoveryAgent(const QBluetoothAddress &adapter, QObject *parent)
    : ServiceDiscoveryAgent(parent), m_agent(new QBluetoothServiceDiscoveryAgent(adapter, this))
{
    connect(m_agent, &QBluetoothServiceDiscoveryAgent::serviceDiscovered, this,
            &QtDiscoveryAgent::forwardService);
    connect(m_agent, &QBluetoothServiceDiscoveryAgent::finished, this,
            &QtDiscoveryAgent::forwardFinished);
    connect(m_agent, &QBluetoothServiceDiscoveryAgent::canceled, this,
            &ServiceDiscoveryAgent::canceled);
    connect(m_agent,
            qtcompat::errorSignal<QBluetoothServiceDiscoveryAgent,
                                  QBluetoothServiceDiscoveryAgent::Error>(),
            this, &ServiceDiscoveryAgent::error);
}

// Qt 6 announces the last device's service only after finished(), which
// already counts it among its discovered services: a window would end the
// scan without that device. Whatever finished() counts is announced before it,
// and the late announcement is then dropped. With Qt 5 both counts agree.
void QtDiscoveryAgent::forwardService(const QBluetoothServiceInfo &info)
{
    if (m_late > 0) {
        --m_late;
        return;
    }
    ++m_announced;
    emit serviceDiscovered(info);
}

void QtDiscoveryAgent::forwardFinished()
{
    const QList<QBluetoothServiceInfo> found = m_agent->discoveredServices();
    while (m_announced < found.size()) {
        ++m_late;
        emit serviceDiscovered(found.at(m_announced++));
    }
    emit finished();
}

void QtDiscoveryAgent::start()
{
    m_announced = 0;
    m_late = 0;
    m_agent->start(QBluetoothServiceDiscoveryAgent::FullDiscovery);
}

void QtDiscoveryAgent::stop()
{
    m_agent->stop();
}

void QtDiscoveryAgent::clear()
{
    m_announced = 0;
    m_late = 0;
    m_agent->clear();
}

bool QtDiscoveryAgent::isActive() const
{
    return m_agent->isActive();
}

} // namespace bt
