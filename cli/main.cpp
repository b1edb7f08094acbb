// varnel-cli: the instrument session without a window, for scripts.
#include "bluetooth/backend.h"
#include "cli/cli.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLoggingCategory>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>

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

void onSigint(int)
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

QString commandsText()
{
    return Texts::tr("Commands:\n"
                     "  scan [--all]                          instruments in range\n"
                     "  info DEVICE                           the instrument's identity\n"
                     "  list DEVICE                           the records in the instrument\n"
                     "  download DEVICE [--all|--new|N...] [--to DIR]  records into *.tdr files\n"
                     "  upload DEVICE --slot N FILE...        files into record slots\n"
                     "  show FILE...                          a record file's metadata\n"
                     "  export FILE --csv [-o OUT]            a record file as CSV\n"
                     "DEVICE is an instrument's address or name. The Bluetooth stack is chosen "
                     "by VARNEL_BLUETOOTH, as for the window.");
}

int usageError(const QString &text)
{
    Cli::printError(text);
    Cli::printError(Texts::tr("see varnel-cli --help"));
    return ExitUsage;
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

    QCommandLineParser parser;
    parser.setApplicationDescription(Texts::tr("Reads and writes the records of a Varnel TDR "
                                               "over Bluetooth.") +
                                     QLatin1Char('\n') + commandsText() + QLatin1Char('\n') +
                                     exitStatusText());
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

    // First pass: which command; its own options are added for the second.
    parser.parse(QCoreApplication::arguments());
    const QStringList firstPass = parser.positionalArguments();
    const QString command = firstPass.value(0);
    parser.clearPositionalArguments();
    parser.addPositionalArgument(command.isEmpty() ? QStringLiteral("command") : command,
                                 Texts::tr("The command to run."));
    if (command == QLatin1String("scan")) {
        parser.addOption(allOption);
    } else if (command == QLatin1String("info") || command == QLatin1String("list")) {
        parser.addPositionalArgument(QStringLiteral("DEVICE"), Texts::tr("Address or name."));
    } else if (command == QLatin1String("download")) {
        parser.addOptions({allOption, newOption, toOption});
        parser.addPositionalArgument(QStringLiteral("DEVICE"), Texts::tr("Address or name."));
        parser.addPositionalArgument(QStringLiteral("N"), Texts::tr("Record numbers."),
                                     QStringLiteral("[N...]"));
    } else if (command == QLatin1String("upload")) {
        parser.addOptions({slotOption, overwriteOption, dryRunOption, verifyOption});
        parser.addPositionalArgument(QStringLiteral("DEVICE"), Texts::tr("Address or name."));
        parser.addPositionalArgument(QStringLiteral("FILE"), Texts::tr("Record files."),
                                     QStringLiteral("FILE..."));
    } else if (command == QLatin1String("show")) {
        parser.addPositionalArgument(QStringLiteral("FILE"), Texts::tr("Record files."),
                                     QStringLiteral("FILE..."));
    } else if (command == QLatin1String("export")) {
        parser.addOptions({csvOption, outOption});
        parser.addPositionalArgument(QStringLiteral("FILE"), Texts::tr("A record file."));
    }
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(versionOption)) {
        std::printf("varnel-cli %s\n", VARNEL_VERSION);
        return ExitDone;
    }
    if (parser.isSet(helpOption)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return ExitDone;
    }
    const QStringList args = parser.positionalArguments().mid(1);
    if (command.isEmpty())
        return usageError(Texts::tr("no command given"));

    QString stackError;
    auto stack = bt::createStack(qgetenv("VARNEL_BLUETOOTH"), &stackError);
    if (!stack)
        return usageError(stackError);
    bt::BluetoothStack::install(std::move(stack));

    CliOptions options;
    options.json = parser.isSet(jsonOption);
    options.quiet = parser.isSet(quietOption);
    int status = ExitUsage;
    {
        Cli cli(options);
#if defined(Q_OS_UNIX)
        std::unique_ptr<QSocketNotifier> notifier;
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) == 0) {
            notifier = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
            QObject::connect(notifier.get(), &QSocketNotifier::activated, [&cli] {
                char byte;
                [[maybe_unused]] const auto got = ::read(g_signalPipe[0], &byte, 1);
                cli.interrupt();
            });
            std::signal(SIGINT, onSigint);
        }
#endif
        const auto needs = [&](int count) { return args.size() >= count; };
        if (command == QLatin1String("scan") && args.isEmpty()) {
            status = cli.scan(parser.isSet(allOption));
        } else if ((command == QLatin1String("info") || command == QLatin1String("list")) &&
                   args.size() == 1) {
            status =
                command == QLatin1String("info") ? cli.info(args.first()) : cli.list(args.first());
        } else if (command == QLatin1String("download") && needs(1)) {
            QList<int> numbers;
            bool ok = true;
            for (const QString &arg : args.mid(1)) {
                const int number = arg.toInt(&ok);
                if (!ok || number < 0 || number > 255)
                    return usageError(Texts::tr("not a record number: %1").arg(arg));
                numbers.append(number);
            }
            const bool all = parser.isSet(allOption);
            const bool onlyNew = parser.isSet(newOption);
            if (int(all) + int(onlyNew) + int(!numbers.isEmpty()) != 1)
                return usageError(Texts::tr("download needs --all, --new or record numbers"));
            status = cli.download(args.first(), all, onlyNew, numbers, parser.value(toOption));
        } else if (command == QLatin1String("upload") && needs(2)) {
            bool ok = false;
            const int slot = parser.value(slotOption).toInt(&ok);
            if (!ok || slot < 0 || slot > InstrumentSession::kHighestSlot)
                return usageError(Texts::tr("upload needs --slot N, N from 0 to 99"));
            Cli::UploadOptions upload;
            upload.overwrite = parser.isSet(overwriteOption);
            upload.dryRun = parser.isSet(dryRunOption);
            upload.verify = parser.isSet(verifyOption);
            status = cli.upload(args.first(), slot, args.mid(1), upload);
        } else if (command == QLatin1String("show") && needs(1)) {
            status = cli.show(args);
        } else if (command == QLatin1String("export") && args.size() == 1) {
            if (!parser.isSet(csvOption))
                return usageError(Texts::tr("export needs --csv"));
            status = cli.exportCsv(args.first(), parser.value(outOption));
        } else {
            return usageError(Texts::tr("wrong arguments for \"%1\"").arg(command));
        }
    }
    bt::BluetoothStack::install(nullptr);
    return status;
}
