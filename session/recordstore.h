#pragma once

#include "protocol/tdrrecord.h"

#include <QObject>
#include <QSettings>
#include <QString>
#include <QStringList>

// The working directory and the record files in it: how a record is named and
// saved, what a file must be to be uploaded, and the one listing of the
// directory that every view reads.
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
    // directories), in the directory's listing order.
    const QStringList &files() const { return m_files; }
    // *.tdr entries whose names this system cannot decode; Qt cannot open
    // them, so they are left out of `files`.
    int undecodableFiles() const { return m_undecodable; }
    void refresh();

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
    void filesChanged();

private:
    QString m_directory;
    QStringList m_files;
    int m_undecodable = 0;
};
