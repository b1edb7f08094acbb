// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Everything that differs between Qt 5.15 and Qt 6 at the source level, in
// one place. Only QtCore is included: the Bluetooth and Charts parts are
// templates and forward declarations, completed where they are used.

#include <QLibraryInfo>
#include <QString>
#include <QtGlobal>

// Qt Charts: Qt 5 keeps its classes in the namespace QtCharts, Qt 6 in Qt's
// own. The forward declarations the tool needs, and the names unqualified on
// both, as Qt 6 has them.
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
namespace QtCharts {
#else
QT_BEGIN_NAMESPACE
#endif
class QChart;
class QChartView;
class QLineSeries;
class QScatterSeries;
class QValueAxis;
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
} // namespace QtCharts
using namespace QtCharts;
#else
QT_END_NAMESPACE
#endif

namespace qtcompat {

// Where Qt's own translations (qtbase_*.qm) are.
inline QString qtTranslationsPath()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    return QLibraryInfo::location(QLibraryInfo::TranslationsPath);
#else
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
#endif
}

// The error signal of a Bluetooth socket or discovery agent: "error" in Qt 5,
// "errorOccurred" in Qt 6 (Qt 5's error() getter overloads the name).
template<typename Sender, typename Error> constexpr auto errorSignal()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    return QOverload<Error>::of(&Sender::error);
#else
    return &Sender::errorOccurred;
#endif
}

// Qt 6 numbers QBluetoothSocket::SocketError from 0; the log keeps Qt 5's
// numbers so that a line reads the same whichever Qt the tool was built with.
// An error Qt 5 does not know gets -1, as an unknown error.
template<typename SocketError> int qt5SocketErrorCode(SocketError error)
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    return int(error);
#else
    switch (error) {
    case SocketError::NoSocketError:
        return -2;
    case SocketError::RemoteHostClosedError:
        return 1;
    case SocketError::HostNotFoundError:
        return 2;
    case SocketError::NetworkError:
        return 7;
    case SocketError::UnsupportedProtocolError:
        return 8;
    case SocketError::ServiceNotFoundError:
        return 9;
    case SocketError::OperationError:
        return 19;
    default:
        return -1;
    }
#endif
}

} // namespace qtcompat
