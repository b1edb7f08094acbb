// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "records/labelbook.h"
#include "session/instrumentsession.h"

#include <QBluetoothServiceInfo>
#include <QCoreApplication>
#include <QJsonValue>
#include <QStringList>

#include <functional>
#include <map>
#include <optional>

namespace bt {
class BluetoothStack;
}
namespace protocol {
struct Trace;
}

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
    Cli(const CliOptions &options, bt::BluetoothStack &stack)
        : m_options(options), m_stack(stack), m_session(stack, m_store)
    {}

    int scan(bool all);
    int info(const QString &device);
    int list(const QString &device);
    // Every record (`all`), the records not yet in DIR (`onlyNew`), or `numbers`.
    int download(const QString &device, bool all, bool onlyNew, const QList<int> &numbers,
                 const QString &dir);
    struct UploadOptions
    {
        bool overwrite = false; // write slots that hold records
        bool dryRun = false;    // show the plan, write nothing
        bool verify = false;    // read every written slot back
    };
    int upload(const QString &device, int slot, const QStringList &files,
               const UploadOptions &options);
    int show(const QStringList &files);
    int events(const QStringList &files);
    // What changed from OLDER to NEWER: both files' events, paired, and the
    // largest difference between the traces.
    int compare(const QString &older, const QString &newer);
    int exportCsv(const QString &file, const QString &out);
    // Each option changes what it names; none shows the labels as they are.
    struct LabelChange
    {
        std::optional<QString> cable;
        std::optional<QString> note;
        bool clear = false; // the label goes, before the others apply
    };
    int label(const QStringList &files, const LabelChange &change);

    // Ctrl-C or SIGTERM: the transfer stops after the record in flight.
    void interrupt();

    // Errors go to stderr; with --json they also make the one document on
    // stdout when the command printed none (see finish).
    static void setJson(bool json);
    static void printError(const QString &text);
    // With --json and no document printed yet: {"error": ..., "exit": status}.
    static int finish(int status);
    // Stdout carries the command's own output (CSV): no JSON document after it.
    static void markOutputWritten();

private:
    QList<QBluetoothServiceInfo> discover(bool all);
    // The instrument's service, or an exit status (with its message printed).
    // DEVICE is an address, a name in any case, or a serial number; empty
    // means the remembered instrument. An instrument found by its serial
    // number is left connected.
    int resolve(const QString &device, QBluetoothServiceInfo *service);
    // Connects and waits for both identity answers; false when the link failed
    // (m_linkProblem says why) or the user interrupted.
    bool identify(const QBluetoothServiceInfo &service);
    // Connects and waits for the identity; an exit status on failure.
    int open(const QString &device);
    // Runs the event loop until `done` holds; false when interrupted.
    bool waitUntil(const std::function<bool()> &done);
    // Opens the device and asks for its list of records; an exit status.
    int listRecords(const QString &device, QList<protocol::RecordEntry> *entries);
    // Prints which file goes to which slot (`printPlan`), and the held slots
    // when `refused`; an exit status.
    int showPlan(const InstrumentSession::UploadPlan &plan, bool printPlan, bool refused);
    void progress(const QString &text);
    void print(const QString &text);
    static void printJson(const QJsonValue &value);
    // Reads each file, saying which cannot be read; `use` prints one trace, or
    // gives its JSON, which goes out as one array.
    int eachTrace(const QStringList &files,
                  const std::function<QJsonValue(const QString &, const protocol::Trace &)> &use);
    // The events of a trace as `show` and `events` print them.
    void printEvents(const protocol::Trace &trace);
    void printLabel(const CableLabel &label);
    static QJsonValue labelJson(const CableLabel &label); // null when there is none
    // The labels of the folder a file is in; one book per folder, each read
    // once however many of its files the command names.
    LabelBook &labelBook(const QString &path);

    CliOptions m_options;
    bt::BluetoothStack &m_stack;
    RecordStore m_store; // the directory records are downloaded into
    InstrumentSession m_session;
    bool m_interrupted = false;
    bool m_watching = false;
    int m_interrupts = 0;
    bool m_linkFailed = false;
    QString m_linkProblem;
    QString m_progressLine; // shown on stderr, erased before anything else is written
    std::map<QString, LabelBook> m_labelBooks; // by folder
};
