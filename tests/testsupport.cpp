// SPDX-License-Identifier: GPL-3.0-or-later
#include "testsupport.h"

#include "bluetooth/emulator/emulatedstack.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTcpServer>
#include <QtEndian>

#include <cstring>
#include <vector>

namespace testsupport {

emu::EmulatedStack *installEmulatedStack(const QByteArray &sceneJson, QString *error)
{
    QString problem;
    std::unique_ptr<emu::EmulatedStack> stack = emu::EmulatedStack::fromJson(sceneJson, &problem);
    if (!stack) {
        if (error)
            *error = problem;
        return nullptr;
    }
    emu::EmulatedStack *raw = stack.get();
    bt::BluetoothStack::install(std::move(stack));
    return raw;
}

QBluetoothServiceInfo sceneService(int deviceIndex, int serviceIndex)
{
    emu::EmulatedStack *stack = bt::emulatedStack();
    if (!stack || deviceIndex >= stack->scene().devices.size())
        return QBluetoothServiceInfo();
    const emu::SceneDevice &device = stack->scene().devices.at(deviceIndex);
    if (serviceIndex >= device.services.size())
        return QBluetoothServiceInfo();
    return emu::serviceInfo(device, device.services.at(serviceIndex));
}

DownloadedFile expectedDownload(const QByteArray &block, quint32 serial)
{
    const auto byte = [&block](int at) { return quint8(block.at(at)); };
    const auto u32 = [&block](int at) {
        return qFromLittleEndian<quint32>(block.constData() + at);
    };
    const auto bcd = [](quint8 b) {
        return (b >> 4) > 9 || (b & 15) > 9 ? 0 : (b >> 4) * 10 + (b & 15);
    };
    const quint32 divisor = byte(16);
    if (block.size() != 283 || divisor == 0)
        return {};
    std::vector<char> image(37775, '\0');
    char *f = image.data();
    const auto putFloat = [f](int at, float value) {
        quint32 bits;
        std::memcpy(&bits, &value, 4);
        qToLittleEndian(bits, f + at);
    };
    qToLittleEndian<quint16>(105, f);
    qToLittleEndian<quint16>(250, f + 2);
    f[4] = 1;
    qToLittleEndian<quint32>(serial, f + 5);
    qToLittleEndian<quint32>(20210218, f + 9);
    qToLittleEndian<quint32>(20210218, f + 13);
    qToLittleEndian<quint32>(2, f + 18);
    putFloat(25, float(u32(25)) / float(divisor) / 100.0f);
    qToLittleEndian<quint32>(u32(29), f + 29);
    const float length = float((u32(21) - u32(17)) / divisor / 1000);
    putFloat(33, length);
    static const quint32 ranges[] = {10, 20, 30, 50, 100, 200, 500, 1000, 1500, 3000, 5000, 10000};
    qToLittleEndian<quint32>(byte(11) < 12 ? ranges[byte(11)] : 0, f + 37);
    qToLittleEndian<quint32>(0x00010014, f + 41);
    qToLittleEndian<quint16>(byte(12), f + 45);
    putFloat(49, float(299.7924499511719 / (2.0 * divisor)));
    qToLittleEndian<qint16>(qint16(byte(13) - 128), f + 57);
    qToLittleEndian<quint32>(u32(17), f + 79);
    qToLittleEndian<quint32>(u32(21), f + 83);
    qToLittleEndian<quint32>(1, f + 159);
    // hour, minute, second, 0, date spare, month, day, year
    const int dateBytes[] = {8, 9, 10, -1, 7, 5, 6, 4};
    for (int i = 0; i < 8; ++i)
        f[171 + i] = char(dateBytes[i] < 0 ? 0 : bcd(byte(dateBytes[i])));
    f[261] = block.at(34);
    std::copy(block.begin() + 33, block.begin() + 282, f + 262);

    const QString name =
        QString::asprintf("#%03d 20%02d-%02d-%02d %02d_%02d_%02d ", byte(3), bcd(byte(4)),
                          bcd(byte(5)), bcd(byte(6)), bcd(byte(8)), bcd(byte(9)), bcd(byte(10))) +
        QStringLiteral("%1m sn%2.tdr")
            .arg(double(length), 3, 'g', -1, QLatin1Char('0'))
            .arg(serial, 6, 10, QLatin1Char('0'));
    return {name, QByteArray(f, int(image.size()))};
}

quint16 unusedTcpPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

QString installedCopy(const QString &prefix, const QString &program, const QString &qm,
                      const QString &translations)
{
    const QDir root(prefix);
    const QString copy = root.filePath(QStringLiteral("bin/") + QFileInfo(program).fileName());
    if (!root.mkpath(QStringLiteral("bin")) || !root.mkpath(translations) ||
        !QFile::copy(program, copy) ||
        !QFile::copy(qm, root.filePath(translations + QLatin1Char('/') + QFileInfo(qm).fileName())))
        return {};
    return copy;
}

} // namespace testsupport

void isolateSettings(const QString &directory)
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, directory);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, directory);
    QSettings(QStringLiteral("Halvern"), QStringLiteral("Varnel Reader")).clear();
}

emu::EmulatedStack *installScene(const QByteArray &json)
{
    QString error;
    emu::EmulatedStack *stack = testsupport::installEmulatedStack(json, &error);
    if (!stack)
        qWarning("scene rejected: %s", qPrintable(error));
    return stack;
}
