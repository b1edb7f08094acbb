// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/tdrrecord.h"

#include <QDateTime>
#include <QFileSystemWatcher>
#include <QHash>
#include <QObject>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTimer>

namespace protocol {
struct RecordEntry;
}

// The working directory and the record files in it: how a record is named and
// saved, what a file must be to be uploaded, and the one listing of the
// directory that every view reads. The listing is read once per directory;
// afterwards a saved record inserts its one name, and changes made by others
// are picked up by watching the directory.
class RecordStore : public QObject
{
    Q_OBJECT
public:
    explicit RecordStore(QObject *parent = nullptr);

    // The directory kept in the settings ("Paths/savedir"), the current
    // directory when none is kept.
    static QString savedDirectory(QSettings &settings);
    static void saveDirectory(QSettings &settings, const QString &directory);

    QString directory() const { return m_directory; }
    // Sets the directory and lists it again.
    void setDirectory(const QString &directory);
    QString pathOf(const QString &fileName) const;

    // The *.tdr files (any case, hidden ones included, no links, no
    // directories), by name, descending. A name the locale cannot decode
    // keeps its bytes (protocol/filename.h).
    const QStringList &files() const { return m_files; }
    // Lists the directory again: every name anew (filesChanged).
    void refresh();
    // Lists the directory again and reports only what changed.
    void rescan();

    // True when the directory holds a record file of this entry of the
    // instrument with this serial number, whatever its length part.
    bool isOnDisk(const protocol::RecordEntry &entry, quint32 serialNumber) const;
    // What a file holds, for a tooltip: read when first asked, then kept
    // while the file stays unchanged.
    QString describe(const QString &fileName);

    struct Saved
    {
        QString fileName;
        QString error; // empty when saved
    };
    // Writes the record under its download name; atomically, so a failure
    // never leaves a partial file nor damages an older file of that name.
    Saved save(const TDRRecord &record, quint8 number);

    struct Checked
    {
        QByteArray content; // the record image when usable
        QString skipped;    // why not, for the user; empty when usable
    };
    // Reads a file meant for upload and checks it.
    static Checked readForUpload(const QString &path);

signals:
    // The listing was replaced as a whole (another directory).
    void filesChanged();
    void fileAdded(const QString &fileName);
    void fileRemoved(const QString &fileName);

private:
    void insertName(const QString &name, qint64 size);
    void removeName(const QString &name);
    QHash<QString, qint64> listDirectory();

    QString m_directory;
    QStringList m_files;
    QHash<QString, int> m_onDisk; // record key -> files of it
    QHash<QString, QPair<QDateTime, QString>> m_descriptions;
    QFileSystemWatcher m_watcher;
    QTimer m_rescanTimer;
    // While the directory is missing nothing can watch it: it is looked for
    // until it is back.
    QTimer m_returnTimer;
};
