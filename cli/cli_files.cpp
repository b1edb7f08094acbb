// SPDX-License-Identifier: GPL-3.0-or-later
// The commands that move records: download, upload; and those that read
// record files: show, export.
#include "cli/cli.h"

#include "common/appsettings.h"
#include "protocol/compare.h"
#include "protocol/events.h"
#include "protocol/trace.h"
#include "records/labelbook.h"
#include "records/outputfile.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QSet>
#include <QSettings>

#include <algorithm>
#include <cstdio>

namespace {

QJsonObject summaryJson(const InstrumentSession::Summary &summary)
{
    return {{QStringLiteral("total"), summary.total},
            {QStringLiteral("done"), summary.done},
            {QStringLiteral("failed"), summary.failed},
            {QStringLiteral("not_done"), summary.notDone},
            {QStringLiteral("cancelled"), summary.cancelled},
            {QStringLiteral("text"), summary.text}};
}

} // namespace

namespace {

// The directories `mkpath` would make for `path`, deepest first.
QStringList missingDirectories(const QString &path)
{
    QStringList missing;
    QFileInfo info(QDir::cleanPath(QDir(path).absolutePath()));
    while (!info.exists() && !info.isRoot()) {
        missing.append(info.absoluteFilePath());
        info = QFileInfo(info.absolutePath());
    }
    return missing;
}

} // namespace

int Cli::download(const QString &device, bool all, bool onlyNew, const QList<int> &numbers,
                  const QString &dir)
{
    QString directory = dir;
    if (directory.isEmpty()) {
        QSettings settings(appsettings::organization(), appsettings::application());
        directory = RecordStore::savedDirectory(settings);
    }
    // The directory is made once records are on their way, not for a
    // command that fails before; whether it can be is known now.
    const QStringList missingDirs = missingDirectories(directory);
    const QFileInfo existing(missingDirs.isEmpty() ? directory
                                                   : QFileInfo(missingDirs.last()).absolutePath());
    if (!existing.isDir() || !existing.isWritable()) {
        printError(tr("cannot create the directory %1").arg(directory));
        return ExitUsage;
    }
    m_store.setDirectory(directory);

    QList<protocol::RecordEntry> entries;
    const int listed = listRecords(device, &entries);
    if (listed != ExitDone)
        return listed;

    QSet<int> stored;
    for (const protocol::RecordEntry &entry : qAsConst(entries))
        stored.insert(entry.number());
    QList<quint8> wanted;
    QJsonArray missing;
    if (all || onlyNew) {
        const quint32 serial = m_session.identity().serialNumber;
        for (const protocol::RecordEntry &entry : qAsConst(entries)) {
            if (all || !m_store.isOnDisk(entry, serial))
                wanted.append(entry.number());
        }
    } else {
        for (int number : numbers) {
            if (wanted.contains(quint8(number)))
                continue;
            if (stored.contains(number)) {
                wanted.append(quint8(number));
            } else {
                missing.append(number);
                printError(tr("record %1 is not in the instrument").arg(number));
            }
        }
    }
    if (!wanted.isEmpty() && !QDir().mkpath(directory)) {
        printError(tr("cannot create the directory %1").arg(directory));
        return ExitUsage;
    }

    // A record answered twice is one record saved. Any record that answers a
    // read is listed under its own number, as its file is named.
    QJsonArray saved;
    QSet<int> savedNumbers;
    QJsonArray failed;
    QObject::connect(&m_session, &InstrumentSession::recordSaved,
                     [&](quint8 number, const QString &fileName) {
                         const QJsonObject item{{QStringLiteral("number"), number},
                                                {QStringLiteral("file"), fileName}};
                         if (savedNumbers.contains(number))
                             return;
                         savedNumbers.insert(number);
                         saved.append(item);
                         if (!m_options.json)
                             print(m_store.pathOf(fileName));
                     });
    QObject::connect(&m_session, &InstrumentSession::recordFailed,
                     [&](quint8 number, const QString &message) {
                         failed.append(QJsonObject{{QStringLiteral("number"), number},
                                                   {QStringLiteral("error"), message}});
                     });
    QObject::connect(&m_session, &InstrumentSession::progress, [&](int done, int total) {
        progress(tr("%1 of %2 records").arg(done).arg(total));
    });
    bool finished = wanted.isEmpty();
    InstrumentSession::Summary summary;
    if (wanted.isEmpty() && !entries.isEmpty() && missing.isEmpty())
        summary.text =
            (entries.size() == 1
                 ? tr("Nothing new to download (1 record already in %1).")
                 : tr("Nothing new to download (%1 records already in %2).").arg(entries.size()))
                .arg(QDir::toNativeSeparators(directory));
    else if (entries.isEmpty())
        summary.text = tr("The instrument holds no records.");
    QObject::connect(&m_session, &InstrumentSession::chainFinished,
                     [&](const InstrumentSession::Summary &s) {
                         summary = s;
                         finished = true;
                     });
    m_session.download(wanted);
    while (!waitUntil([&] { return finished; })) {
        // Interrupted: the record in flight is still saved; the chain ends
        // with it.
        m_interrupted = false;
        m_session.cancel();
    }
    progress(QString());
    if (saved.isEmpty()) {
        // Nothing arrived: leave no trace of the attempt.
        for (const QString &made : missingDirs)
            QDir().rmdir(made);
    }

    if (m_options.json) {
        QJsonObject result = summaryJson(summary);
        result.insert(QStringLiteral("directory"), directory);
        result.insert(QStringLiteral("saved"), saved);
        result.insert(QStringLiteral("failed"), failed);
        result.insert(QStringLiteral("missing"), missing);
        printJson(result);
    } else if (!summary.text.isEmpty() && !m_options.quiet) {
        std::fprintf(stderr, "%s\n", qPrintable(summary.text));
    }
    if (summary.linkLost || summary.gaveUp)
        return ExitNoDevice;
    return summary.complete() && missing.isEmpty() ? ExitDone : ExitPartly;
}

int Cli::upload(const QString &device, int slot, const QStringList &files,
                const UploadOptions &options)
{
    // The list first: which of the planned slots hold records.
    QList<protocol::RecordEntry> entries;
    const int listed = listRecords(device, &entries);
    if (listed != ExitDone)
        return listed;
    const InstrumentSession::UploadPlan plan = m_session.planUpload(files, slot);
    const QList<int> occupied = plan.occupiedSlots();
    const bool refused = !occupied.isEmpty() && !options.overwrite;
    if (options.dryRun || refused)
        return showPlan(plan, options.dryRun, refused);

    bool finished = false;
    InstrumentSession::Summary summary;
    QObject::connect(&m_session, &InstrumentSession::chainFinished,
                     [&](const InstrumentSession::Summary &s) {
                         summary = s;
                         finished = true;
                     });
    QObject::connect(&m_session, &InstrumentSession::progress, [&](int done, int total) {
        progress(tr("%1 of %2 files").arg(done).arg(total));
    });
    m_session.setReadBackUploads(options.verify);
    const InstrumentSession::UploadPlan sent = m_session.upload(plan);
    if (sent.queued == 0) {
        summary.skipped = plan.skipped;
        summary.text = plan.notes;
        finished = true;
    }
    while (!waitUntil([&] { return finished; })) {
        m_interrupted = false;
        m_session.cancel();
    }
    waitUntil([&] { return m_linkFailed || !m_session.isBusy(); });
    progress(QString());

    if (m_options.json) {
        QJsonObject result = summaryJson(summary);
        result.insert(QStringLiteral("first_slot"), slot);
        result.insert(QStringLiteral("skipped"), QJsonArray::fromStringList(plan.skipped));
        QJsonArray unconfirmed;
        for (int number : qAsConst(summary.unconfirmed))
            unconfirmed.append(number);
        result.insert(QStringLiteral("unconfirmed"), unconfirmed);
        printJson(result);
    } else if (!m_options.quiet) {
        std::fprintf(stderr, "%s\n", qPrintable(summary.text));
    }
    if (summary.linkLost || summary.gaveUp)
        return ExitNoDevice;
    return summary.complete() && sent.queued > 0 ? ExitDone : ExitPartly;
}

int Cli::showPlan(const InstrumentSession::UploadPlan &plan, bool printPlan, bool refused)
{
    QJsonArray items;
    QJsonArray occupied;
    for (const InstrumentSession::UploadPlan::Item &item : plan.items) {
        items.append(QJsonObject{{QStringLiteral("file"), item.path},
                                 {QStringLiteral("slot"), item.slot},
                                 {QStringLiteral("occupied"), item.occupied}});
        if (item.occupied)
            occupied.append(item.slot);
        if (printPlan && !m_options.json)
            print(item.occupied ? tr("%1 → slot %2 (holds a record)").arg(item.path).arg(item.slot)
                                : tr("%1 → slot %2").arg(item.path).arg(item.slot));
    }
    if (m_options.json)
        printJson(QJsonObject{{QStringLiteral("plan"), items},
                              {QStringLiteral("occupied"), occupied},
                              {QStringLiteral("skipped"), QJsonArray::fromStringList(plan.skipped)},
                              {QStringLiteral("written"), 0}});
    if (!plan.notes.isEmpty())
        printError(plan.notes);
    if (refused) {
        QStringList numbers;
        for (const QJsonValue &number : qAsConst(occupied))
            numbers.append(QString::number(number.toInt()));
        printError(tr("slots that hold records: %1; nothing was written (--overwrite replaces "
                      "them)")
                       .arg(numbers.join(QStringLiteral(", "))));
        return ExitPartly;
    }
    return plan.skipped.isEmpty() && !plan.items.isEmpty() ? ExitDone : ExitPartly;
}

int Cli::eachTrace(const QStringList &files,
                   const std::function<QJsonValue(const QString &, const protocol::Trace &)> &use)
{
    int status = ExitDone;
    QJsonArray array;
    for (const QString &path : files) {
        const protocol::TraceResult result = protocol::readTrace(path);
        if (!result.ok()) {
            printError(result.error);
            status = ExitPartly;
            if (m_options.json)
                array.append(QJsonObject{{QStringLiteral("file"), path},
                                         {QStringLiteral("error"), result.error}});
            continue;
        }
        const QJsonValue value = use(path, result.trace);
        if (m_options.json)
            array.append(value);
    }
    if (m_options.json)
        printJson(array);
    return status;
}

int Cli::show(const QStringList &files)
{
    return eachTrace(files, [this](const QString &path, const protocol::Trace &t) -> QJsonValue {
        const CableLabel label = labelBook(path).label(QFileInfo(path).absoluteFilePath());
        if (m_options.json) {
            const QJsonObject events =
                protocol::eventsJson(path, double(t.distanceStep), protocol::detectEvents(t));
            return QJsonObject{{QStringLiteral("file"), path},
                               {QStringLiteral("date"), protocol::traceDateText(t)},
                               {QStringLiteral("time"), protocol::traceTimeText(t)},
                               {QStringLiteral("range_m"), qint64(t.range)},
                               {QStringLiteral("length_m"), double(t.length)},
                               {QStringLiteral("step_m"), double(t.distanceStep)},
                               {QStringLiteral("serial"), protocol::traceSerialText(t)},
                               {QStringLiteral("samples"), t.points.size()},
                               {QStringLiteral("label"), labelJson(label)},
                               {QStringLiteral("events"), events.value(QLatin1String("events"))},
                               {QStringLiteral("end"), events.value(QLatin1String("end"))}};
        }
        print(path);
        printLabel(label);
        print(tr("  date and time: %1 %2")
                  .arg(protocol::traceDateText(t), protocol::traceTimeText(t)));
        print(tr("  range: %1 m").arg(t.range));
        print(tr("  length: %1 m").arg(double(t.length), 0, 'g', 6));
        print(tr("  step: %1 m").arg(protocol::distanceText(double(t.distanceStep))));
        print(tr("  serial number: %1").arg(protocol::traceSerialText(t)));
        print(tr("  samples: %1").arg(t.points.size()));
        printEvents(t);
        return {};
    });
}

int Cli::events(const QStringList &files)
{
    return eachTrace(files, [this](const QString &path, const protocol::Trace &t) -> QJsonValue {
        if (m_options.json)
            return protocol::eventsJson(path, double(t.distanceStep), protocol::detectEvents(t));
        print(path);
        printEvents(t);
        return {};
    });
}

int Cli::compare(const QString &olderPath, const QString &newerPath)
{
    const protocol::TraceResult older = protocol::readTrace(olderPath);
    const protocol::TraceResult newer = protocol::readTrace(newerPath);
    for (const protocol::TraceResult *result : {&older, &newer})
        if (!result->ok())
            printError(result->error);
    if (!older.ok() || !newer.ok())
        return ExitPartly;
    const protocol::TraceComparison comparison = protocol::compareTraces(older.trace, newer.trace);
    if (m_options.json) {
        printJson(
            protocol::comparisonJson(olderPath, newerPath, older.trace, newer.trace, comparison));
        return comparison.comparable ? ExitDone : ExitPartly;
    }
    print(tr("older: %1").arg(olderPath));
    print(tr("newer: %1").arg(newerPath));
    if (!comparison.comparable) {
        printError(comparison.problem);
        print(olderPath);
        printEvents(older.trace);
        print(newerPath);
        printEvents(newer.trace);
        return ExitPartly;
    }
    if (comparison.pairs.isEmpty())
        print(tr("  no events above the noise in either trace"));
    for (int i = 0; i < comparison.pairs.size(); ++i) {
        const protocol::EventPair &pair = comparison.pairs.at(i);
        const bool newest = pair.newer.has_value();
        const protocol::EventAnalysis &analysis = newest ? comparison.newer : comparison.older;
        const protocol::TraceEvent &e = analysis.events.at(newest ? *pair.newer : *pair.older);
        QString change = protocol::eventChangeText(pair);
        if (pair.change == protocol::EventChange::Moved)
            change = tr("%1 (was %2)")
                         .arg(change,
                              protocol::eventDistanceText(comparison.older.events.at(*pair.older)));
        print(tr("  event %1: %2  %3  %4  %5")
                  .arg(i + 1)
                  .arg(protocol::eventDistanceText(e), protocol::eventKindText(e.kind),
                       protocol::eventStrengthText(analysis, e), change));
    }
    const auto largest = std::max_element(
        comparison.difference.cbegin(), comparison.difference.cend(),
        [](const QPointF &a, const QPointF &b) { return std::abs(a.y()) < std::abs(b.y()); });
    print(tr("  largest difference: %1 levels at %2 m (newer minus older, every %3 m%4)")
              .arg(QString::number(largest->y(), 'f', 0), protocol::distanceText(largest->x(), 1),
                   protocol::distanceText(comparison.gridStep, 3),
                   comparison.resampled ? tr(", resampled") : QString()));
    return ExitDone;
}

void Cli::printEvents(const protocol::Trace &trace)
{
    const protocol::EventAnalysis analysis = protocol::detectEvents(trace);
    if (!analysis.launchFound)
        print(tr("  no launch pulse: strengths are levels off the baseline, distances are from "
                 "the start of the trace"));
    if (analysis.events.isEmpty())
        print(tr("  no events above the noise"));
    for (int i = 0; i < analysis.events.size(); ++i) {
        const protocol::TraceEvent &e = analysis.events.at(i);
        print(tr("  event %1: %2  %3  %4")
                  .arg(i + 1)
                  .arg(protocol::eventDistanceText(e), protocol::eventKindText(e.kind),
                       protocol::eventStrengthText(analysis, e)));
    }
    print(analysis.end ? tr("  cable end: %1")
                             .arg(protocol::eventDistanceText(
                                 *std::find_if(analysis.events.cbegin(), analysis.events.cend(),
                                               [](const protocol::TraceEvent &e) {
                                                   return e.kind == protocol::EventKind::EndOpen ||
                                                          e.kind == protocol::EventKind::EndShort;
                                               })))
                       : tr("  cable end: no end within the trace"));
}

int Cli::exportCsv(const QString &file, const QString &out)
{
    const protocol::TraceResult result = protocol::readTrace(file);
    if (!result.ok()) {
        printError(result.error);
        return ExitPartly;
    }
    const QByteArray csv = protocol::traceCsv(protocol::alignedAtLaunch(result.trace)).toUtf8();
    const QString target = out.isEmpty() ? QStringLiteral("-") : out;
    if (target == QLatin1String("-"))
        markOutputWritten();
    const QString error = OutputFile::write(target, csv, OutputFile::Place::Named, QIODevice::Text);
    if (!error.isEmpty()) {
        printError(tr("cannot write %1: %2").arg(target, error));
        return ExitPartly;
    }
    return ExitDone;
}
