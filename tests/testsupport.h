// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Helpers shared by the test programs.

#include <QBluetoothServiceInfo>
#include <QByteArray>
#include <QString>

namespace emu {
class EmulatedStack;
}

namespace testsupport {

// Installs an emulated stack built from a scene (JSON text) as the stack of
// the process. Returns it, or null with the scene error in `error`.
emu::EmulatedStack *installEmulatedStack(const QByteArray &sceneJson, QString *error = nullptr);

// The record a scan reports for service `serviceIndex` of device
// `deviceIndex` of the installed emulated stack.
QBluetoothServiceInfo sceneService(int deviceIndex, int serviceIndex = 0);

// The file a download must write for a 283-byte record block, worked out
// from the file layout alone, under the identity model 105, version
// 2021-02-18 and `serial`; empty for a block with step divisor 0.
struct DownloadedFile
{
    QString name;
    QByteArray bytes;
};
DownloadedFile expectedDownload(const QByteArray &block, quint32 serial = 1234);

// A loopback TCP port that nothing listens on at the moment of the call.
quint16 unusedTcpPort();

// Where the install rule puts the translations, under the prefix.
inline QString installedTranslations()
{
    return QStringLiteral("share/varnel-reader/translations");
}
// Lays out an installed copy under `prefix`: `program` copied into bin/, the
// translation `qm` copied into `translations` (relative to the prefix).
// Returns the copy's path, or an empty string when a copy failed.
QString installedCopy(const QString &prefix, const QString &program, const QString &qm,
                      const QString &translations = installedTranslations());

} // namespace testsupport

// Points QSettings at a private directory so tests never touch the user's.
void isolateSettings(const QString &directory);

// Installs an emulated stack built from a JSON scene; fails the test on error.
emu::EmulatedStack *installScene(const QByteArray &json);
