// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

namespace protocol {

// File names as the file system holds them: bytes. Qt decodes a name with
// the locale's codec and cannot open one that does not decode. Here the
// bytes that do not decode are carried as the code points U+DC80..U+DCFF,
// one per byte, so that every name a folder holds can be listed, shown (as
// a replacement mark) and opened again.
QString decodeFileName(const QByteArray &bytes);
QByteArray encodeFileName(const QString &name);

// The program's arguments with file names kept whole.
QStringList fileArguments(int argc, char *argv[]);

// Opens a file for reading by the bytes of its name. A FIFO or a device,
// which could block the read for ever, is not opened: `notRegular` says so.
bool openForReading(QFile &file, const QString &path, QString *error, bool *notRegular);

} // namespace protocol
