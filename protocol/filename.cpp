// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/filename.h"

#include <QFileInfo>

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace protocol {

namespace {

constexpr ushort kEscapeBase = 0xDC00;
constexpr ushort kFirstEscape = 0xDC80;
constexpr ushort kLastEscape = 0xDCFF;
constexpr int kLongestCharacter = 4; // bytes of one character in any locale's codec

bool decodesWhole(const QByteArray &bytes, QString *text)
{
    *text = QFile::decodeName(bytes);
    return !text->contains(QChar::ReplacementCharacter) && QFile::encodeName(*text) == bytes;
}

} // namespace

QString decodeFileName(const QByteArray &bytes)
{
    QString name;
    if (decodesWhole(bytes, &name))
        return name;
    name.clear();
    QString piece;
    for (int at = 0; at < bytes.size();) {
        int length = 1;
        while (length <= kLongestCharacter && at + length <= bytes.size() &&
               !decodesWhole(bytes.mid(at, length), &piece))
            ++length;
        if (length <= kLongestCharacter && at + length <= bytes.size()) {
            name += piece;
            at += length;
        } else {
            name += QChar(ushort(kEscapeBase + quint8(bytes.at(at))));
            ++at;
        }
    }
    return name;
}

QByteArray encodeFileName(const QString &name)
{
    QByteArray bytes;
    int runStart = 0;
    for (int i = 0; i <= name.size(); ++i) {
        const ushort code = i < name.size() ? name.at(i).unicode() : 0;
        if (i < name.size() && (code < kFirstEscape || code > kLastEscape))
            continue;
        bytes += QFile::encodeName(name.mid(runStart, i - runStart));
        if (i < name.size())
            bytes += char(code - kEscapeBase);
        runStart = i + 1;
    }
    return bytes;
}

QStringList fileArguments(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << decodeFileName(QByteArray(argv[i]));
    return arguments;
}

bool openForReading(QFile &file, const QString &path, QString *error, bool *notRegular)
{
    *notRegular = false;
#if defined(Q_OS_UNIX)
    // Not blocking: a FIFO without a writer would hold the open itself.
    const int fd = ::open(encodeFileName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat info;
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    *notRegular = !S_ISREG(info.st_mode);
    if (*notRegular || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0 ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        *error = file.errorString();
        ::close(fd);
        return false;
    }
    return true;
#else
    file.setFileName(path);
    if (file.exists() && !QFileInfo(path).isFile()) {
        *notRegular = true;
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    return true;
#endif
}

} // namespace protocol
