// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/startup.h"

#include "protocol/qtcompat.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QString>
#include <QTranslator>

void installTranslations()
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::RussianFederation));
    auto *translator = new QTranslator(QCoreApplication::instance());
    bool found = translator->load(QLocale(), QStringLiteral("Varnel_Reader"), QStringLiteral("_"),
                                  QDir::currentPath(), QStringLiteral(".qm")) &&
                 !translator->isEmpty();
    // An installed copy is started from anywhere: without a translation in the
    // current directory it speaks the desktop's language, when it has it.
    if (!found)
        found = translator->load(QLocale::system(), QStringLiteral("Varnel_Reader"),
                                 QStringLiteral("_"),
                                 QCoreApplication::applicationDirPath() +
                                     QStringLiteral("/" VARNEL_INSTALLED_TRANSLATIONS),
                                 QStringLiteral(".qm"));
    if (found)
        QCoreApplication::installTranslator(translator);

    // With our translation in place, Qt's own dialog buttons follow it.
    auto *qtTranslator = new QTranslator(QCoreApplication::instance());
    if (!translator->isEmpty() &&
        qtTranslator->load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                           qtcompat::qtTranslationsPath()))
        QCoreApplication::installTranslator(qtTranslator);
}

#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS) && !defined(Q_OS_ANDROID)
namespace {

bool platformArgument(int argc, const char *const *argv)
{
    for (int i = 1; i < argc; ++i) {
        QByteArray arg(argv[i]);
        if (arg.startsWith("--"))
            arg.remove(0, 1);
        if (arg == "-platform" && i + 1 < argc && argv[i + 1][0] != '\0')
            return true;
        if (arg.startsWith("-platform=") && arg.size() > 10)
            return true;
    }
    return false;
}

} // namespace
#endif

QString missingDisplayMessage(int argc, const char *const *argv)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS) && !defined(Q_OS_ANDROID)
    if (platformArgument(argc, argv) || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
        !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return QString();
    // The viewer says this too, under its own name.
    const QString program = argc > 0 && argv[0][0] != '\0'
                                ? QFileInfo(QFile::decodeName(argv[0])).fileName()
                                : QStringLiteral("varnel-reader");
    return QStringLiteral("%1: no display available (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                          "Run it from a desktop session, or on a machine without one under a "
                          "virtual display:\n"
                          "    xvfb-run -a -s \"-screen 0 1280x900x24\" %1\n")
        .arg(program);
#else
    Q_UNUSED(argc)
    Q_UNUSED(argv)
    return QString();
#endif
}
