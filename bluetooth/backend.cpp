// SPDX-License-Identifier: GPL-3.0-or-later
#include "bluetooth/backend.h"

#include "bluetooth/emulator/emulatedstack.h"
#include "bluetooth/emulator/scene.h"
#include "bluetooth/qtstack.h"

namespace bt {

std::unique_ptr<BluetoothStack> createStack(const QByteArray &envValue, QString *error,
                                            StackUse use)
{
    const QString value = QString::fromLocal8Bit(envValue);
    auto failWith = [error](const QString &text) {
        if (error)
            *error = QStringLiteral("VARNEL_BLUETOOTH: ") + text;
        return nullptr;
    };

    if (value.isEmpty() || value == QLatin1String("qt"))
        return std::make_unique<QtStack>();

    QByteArray json;
    QString origin;
    if (value == QLatin1String("emulator")) {
        json = emu::demoSceneJson();
        origin = QStringLiteral("built-in demo scene");
    } else if (value.startsWith(QLatin1String("emulator:"))) {
        const QString path = value.mid(int(qstrlen("emulator:")));
        origin = QStringLiteral("scene ") + path;
        if (path.isEmpty())
            return failWith(
                QStringLiteral("\"emulator:\" needs a scene file path after the colon"));
        QString problem;
        if (!emu::readSceneFile(path, &json, &problem))
            return failWith(origin + QStringLiteral(": ") + problem);
    } else {
        return failWith(QStringLiteral("unknown value \"%1\" (expected \"qt\", \"emulator\" or "
                                       "\"emulator:PATH\")")
                            .arg(value));
    }

    QString problem;
    std::unique_ptr<emu::EmulatedStack> stack =
        emu::EmulatedStack::fromJson(json, &problem, use == StackUse::Full);
    if (!stack)
        return failWith(origin + QStringLiteral(": ") + problem);
    return stack;
}

} // namespace bt
