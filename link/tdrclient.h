// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QBluetoothServiceInfo>
#include <QBluetoothSocket>
#include <QObject>
#include <QString>

namespace bt {
class BluetoothStack;
class RfcommSocket;
} // namespace bt

// The byte pipe to the instrument: frames out as bytes, received bytes back as
// they came, and as lower-case hex text for whoever listens to that.
class TDRClient : public QObject
{
    Q_OBJECT
public:
    // On the stack installed at start-up.
    explicit TDRClient(QObject *parent);
    TDRClient(bt::BluetoothStack &stack, QObject *parent);
    ~TDRClient() override;

    void startClient(const QBluetoothServiceInfo &remoteService);

    // True from the start of the destructor on.
    bool isClosing() const { return m_closing; }
    // Schedules deletion through the event loop, at most once.
    void retire();
    bool isRetired() const { return m_retired; }

signals:
    void messageReceived(QString sender, QString message);
    void bytesReceived(const QString &sender, const QByteArray &piece);
    void connected(QString name);
    void disconnected();
    void socketErrorOccurred(QString errorString);

public slots:
    void sendMessage(QString message);
    void sendBytes(const QByteArray &bytes);

private slots:
    void readSocket();
    void connected();
    void onSocketErrorOccurred(QBluetoothSocket::SocketError error);

private:
    bt::BluetoothStack &m_stack;
    bt::RfcommSocket *socket = nullptr;
    bool m_closing = false;
    bool m_retired = false;
};
