// SPDX-License-Identifier: GPL-3.0-or-later
// varnel-cli: the instrument session without a window, for scripts.
#include "bluetooth/backend.h"
#include "cli/cli.h"
#include "common/startup.h"
#include "protocol/filename.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QVector>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#if defined(Q_OS_UNIX)
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(Cli)
};

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
#if defined(Q_OS_UNIX)
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
#endif
}

QString exitStatusText()
{
    return Texts::tr("Exit status: 0 all done, 1 partly done (some records failed or were "
                     "skipped, or Ctrl-C), 2 usage or configuration error, 3 no such device or "
                     "the link failed.");
}

QString deviceText()
{
    return Texts::tr("DEVICE may be an address, a name in any case, or a serial number (six "
                     "digits as the instrument shows it); left out, it is the instrument the "
                     "window remembers.");
}

QString commandsText()
{
    return Texts::tr("Commands:\n"
                     "  scan [--all]                          instruments in range\n"
                     "  info [DEVICE]                         the instrument's identity\n"
                     "  list [DEVICE]                         the records in the instrument\n"
                     "  download [DEVICE] [--all|--new|N...] [--to DIR]  records into *.tdr files\n"
                     "  upload [DEVICE] --slot N FILE...      files into record slots\n"
                     "  show FILE...                          a record file's metadata and events\n"
                     "  events FILE...                        a record file's events\n"
                     "  compare OLD NEW                       what changed between two records\n"
                     "  export FILE --csv [-o OUT]            a record file as CSV\n"
                     "  label FILE... [--cable NAME] [--note TEXT] [--clear]  cable labels\n"
                     "The Bluetooth stack is chosen by VARNEL_BLUETOOTH, as for the window.") +
           QLatin1Char('\n') + deviceText() + QLatin1Char('\n') +
           Texts::tr("varnel-cli COMMAND --help describes one command.");
}

// One line per command for its own --help.
QString commandText(const QString &command)
{
    if (command == QLatin1String("scan"))
        return Texts::tr("Lists the instruments in range, address and name.");
    if (command == QLatin1String("info"))
        return Texts::tr("Prints the instrument's model, serial number and version.");
    if (command == QLatin1String("list"))
        return Texts::tr("Prints the records stored in the instrument.");
    if (command == QLatin1String("download"))
        return Texts::tr("Downloads records into *.tdr files named as the window names them: "
                         "every record (--all), those not yet in the directory (--new), or the "
                         "record numbers given.");
    if (command == QLatin1String("upload"))
        return Texts::tr("Writes record files into the instrument's record slots from N on.");
    if (command == QLatin1String("show"))
        return Texts::tr("Prints a record file's date and time, range, length, step, serial "
                         "number, samples and events.");
    if (command == QLatin1String("events"))
        return Texts::tr("Prints a record file's events and the cable end.");
    if (command == QLatin1String("compare"))
        return Texts::tr("Prints both records' events counted from their launch pulses, which "
                         "appeared, moved or vanished from OLD to NEW, and the largest "
                         "difference between the traces.");
    if (command == QLatin1String("label"))
        return Texts::tr("Shows, sets or clears the cable label of record files. Labels are kept "
                         "in varnel-labels.json in each file's folder, by the file's content; "
                         "the record files are not changed.");
    return Texts::tr("Writes a record file as the viewer's CSV.");
}

const QStringList &commands()
{
    static const QStringList names{
        QStringLiteral("scan"),     QStringLiteral("info"),    QStringLiteral("list"),
        QStringLiteral("download"), QStringLiteral("upload"),  QStringLiteral("show"),
        QStringLiteral("events"),   QStringLiteral("compare"), QStringLiteral("export"),
        QStringLiteral("label")};
    return names;
}

int editDistance(const QString &a, const QString &b)
{
    QVector<int> row(b.size() + 1);
    for (int j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (int i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = i;
        for (int j = 1; j <= b.size(); ++j) {
            const int above = row[j];
            row[j] = std::min(
                {above + 1, row[j - 1] + 1, diagonal + (a.at(i - 1) == b.at(j - 1) ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

int usageError(const QString &text)
{
    Cli::printError(text);
    std::fprintf(stderr, "%s\n", qPrintable(Texts::tr("see varnel-cli --help")));
    return Cli::finish(ExitUsage);
}

int unknownCommand(const QString &command)
{
    QString best;
    int bestDistance = 3; // more edits than this is no typo
    for (const QString &known : commands()) {
        const int distance = editDistance(command.toLower(), known);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = known;
        }
    }
    if (best.isEmpty())
        return usageError(Texts::tr("Unknown command \"%1\".").arg(command));
    return usageError(Texts::tr("Unknown command \"%1\"; did you mean \"%2\"?").arg(command, best));
}

// The first argument of download is DEVICE unless it is a record number.
bool isRecordNumberText(const QString &arg)
{
    static const QRegularExpression number(QStringLiteral("^\\d{1,3}$"));
    return number.match(arg).hasMatch();
}

// The first argument of upload is DEVICE unless it is a record file.
bool isFileArgument(const QString &arg)
{
    return arg.endsWith(QLatin1String(".tdr"), Qt::CaseInsensitive) || QFileInfo(arg).isFile();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("varnel-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VARNEL_VERSION));
    // The library's diagnostics are for the window's debug output; here
    // stdout and stderr carry results and messages only.
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(
            QStringLiteral("*.debug=false\n*.info=false\n*.warning=false"));
    // Known before the arguments are understood: a usage error is a JSON
    // document too.
    const bool json = QCoreApplication::arguments().mid(1).contains(QStringLiteral("--json"));
    Cli::setJson(json);
    // A script reads the same JSON whatever the desktop's language.
    if (!json)
        installTranslations();

    QCommandLineParser parser;
    const QCommandLineOption jsonOption(QStringLiteral("json"),
                                        Texts::tr("Machine-readable output on stdout."));
    const QCommandLineOption quietOption(QStringLiteral("quiet"),
                                         Texts::tr("No progress and no summary on stderr."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    parser.addOptions({jsonOption, quietOption});
    parser.addPositionalArgument(QStringLiteral("command"), Texts::tr("The command to run."));
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);

    const QCommandLineOption allOption(QStringLiteral("all"),
                                       Texts::tr("scan: every device; download: every record."));
    const QCommandLineOption newOption(
        QStringLiteral("new"), Texts::tr("download: the records not yet in the directory."));
    const QCommandLineOption toOption(QStringLiteral("to"),
                                      Texts::tr("Directory for the files (default: the "
                                                "window's working directory)."),
                                      QStringLiteral("DIR"));
    const QCommandLineOption slotOption(QStringLiteral("slot"),
                                        Texts::tr("First record slot to write, 0 to 99."),
                                        QStringLiteral("N"));
    const QCommandLineOption overwriteOption(
        QStringLiteral("overwrite"), Texts::tr("upload: also write slots that hold records."));
    const QCommandLineOption dryRunOption(
        QStringLiteral("dry-run"),
        Texts::tr("upload: show which file goes to which slot, and which slots hold records; "
                  "write nothing."));
    const QCommandLineOption verifyOption(
        QStringLiteral("verify"),
        Texts::tr("upload: read every written slot back and compare it with the file."));
    const QCommandLineOption csvOption(QStringLiteral("csv"), Texts::tr("Export as CSV."));
    const QCommandLineOption outOption(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                       Texts::tr("Write to OUT instead of stdout."),
                                       QStringLiteral("OUT"));
    const QCommandLineOption cableOption(QStringLiteral("cable"),
                                         Texts::tr("label: the cable's name; empty removes it."),
                                         QStringLiteral("NAME"));
    const QCommandLineOption noteOption(QStringLiteral("note"),
                                        Texts::tr("label: a note; empty removes it."),
                                        QStringLiteral("TEXT"));
    const QCommandLineOption clearOption(QStringLiteral("clear"),
                                         Texts::tr("label: remove the label."));

    // First pass: which command; its own options are added for the second.
    const QStringList arguments = protocol::fileArguments(argc, argv);
    parser.parse(arguments);
    const QStringList firstPass = parser.positionalArguments();
    const QString command = firstPass.value(0);
    if (!command.isEmpty() && !commands().contains(command))
        return unknownCommand(command);
    parser.setApplicationDescription(
        command.isEmpty()
            ? Texts::tr("Reads and writes the records of a Varnel TDR over Bluetooth.") +
                  QLatin1Char('\n') + commandsText() + QLatin1Char('\n') + exitStatusText()
            : commandText(command) + QLatin1Char('\n') + exitStatusText());
    parser.clearPositionalArguments();
    parser.addPositionalArgument(command.isEmpty() ? QStringLiteral("command") : command,
                                 Texts::tr("The command to run."));
    const QString deviceHelp = Texts::tr("Address, name or serial number; left out: the "
                                         "remembered instrument.");
    if (command == QLatin1String("scan")) {
        parser.addOption(allOption);
    } else if (command == QLatin1String("info") || command == QLatin1String("list")) {
        parser.addPositionalArgument(QStringLiteral("DEVICE"), deviceHelp,
                                     QStringLiteral("[DEVICE]"));
    } else if (command == QLatin1String("download")) {
        parser.addOptions({allOption, newOption, toOption});
        parser.addPositionalArgument(QStringLiteral("DEVICE"), deviceHelp,
                                     QStringLiteral("[DEVICE]"));
        parser.addPositionalArgument(QStringLiteral("N"), Texts::tr("Record numbers."),
                                     QStringLiteral("[N...]"));
    } else if (command == QLatin1String("upload")) {
        parser.addOptions({slotOption, overwriteOption, dryRunOption, verifyOption});
        parser.addPositionalArgument(QStringLiteral("DEVICE"), deviceHelp,
                                     QStringLiteral("[DEVICE]"));
        parser.addPositionalArgument(QStringLiteral("FILE"), Texts::tr("Record files."),
                                     QStringLiteral("FILE..."));
    } else if (command == QLatin1String("show") || command == QLatin1String("events")) {
        parser.addPositionalArgument(QStringLiteral("FILE"), Texts::tr("Record files."),
                                     QStringLiteral("FILE..."));
    } else if (command == QLatin1String("compare")) {
        parser.addPositionalArgument(QStringLiteral("OLD"), Texts::tr("The earlier record file."));
        parser.addPositionalArgument(QStringLiteral("NEW"), Texts::tr("The later record file."));
    } else if (command == QLatin1String("label")) {
        parser.addOptions({cableOption, noteOption, clearOption});
        parser.addPositionalArgument(QStringLiteral("FILE"), Texts::tr("Record files."),
                                     QStringLiteral("FILE..."));
    } else if (command == QLatin1String("export")) {
        parser.addOptions({csvOption, outOption});
        parser.addPositionalArgument(QStringLiteral("FILE"), Texts::tr("A record file."));
    }
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(versionOption)) {
        std::printf("varnel-cli %s\n", VARNEL_VERSION);
        return ExitDone;
    }
    if (parser.isSet(helpOption)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return ExitDone;
    }
    QStringList args = parser.positionalArguments().mid(1);
    if (command.isEmpty())
        return usageError(Texts::tr("no command given"));
    for (const QCommandLineOption &option :
         {toOption, slotOption, outOption, cableOption, noteOption}) {
        if (parser.values(option).size() > 1)
            return usageError(Texts::tr("--%1 may be given once").arg(option.names().last()));
    }

    QString stackError;
    // The command line publishes no service of its own: a scene's peer port
    // taken by the window is no reason to stop.
    auto stack = bt::createStack(qgetenv("VARNEL_BLUETOOTH"), &stackError, bt::StackUse::Client);
    if (!stack)
        return usageError(stackError);
    bt::BluetoothStack &chosen = *stack;
    bt::BluetoothStack::install(std::move(stack));

    CliOptions options;
    options.json = parser.isSet(jsonOption);
    options.quiet = parser.isSet(quietOption);
    int status = ExitUsage;
    {
        Cli cli(options, chosen);
#if defined(Q_OS_UNIX)
        std::unique_ptr<QSocketNotifier> notifier;
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) == 0) {
            notifier = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
            QObject::connect(notifier.get(), &QSocketNotifier::activated, [&cli] {
                char byte;
                [[maybe_unused]] const auto got = ::read(g_signalPipe[0], &byte, 1);
                cli.interrupt();
            });
            std::signal(SIGINT, onSignal);
            // A service manager's stop ends the same way as Ctrl-C.
            std::signal(SIGTERM, onSignal);
        }
#endif
        const bool deviceCommand =
            command == QLatin1String("info") || command == QLatin1String("list");
        QString device;
        if ((deviceCommand && args.size() == 1) ||
            (command == QLatin1String("download") && !args.isEmpty() &&
             !isRecordNumberText(args.first())) ||
            (command == QLatin1String("upload") && !args.isEmpty() &&
             !isFileArgument(args.first())))
            device = args.takeFirst();
        if (command == QLatin1String("scan") && args.isEmpty()) {
            status = cli.scan(parser.isSet(allOption));
        } else if (deviceCommand && args.isEmpty()) {
            status = command == QLatin1String("info") ? cli.info(device) : cli.list(device);
        } else if (command == QLatin1String("download")) {
            QList<int> numbers;
            bool ok = true;
            for (const QString &arg : qAsConst(args)) {
                const int number = arg.toInt(&ok);
                if (!ok || number < 0 || number > 255)
                    return usageError(Texts::tr("not a record number: %1").arg(arg));
                numbers.append(number);
            }
            const bool all = parser.isSet(allOption);
            const bool onlyNew = parser.isSet(newOption);
            if (int(all) + int(onlyNew) + int(!numbers.isEmpty()) != 1)
                return usageError(Texts::tr("download needs --all, --new or record numbers"));
            status = cli.download(device, all, onlyNew, numbers, parser.value(toOption));
        } else if (command == QLatin1String("upload") && !args.isEmpty()) {
            bool ok = false;
            const int slot = parser.value(slotOption).toInt(&ok);
            if (!ok || slot < 0 || slot > InstrumentSession::kHighestSlot)
                return usageError(Texts::tr("upload needs --slot N, N from 0 to 99"));
            Cli::UploadOptions upload;
            upload.overwrite = parser.isSet(overwriteOption);
            upload.dryRun = parser.isSet(dryRunOption);
            upload.verify = parser.isSet(verifyOption);
            status = cli.upload(device, slot, args, upload);
        } else if (command == QLatin1String("show") && !args.isEmpty()) {
            status = cli.show(args);
        } else if (command == QLatin1String("events") && !args.isEmpty()) {
            status = cli.events(args);
        } else if (command == QLatin1String("compare") && args.size() == 2) {
            status = cli.compare(args.at(0), args.at(1));
        } else if (command == QLatin1String("label") && !args.isEmpty()) {
            Cli::LabelChange change;
            change.clear = parser.isSet(clearOption);
            if (parser.isSet(cableOption))
                change.cable = parser.value(cableOption);
            if (parser.isSet(noteOption))
                change.note = parser.value(noteOption);
            status = cli.label(args, change);
        } else if (command == QLatin1String("export") && args.size() == 1) {
            if (!parser.isSet(csvOption))
                return usageError(Texts::tr("export needs --csv"));
            status = cli.exportCsv(args.first(), parser.value(outOption));
        } else {
            return usageError(Texts::tr("wrong arguments for \"%1\"").arg(command));
        }
    }
    bt::BluetoothStack::install(nullptr);
    status = Cli::finish(status);
    // Results that never reached stdout (a full disk, a closed pipe) are a
    // failure, not a success.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "varnel-cli: %s\n",
                     qPrintable(Texts::tr("cannot write the output: %1")
                                    .arg(QString::fromLocal8Bit(std::strerror(errno)))));
        return status == ExitDone ? ExitPartly : status;
    }
    return status;
}
