// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/helpversion.h"

#include "common/startup.h"

#include <QByteArray>
#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace {

bool asksForHelpOrVersion(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--")
            break;
        if (arg == "-h" || arg == "-?" || arg == "--help" || arg == "--help-all" || arg == "-v" ||
            arg == "--version")
            return true;
    }
    return false;
}

} // namespace

bool answerHelpOrVersion(int argc, char *argv[], const QString &program,
                         const std::function<void(QCommandLineParser &)> &describe)
{
    if (!asksForHelpOrVersion(argc, argv))
        return false;
    // A core application is enough for the parser and the translation.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(program);
    QCoreApplication::setApplicationVersion(QStringLiteral(VARNEL_VERSION));
    installTranslations();

    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    if (describe)
        describe(parser);
    // Options meant for Qt itself (-platform, -style ...) are unknown here;
    // the answer is the same with them.
    parser.parse(QCoreApplication::arguments());
    if (parser.isSet(version))
        std::printf("%s %s\n", qPrintable(program), VARNEL_VERSION);
    else
        std::fputs(qPrintable(parser.helpText()), stdout);
    return true;
}
