#include "session/recordstore.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#if defined(Q_OS_UNIX)
#include <dirent.h>
#endif

namespace {

const QString kGroup = QStringLiteral("Paths");
const QString kKey = QStringLiteral("savedir");

// Qt leaves out directory entries whose names the locale cannot decode;
// counting them is the most the user can be told.
int countUndecodable(const QString &directory)
{
    int count = 0;
#if defined(Q_OS_UNIX)
    DIR *dir = ::opendir(QFile::encodeName(directory).constData());
    if (!dir)
        return 0;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (!name.toLower().endsWith(".tdr"))
            continue;
        if (QFile::encodeName(QFile::decodeName(name)) != name)
            ++count;
    }
    ::closedir(dir);
#else
    Q_UNUSED(directory)
#endif
    return count;
}

} // namespace

RecordStore::RecordStore(QObject *parent) : QObject(parent), m_directory(QDir::currentPath()) {}

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
    m_directory = directory;
    refresh();
}

QString RecordStore::pathOf(const QString &fileName) const
{
    return m_directory + QLatin1Char('/') + fileName;
}

void RecordStore::refresh()
{
    QDir dir(m_directory);
    dir.setFilter(QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    dir.setSorting(QDir::Name | QDir::Reversed);
    dir.setNameFilters({QStringLiteral("*.tdr")});
    const QFileInfoList entries = dir.entryInfoList(QDir::NoFilter, QDir::NoSort);
    m_files.clear();
    for (const QFileInfo &entry : entries)
        m_files.append(entry.fileName());
    m_undecodable = countUndecodable(m_directory);
    emit filesChanged();
}

RecordStore::Saved RecordStore::save(const TDRRecord &record, quint8 number)
{
    Saved saved;
    saved.fileName = protocol::recordFileName(record, number);
    QSaveFile file(pathOf(saved.fileName));
    if (!file.open(QIODevice::WriteOnly)) {
        saved.error = file.errorString();
    } else {
        const QByteArray bytes = protocol::recordBytes(record);
        if (file.write(bytes) != bytes.size()) {
            qDebug() << "Ошибка записи";
            saved.error = file.errorString();
            file.cancelWriting();
        } else if (!file.commit()) {
            qDebug() << "Ошибка записи";
            saved.error = file.errorString();
        }
    }
    refresh();
    return saved;
}

RecordStore::Checked RecordStore::readForUpload(const QString &path)
{
    Checked checked;
    const QString name = QFileInfo(path).fileName();
    QFile file(path);
    // Only regular files: a FIFO or a device would block the read.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        checked.skipped = tr("\"%1\" (not a record file)").arg(name);
        return checked;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        checked.skipped = tr("\"%1\" (%2)").arg(name, file.errorString());
        return checked;
    }
    // One byte more than a record, so an over-long file shows itself.
    const QByteArray content = file.read(protocol::kRecordImageSize + 1);
    switch (protocol::checkRecordImage(content)) {
    case protocol::RecordFileError::Size:
        qDebug() << "Ошибка чтения";
        checked.skipped = tr("\"%1\" (not a record file)").arg(name);
        break;
    case protocol::RecordFileError::Range:
        checked.skipped = tr("\"%1\" (unknown range)").arg(name);
        break;
    case protocol::RecordFileError::None:
        checked.content = content;
        break;
    }
    return checked;
}
