// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/linkproblem.h"

#include "protocol/logging.h"
#include "protocol/qtcompat.h"

#include <QBluetoothSocket>
#include <QCoreApplication>
#include <QMetaEnum>
#include <QRegularExpression>

namespace session {

namespace {
struct LinkProblem
{
    Q_DECLARE_TR_FUNCTIONS(LinkProblem)
};
} // namespace

QString linkErrorInWords(const QString &errorText)
{
    const QMetaObject &meta = QBluetoothSocket::staticMetaObject;
    const QMetaEnum errors = meta.enumerator(meta.indexOfEnumerator("SocketError"));
    // The key is the word before " occurred"; the peer's name may hold blanks.
    static const QRegularExpression pattern(QStringLiteral("(\\w+) occurred$"));
    const QString key = pattern.match(errorText).captured(1);
    bool known = false;
    const int value = errors.keyToValue(key.toLatin1().constData(), &known);
    const auto error = known ? QBluetoothSocket::SocketError(value)
                             : QBluetoothSocket::SocketError::UnknownSocketError;
    qCWarning(lcBluetooth).noquote() << "Bluetooth stack error" << (known ? key : errorText)
                                     << "code" << qtcompat::qt5SocketErrorCode(error);

    switch (error) {
    case QBluetoothSocket::SocketError::HostNotFoundError:
    case QBluetoothSocket::SocketError::ServiceNotFoundError:
        return LinkProblem::tr("The instrument did not answer. Is it switched on and in range?");
    case QBluetoothSocket::SocketError::NetworkError:
        return LinkProblem::tr(
            "The Bluetooth connection broke down. Bring the computer closer to the "
            "instrument and try again.");
    case QBluetoothSocket::SocketError::RemoteHostClosedError:
        return LinkProblem::tr("The instrument closed the connection.");
    case QBluetoothSocket::SocketError::UnsupportedProtocolError:
        return LinkProblem::tr(
            "This computer's Bluetooth cannot open the instrument's kind of connection "
            "(RFCOMM).");
    case QBluetoothSocket::SocketError::OperationError:
        return LinkProblem::tr(
            "The Bluetooth adapter refused the connection. Is Bluetooth switched on on "
            "this computer?");
    default:
        return LinkProblem::tr("Bluetooth reported an unexpected error.");
    }
}

} // namespace session
