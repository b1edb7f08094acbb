// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/outputfile.h"

#include <QFileInfo>

#include <cstdio>

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

#if defined(Q_OS_UNIX)
bool writtenInPlace(mode_t mode)
{
    return S_ISFIFO(mode) || S_ISCHR(mode);
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}
#endif

} // namespace

OutputFile::OutputFile(const QString &path, Place place) : m_path(path), m_place(place) {}

bool OutputFile::fail(const QString &error)
{
    m_error = error;
    return false;
}

bool OutputFile::open(QIODevice::OpenMode extra)
{
    const QIODevice::OpenMode mode = QIODevice::WriteOnly | extra;
    if (m_place == Place::Named && m_path == QLatin1String("-")) {
        m_isDirect = true;
        return m_direct.open(stdout, mode) || fail(m_direct.errorString());
    }
#if defined(Q_OS_UNIX)
    const QByteArray name = QFile::encodeName(m_path);
    struct stat info;
    const bool link =
        m_place == Place::Folder && ::lstat(name.constData(), &info) == 0 && S_ISLNK(info.st_mode);
    // Only the link goes; the file it names stays as it is.
    if (link && ::unlink(name.constData()) != 0)
        return fail(tr("cannot remove the link in its place: %1").arg(systemError()));
    // A name that cannot be looked up (a loop of links, a file in place of a
    // folder) is not replaced either; one that is not there yet is made.
    const int found = ::stat(name.constData(), &info);
    if (found != 0 && errno != ENOENT)
        return fail(systemError());
    if (found == 0 && !S_ISREG(info.st_mode)) {
        if (!writtenInPlace(info.st_mode))
            return fail(tr("not a regular file, a FIFO or a character device"));
        // A FIFO nobody reads, or reads too slowly, would hold a download for
        // ever: in the folder it is written only as far as it takes the bytes.
        const bool waits = m_place == Place::Named || !S_ISFIFO(info.st_mode);
        const int flags = O_WRONLY | O_CLOEXEC | O_NOCTTY | (waits ? 0 : O_NONBLOCK);
        const int fd = ::open(name.constData(), flags);
        if (fd < 0)
            return fail(errno == ENXIO ? tr("no one reads the FIFO") : systemError());
        // What was opened is what was looked at, not a file put there since.
        if (::fstat(fd, &info) != 0 || !writtenInPlace(info.st_mode)) {
            ::close(fd);
            return fail(tr("the file changed while it was opened"));
        }
        m_isDirect = true;
        if (!m_direct.open(fd, mode, QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            return fail(m_direct.errorString());
        }
        return true;
    }
#else
    const QFileInfo info(m_path);
    if (info.exists() && !info.isFile())
        return fail(tr("not a regular file"));
#endif
    m_replaced.setFileName(m_path);
    if (!m_replaced.open(mode))
        return fail(m_replaced.errorString());
#if defined(Q_OS_UNIX)
    // A link put there after the one above was removed would have been
    // followed: what it names must not be replaced.
    if (m_place == Place::Folder && ::lstat(name.constData(), &info) == 0 &&
        S_ISLNK(info.st_mode)) {
        m_replaced.cancelWriting();
        return fail(tr("a link was put in its place while it was written"));
    }
#endif
    return true;
}

QIODevice *OutputFile::device()
{
    return m_isDirect ? static_cast<QIODevice *>(&m_direct) : &m_replaced;
}

bool OutputFile::commit()
{
    if (!m_error.isEmpty())
        return false;
    if (m_isDirect) {
        const bool flushed = m_direct.flush() && m_direct.error() == QFileDevice::NoError;
        const QString error = m_direct.errorString();
        m_direct.close();
        // Told here, so not again by whoever checks standard output last.
        if (!flushed && m_path == QLatin1String("-"))
            std::clearerr(stdout);
        return flushed || fail(error);
    }
    return m_replaced.commit() || fail(m_replaced.errorString());
}

QString OutputFile::errorString() const
{
    if (!m_error.isEmpty())
        return m_error;
    return m_isDirect ? m_direct.errorString() : m_replaced.errorString();
}

QString OutputFile::write(const QString &path, const QByteArray &bytes, Place place,
                          QIODevice::OpenMode extra)
{
    OutputFile file(path, place);
    if (!file.open(extra))
        return file.errorString();
    const qint64 written = file.device()->write(bytes);
    if (written != bytes.size()) {
        // A full FIFO takes part and says nothing of an error.
        const QString error =
            written > 0 ? tr("only %1 of %2 bytes were taken").arg(written).arg(bytes.size())
                        : file.errorString();
        file.commit(); // a file that took part of them is not put in place
        return error;
    }
    return file.commit() ? QString() : file.errorString();
}
