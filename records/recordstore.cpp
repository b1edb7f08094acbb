// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/recordstore.h"

#include "records/outputfile.h"

#include "protocol/filename.h"
#include "protocol/frame.h"
#include "protocol/trace.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

#if defined(Q_OS_UNIX)
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace {

const QString kGroup = QStringLiteral("Paths");
const QString kKey = QStringLiteral("savedir");

// The *.tdr regular files (any case, hidden ones included, no links) and
// their sizes, by the bytes of their names: Qt's own listing leaves out names
// the locale cannot decode.
QHash<QString, qint64> recordFiles(const QString &directory)
{
    QHash<QString, qint64> sizes;
#if defined(Q_OS_UNIX)
    DIR *dir = ::opendir(protocol::encodeFileName(directory).constData());
    if (!dir)
        return sizes;
    while (const dirent *entry = ::readdir(dir)) {
        struct stat info;
        if (QByteArray(entry->d_name).toLower().endsWith(".tdr") &&
            ::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode))
            sizes.insert(protocol::decodeFileName(entry->d_name), info.st_size);
    }
    ::closedir(dir);
#else
    QDir dir(directory);
    dir.setFilter(QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    dir.setNameFilters({QStringLiteral("*.tdr")});
    const QFileInfoList entries = dir.entryInfoList(QDir::NoFilter, QDir::Unsorted);
    for (const QFileInfo &entry : entries)
        sizes.insert(entry.fileName(), entry.size());
#endif
    return sizes;
}

// The listing's order: by name, descending, case-sensitive.
bool listedBefore(const QString &a, const QString &b)
{
    return QString::compare(a, b, Qt::CaseSensitive) > 0;
}

// "#007 2021-02-18 12_30_45 sn001234" for a file a download named, in any
// case as the listing takes it (a copy tool may have changed it); empty for
// any other name.
QString recordKey(const QString &fileName)
{
    static const QRegularExpression pattern(
        QStringLiteral(
            "^(#\\d{3,} 20\\d\\d-\\d\\d-\\d\\d \\d\\d_\\d\\d_\\d\\d) .*m (sn\\d{6,})\\.tdr$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(fileName);
    return match.hasMatch() ? match.captured(1) + QLatin1Char(' ') + match.captured(2).toLower()
                            : QString();
}

// Changes made by others come in bursts (a copy of many files): one look at
// the directory after the burst.
constexpr int kRescanDelayMs = 300;
constexpr int kReturnCheckMs = 1000;

} // namespace

RecordStore::RecordStore(QObject *parent) : QObject(parent), m_directory(QDir::currentPath())
{
    m_rescanTimer.setSingleShot(true);
    m_rescanTimer.setInterval(kRescanDelayMs);
    connect(&m_rescanTimer, &QTimer::timeout, this, &RecordStore::rescan);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this,
            [this] { m_rescanTimer.start(); });
    m_returnTimer.setInterval(kReturnCheckMs);
    connect(&m_returnTimer, &QTimer::timeout, this, [this] {
        if (QFileInfo(m_directory).isDir())
            rescan();
    });
}

QString RecordStore::savedDirectory(QSettings &settings)
{
    settings.beginGroup(kGroup);
    const QString directory = settings.value(kKey, QDir::currentPath()).toString();
    settings.endGroup();
    return directory;
}

void RecordStore::saveDirectory(QSettings &settings, const QString &directory)
{
    settings.beginGroup(kGroup);
    settings.setValue(kKey, directory);
    settings.endGroup();
    settings.sync();
}

void RecordStore::setDirectory(const QString &directory)
{
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    m_directory = directory;
    refresh();
}

QString RecordStore::pathOf(const QString &fileName) const
{
    return m_directory + QLatin1Char('/') + fileName;
}

QHash<QString, qint64> RecordStore::listDirectory()
{
    // A directory that came back (or appeared) is followed again.
    const bool present = QFileInfo(m_directory).isDir();
    if (m_watcher.directories().isEmpty() && present)
        m_watcher.addPath(m_directory);
    if (present)
        m_returnTimer.stop();
    else if (!m_returnTimer.isActive())
        m_returnTimer.start();
    return recordFiles(m_directory);
}

void RecordStore::refresh()
{
    m_rescanTimer.stop();
    const QHash<QString, qint64> sizes = listDirectory();
    m_files = sizes.keys();
    std::sort(m_files.begin(), m_files.end(), listedBefore);
    m_onDisk.clear();
    m_descriptions.clear();
    for (auto it = sizes.cbegin(); it != sizes.cend(); ++it) {
        const QString key = recordKey(it.key());
        if (!key.isEmpty() && it.value() == protocol::kRecordImageSize)
            ++m_onDisk[key];
    }
    emit filesChanged();
}

void RecordStore::rescan()
{
    const QHash<QString, qint64> sizes = listDirectory();
    const QStringList known = m_files;
    for (const QString &name : known) {
        if (!sizes.contains(name))
            removeName(name);
    }
    for (auto it = sizes.cbegin(); it != sizes.cend(); ++it)
        insertName(it.key(), it.value());
}

void RecordStore::insertName(const QString &name, qint64 size)
{
    const auto at = std::lower_bound(m_files.begin(), m_files.end(), name, listedBefore);
    if (at != m_files.end() && *at == name)
        return;
    m_files.insert(at, name);
    const QString key = recordKey(name);
    if (!key.isEmpty() && size == protocol::kRecordImageSize)
        ++m_onDisk[key];
    emit fileAdded(name);
}

void RecordStore::removeName(const QString &name)
{
    const auto at = std::lower_bound(m_files.begin(), m_files.end(), name, listedBefore);
    if (at == m_files.end() || *at != name)
        return;
    m_files.erase(at);
    m_descriptions.remove(name);
    const QString key = recordKey(name);
    const auto count = m_onDisk.find(key);
    if (count != m_onDisk.end() && --*count <= 0)
        m_onDisk.erase(count);
    emit fileRemoved(name);
}

bool RecordStore::isOnDisk(const protocol::RecordEntry &entry, quint32 serialNumber) const
{
    return m_onDisk.contains(entry.text() +
                             QStringLiteral(" sn%1").arg(serialNumber, 6, 10, QLatin1Char('0')));
}

QString RecordStore::describe(const QString &fileName)
{
    const QString path = pathOf(fileName);
    const QDateTime modified = QFileInfo(path).lastModified();
    const auto cached = m_descriptions.constFind(fileName);
    if (cached != m_descriptions.constEnd() && cached->first == modified)
        return cached->second;
    const protocol::TraceResult result = protocol::readTrace(path);
    const QString text = result.ok() ? protocol::traceSummary(result.trace) : result.error;
    m_descriptions.insert(fileName, qMakePair(modified, text));
    return text;
}

RecordStore::Saved RecordStore::save(const TDRRecord &record, quint8 number)
{
    Saved saved;
    saved.fileName = protocol::recordFileName(record, number);
    // A link of that name is replaced, never written through: anyone able to
    // write to the folder could otherwise aim a download at another file.
    saved.error = OutputFile::write(pathOf(saved.fileName), protocol::recordBytes(record),
                                    OutputFile::Place::Folder);
    if (!saved.error.isEmpty())
        qDebug() << "Ошибка записи";
    // An overwritten file keeps its place but not its description. A FIFO or a
    // device written in place holds no record afterwards: it is not listed.
    const QFileInfo written(pathOf(saved.fileName));
    if (saved.error.isEmpty() && written.isFile() && !written.isSymLink()) {
        m_descriptions.remove(saved.fileName);
        insertName(saved.fileName, protocol::kRecordImageSize);
    }
    return saved;
}

RecordStore::Checked RecordStore::readForUpload(const QString &path)
{
    Checked checked;
    const QString name = QFileInfo(path).fileName();
    QFile file;
    QString error;
    bool notRegular = false;
    // Only regular files: a FIFO or a device would block the read.
    if (!protocol::openForReading(file, path, &error, &notRegular)) {
        checked.skipped = notRegular ? tr("\"%1\" (not a record file)").arg(name)
                                     : tr("\"%1\" (%2)").arg(name, error);
        return checked;
    }
    // Files written by other programs may carry trailing bytes: the record is
    // the first 37775.
    const QByteArray content = file.read(protocol::kRecordImageSize);
    switch (protocol::checkRecordImage(content)) {
    case protocol::RecordFileError::Size:
        qDebug() << "Ошибка чтения";
        checked.skipped = tr("\"%1\" (not a record file)").arg(name);
        break;
    case protocol::RecordFileError::Range:
        checked.skipped = tr("\"%1\" (unknown range)").arg(name);
        break;
    case protocol::RecordFileError::Step:
        checked.skipped = tr("\"%1\" (bad distance step)").arg(name);
        break;
    case protocol::RecordFileError::None:
        checked.content = content;
        break;
    }
    return checked;
}
