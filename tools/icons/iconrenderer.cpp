// SPDX-License-Identifier: GPL-3.0-or-later
// Draws every picture of the Varnel Reader resource bundle and writes it as PNG (and the
// application icon as a multi-image ICO). Most pictures are designed on a 32-unit grid and
// rendered at their pixel size; shapes are bold and outlined so that they survive the tool
// bar scaling them to 70 px.

#include "pictures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QtEndian>

#include <cstdio>
#include <functional>

namespace {

bool save(const QImage &image, const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s %dx%d\n", qPrintable(path), image.width(), image.height());
    return true;
}

// One DIB entry of an ICO file: 32-bit BGRA rows bottom-up, then the 1-bit AND mask.
QByteArray icoBitmap(const QImage &source)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width(), h = image.height();
    QByteArray out(40, '\0');
    auto put32 = [&out](int offset, quint32 v) {
        qToLittleEndian(v, reinterpret_cast<uchar *>(out.data()) + offset);
    };
    auto put16 = [&out](int offset, quint16 v) {
        qToLittleEndian(v, reinterpret_cast<uchar *>(out.data()) + offset);
    };
    const int maskStride = ((w + 31) / 32) * 4;
    put32(0, 40);
    put32(4, quint32(w));
    put32(8, quint32(h * 2)); // colour and mask rows together
    put16(12, 1);
    put16(14, 32);
    put32(20, quint32(w * h * 4 + maskStride * h));
    for (int y = h - 1; y >= 0; --y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const char px[4] = {char(qBlue(line[x])), char(qGreen(line[x])), char(qRed(line[x])),
                                char(qAlpha(line[x]))};
            out.append(px, 4);
        }
    }
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(maskStride, '\0');
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            if (qAlpha(line[x]) == 0)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        }
        out.append(row);
    }
    return out;
}

bool saveIco(const QList<QImage> &images, const QString &path)
{
    QByteArray header(6 + 16 * images.size(), '\0');
    auto put16 = [&header](int offset, quint16 v) {
        qToLittleEndian(v, reinterpret_cast<uchar *>(header.data()) + offset);
    };
    auto put32 = [&header](int offset, quint32 v) {
        qToLittleEndian(v, reinterpret_cast<uchar *>(header.data()) + offset);
    };
    put16(2, 1); // icon
    put16(4, quint16(images.size()));
    QByteArray body;
    for (int i = 0; i < images.size(); ++i) {
        const QByteArray entry = icoBitmap(images.at(i));
        const int at = 6 + 16 * i;
        header[at] = char(images.at(i).width() & 0xff); // 256 would be stored as 0
        header[at + 1] = char(images.at(i).height() & 0xff);
        put16(at + 4, 1);
        put16(at + 6, 32);
        put32(at + 8, quint32(entry.size()));
        put32(at + 12, quint32(header.size() + body.size()));
        body.append(entry);
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(header + body) != header.size() + body.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s (%d images)\n", qPrintable(path), int(images.size()));
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2 && args.size() != 3) {
        std::fprintf(stderr, "usage: %s <resources-dir> [hicolor-dir]\n",
                     qPrintable(args.value(0)));
        return 2;
    }
    const QString ico = args.at(1) + QStringLiteral("/buttons/ico/");
    const QString ico2 = ico + QStringLiteral("ico2/");

    using namespace icons;
    const std::pair<QString, std::function<QImage()>> pictures[] = {
        {ico2 + "dir01.png", [] { return folder(false); }},
        {ico2 + "dir02.png", [] { return folder(true); }},
        {ico2 + "load.png", [] { return transfer(true); }},
        {ico2 + "rec.png", [] { return transfer(false); }},
        {ico2 + "s&c.png", computerWithBluetooth},
        {ico2 + "ref.png", reflectometer},
        {ico2 + "blu.png", bluetoothScan},
        {ico2 + "refresh01.png", refreshArrows},
        {ico2 + "refresh02.png", listRefresh},
        {ico2 + "connekt.png", [] { return connector(true); }},
        {ico2 + "disconnekt.png", [] { return connector(false); }},
        {ico2 + "logo300.png", logoLarge},
        {ico2 + "logo_100.png", logoSmall},
        {ico2 + "cancel.png", cancelTransfer},
        {ico2 + "wave.png", waveformView},
        {ico + "varnel_16.png", [] { return applicationIcon(16); }},
        {ico + "varnel.png", [] { return applicationIcon(32); }},
        {ico + "varnel_64.png", [] { return applicationIcon(64); }},
        {ico + "tdr.png", waveScreen},
        {ico + "cable.png", coaxCable},
    };
    bool ok = true;
    for (const auto &[path, draw] : pictures)
        ok = save(draw(), path) && ok;
    ok = saveIco({applicationIcon(32), applicationIcon(16), applicationIcon(64)},
                 ico + "varnel_reader.ico") &&
         ok;
    // The desktop's icon theme: the application and its file type at every usual size.
    if (args.size() == 3) {
        for (const int size : {16, 32, 48, 64, 128, 256}) {
            const QString dir = QStringLiteral("%1/%2x%2/").arg(args.at(2)).arg(size);
            ok = save(applicationIcon(size), dir + "apps/com.halvern.VarnelReader.png") && ok;
            ok = save(recordFileIcon(size), dir + "mimetypes/application-x-varnel-tdr.png") && ok;
        }
    }
    return ok ? 0 : 1;
}
