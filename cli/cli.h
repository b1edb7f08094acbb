#pragma once

#include "session/instrumentsession.h"

#include <QBluetoothServiceInfo>
#include <QCoreApplication>
#include <QJsonValue>
#include <QStringList>

#include <functional>

// Exit status of every command.
enum ExitCode { ExitDone = 0, ExitPartly = 1, ExitUsage = 2, ExitNoDevice = 3 };

struct CliOptions
{
    bool json = false;
    bool quiet = false;
};

// The commands of varnel-cli. Each returns its exit status; results go to
// stdout (text, or JSON with --json), messages and progress to stderr.
class Cli
{
    Q_DECLARE_TR_FUNCTIONS(Cli)
public:
    explicit Cli(const CliOptions &options) : m_options(options) {}

    int scan(bool all);
    int info(const QString &device);
    int list(const QString &device);
    // Every record (`all`), the records not yet in DIR (`onlyNew`), or `numbers`.
    int download(const QString &device, bool all, bool onlyNew, const QList<int> &numbers,
                 const QString &dir);
    int upload(const QString &device, int slot, const QStringList &files);
    int show(const QStringList &files);
    int exportCsv(const QString &file, const QString &out);

    // Ctrl-C: the transfer stops after the record in flight.
    void interrupt();

    static void printError(const QString &text);

private:
    QList<QBluetoothServiceInfo> discover(bool all);
    // The instrument's service, or an exit status (with its message printed).
    int resolve(const QString &device, QBluetoothServiceInfo *service);
    // Connects and waits for the identity; an exit status on failure.
    int open(const QString &device);
    // Runs the event loop until `done` holds; false when interrupted.
    bool waitUntil(const std::function<bool()> &done);
    // Opens the device and asks for its list of records; an exit status.
    int listRecords(const QString &device, QList<protocol::RecordEntry> *entries);
    void progress(const QString &text);
    void print(const QString &text);
    void printJson(const QJsonValue &value);

    CliOptions m_options;
    InstrumentSession m_session;
    bool m_interrupted = false;
    int m_interrupts = 0;
    bool m_identified = false;
    bool m_linkFailed = false;
    QString m_linkProblem;
};
