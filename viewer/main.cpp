// SPDX-License-Identifier: GPL-3.0-or-later
// varnel-viewer [FILE|DIR]...: the waveform viewer on its own, for a machine
// without Bluetooth. Folders open as the list; files are shown together.
// With --report PDF the report of the files is written instead of a window.
#include "app/helpversion.h"
#include "app/startup.h"
#include "app/waveformwindow.h"
#include "session/recordstore.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace {

const QString kReport = QStringLiteral("report");
const QString kNote = QStringLiteral("note");

void describe(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QCoreApplication::translate("main", "Shows TDR waveform files (*.tdr)."));
    parser.addPositionalArgument(QStringLiteral("paths"),
                                 QCoreApplication::translate("main", "Files or folders to open."),
                                 QStringLiteral("[FILE|DIR]..."));
    parser.addOption(
        {kReport, QCoreApplication::translate("main", "Write a PDF report of the files and quit."),
         QStringLiteral("pdf")});
    parser.addOption(
        {kNote, QCoreApplication::translate("main", "The report's note."), QStringLiteral("text")});
}

// A report needs no window, so it needs no display either.
bool writesReportOnly(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--")
            break;
        if (arg == "--report" || arg.startsWith("--report="))
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    if (answerHelpOrVersion(argc, argv, QStringLiteral("varnel-viewer"), describe))
        return 0;
    if (writesReportOnly(argc, argv) && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    const QString noDisplay = missingDisplayMessage(argc, argv);
    if (!noDisplay.isEmpty()) {
        std::fputs(qPrintable(noDisplay), stderr);
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("varnel-viewer"));
    QApplication::setApplicationVersion(QStringLiteral(VARNEL_VERSION));

    installTranslations();

    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addVersionOption();
    describe(parser);
    parser.process(app);

    QStringList files;
    QString folder;
    for (const QString &path : parser.positionalArguments()) {
        if (QFileInfo(path).isDir())
            folder = path;
        else
            files.append(QFileInfo(path).absoluteFilePath());
    }
    // Files alone are listed with their own folder.
    if (folder.isEmpty())
        folder = files.isEmpty() ? QDir::currentPath() : QFileInfo(files.first()).absolutePath();
    RecordStore store;
    store.setDirectory(folder);
    WaveformWindow window(&store);
    window.setDirectory(folder);
    if (!files.isEmpty())
        window.showFiles(files);
    if (parser.isSet(kReport))
        return window.exportReport(parser.value(kReport), parser.value(kNote)) ? 0 : 1;
    window.show();
    return app.exec();
}
