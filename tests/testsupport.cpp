#include "testsupport.h"

#include "bluetooth/emulator/emulatedstack.h"

#include <QTcpServer>

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

quint16 unusedTcpPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

} // namespace testsupport
