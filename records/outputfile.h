// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QString>

// A file every program writes: an export, a report, a saved record. A regular
// file, new or old, is replaced atomically, so a failure never leaves half a
// file behind. A FIFO, a character device (a terminal, /dev/null) or "-"
// (standard output) is written in place, as a shell redirection would write
// it, and never replaced by a file. Anything else (a folder, a socket, a block
// device) is refused.
class OutputFile
{
    Q_DECLARE_TR_FUNCTIONS(OutputFile)

public:
    enum class Place {
        // A path the user named: a link leads to what it names, "-" is
        // standard output, and writing to a FIFO waits for its reader.
        Named,
        // A name in the working folder, which others may be able to write to:
        // a link there is replaced by the file, what it points to is never
        // written, and a FIFO is written only while someone reads it.
        Folder,
    };

    explicit OutputFile(const QString &path, Place place = Place::Named);

    // Opens for writing; `extra` may add QIODevice::Text.
    bool open(QIODevice::OpenMode extra = {});
    QIODevice *device();
    // Puts the file in place (or flushes a FIFO or device); false on any
    // failure so far, with errorString saying why.
    bool commit();
    QString errorString() const;

    // Writes `bytes` whole; empty on success, else why not.
    static QString write(const QString &path, const QByteArray &bytes, Place place = Place::Named,
                         QIODevice::OpenMode extra = {});

private:
    bool fail(const QString &error);

    QString m_path;
    Place m_place;
    QSaveFile m_replaced;
    QFile m_direct;
    bool m_isDirect = false;
    QString m_error;
};
