// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QPair>
#include <QString>
#include <QStringList>

// What a technician says a record is: the cable measured and a note.
struct CableLabel
{
    QString cable;
    QString note;
    bool isEmpty() const { return cable.isEmpty() && note.isEmpty(); }
    // Single-line and bounded: a label is shown in lists, headers and on
    // the command line, whoever wrote the file it came from.
    CableLabel cleaned() const;
};

// A file list's filter: a file is shown when every word of the filter is
// found, whatever its case, in one of its texts (name, cable, note...).
QStringList filterWords(const QString &filter);
bool matchesWords(const QStringList &words, const QStringList &texts);

// The labels of one folder's record files. They live in a file of their own
// beside the records, "varnel-labels.json", never inside a record: a *.tdr
// file keeps the bytes the instrument sent.
//
// A label belongs to a file's content (the SHA-256 of its bytes), so it
// follows a file that is renamed, and files with equal bytes share it; the
// name the file had when labelled is kept beside it for people reading the
// file. A label file that cannot be read, or holds what this version does
// not understand, is left as it is: its labels are shown where they can be,
// and nothing is written over it.
class LabelBook
{
    Q_DECLARE_TR_FUNCTIONS(LabelBook)

public:
    static const QString kFileName;

    explicit LabelBook(const QString &directory = QString());
    void setDirectory(const QString &directory);
    QString directory() const { return m_directory; }
    QString path() const;

    // The label of a record file: a name in the folder, or a path.
    CableLabel label(const QString &file);
    // Why the labels cannot be read or changed; empty when all is well.
    QString problem();
    // Gives each file the label, or takes it away when the label is empty;
    // written at once. Empty on success, else why nothing was changed.
    QString setLabel(const QStringList &files, const CableLabel &label);
    // The cable names in use, sorted, for completion.
    QStringList cables();

    // Lower-case hex SHA-256 of the file's bytes; empty when unreadable.
    static QString contentKey(const QString &path);

private:
    using Stamp = QPair<QDateTime, qint64>;
    QString pathOf(const QString &file) const;
    QString keyOf(const QString &path);
    void reload(bool always);
    QJsonObject labels() const;

    QString m_directory;
    QJsonObject m_root;
    QString m_problem;
    Stamp m_stamp;
    bool m_loaded = false;
    QHash<QString, QPair<Stamp, QString>> m_keys; // by path: the stamp it was read at, its key
};
