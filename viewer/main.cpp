// SPDX-License-Identifier: GPL-3.0-or-later
// varnel-viewer [FILE|DIR]...: the waveform viewer on its own, for a machine
// without Bluetooth. Folders open as the list; files are shown together.
// With --report PDF the report of the files is written instead of a window.
#include "app/waveform/waveformwindow.h"
#include "common/helpversion.h"
#include "common/startup.h"
#include "protocol/filename.h"
#include "records/recordstore.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QStatusBar>

#include <cstdio>

namespace {

const QString kReport = QStringLiteral("report");
const QString kNote = QStringLiteral("note");
const QString kOverlay = QStringLiteral("overlay");

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
    parser.addOption({kOverlay, QCoreApplication::translate(
                                    "main", "One report page of the files overlaid, instead of "
                                            "a page for each file.")});
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
    parser.process(protocol::fileArguments(argc, argv));

    QStringList files;
    QString folder;
    for (const QString &path : parser.positionalArguments()) {
        if (QFileInfo(path).isDir())
            folder = path;
        else
            files.append(QDir::current().absoluteFilePath(path)); // keeps every byte of the name
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
    if (parser.isSet(kReport)) {
        // No window shows what went wrong: each failure is one line.
        const auto tell = [](const QString &line) {
            std::fprintf(stderr, "varnel-viewer: %s\n", qPrintable(line));
        };
        const QStringList errors =
            window.messageText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString &error : errors)
            tell(error);
        if (window.seriesCount() == 0) {
            tell(QCoreApplication::translate("main",
                                             "No report written: it needs record files (*.tdr)."));
            return 1;
        }
        if (!window.exportReport(parser.value(kReport), parser.value(kNote),
                                 parser.isSet(kOverlay))) {
            tell(window.statusBar()->currentMessage());
            return 1;
        }
        return 0;
    }
    window.show();
    return app.exec();
}
