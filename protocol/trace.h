// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointF>
#include <QString>
#include <QVector>

namespace protocol {

// The part of a record image that a person reads: who measured, when, with
// which settings, and the samples placed against distance.
struct Trace
{
    QString fileName; // without directory
    quint16 model = 0;
    quint32 serialNumber = 0;
    int year = 0; // four digits: the image keeps two, the century is 20
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    quint32 range = 0;       // metres
    float length = 0;        // metres
    float distanceStep = 0;  // metres between two samples
    QVector<QPointF> points; // x: distance in metres, y: sample value 0..255
    // Where distance 0 lies on the file's axis, in metres: sample i is at
    // i * step - origin. The viewer puts it at the launch pulse's toe.
    double origin = 0;

    double maxDistance() const { return points.isEmpty() ? 0.0 : points.constLast().x(); }
    // The sample nearest to `distance` (clamped to the trace), -1 when empty.
    int indexAt(double distance) const;
};

struct TraceResult
{
    Trace trace;
    QString error; // translated; empty when `trace` is valid
    bool ok() const { return error.isEmpty(); }
};

// Steps outside [kMinDistanceStep, kMaxTraceLength / 249] are refused.
constexpr double kMinDistanceStep = 0.001; // metres
constexpr double kMaxTraceLength = 1e6;    // metres

TraceResult readTrace(const QString &path);
// `name` is what messages and the trace call the content (a file name).
TraceResult readTrace(const QByteArray &content, const QString &name);

// "2021-02-18"
QString traceDateText(const Trace &trace);
// "12:30:45"
QString traceTimeText(const Trace &trace);
// "001234"
QString traceSerialText(const Trace &trace);
// "2021-02-18 12:30:45 · range 100 m · length 1.5 m · step 1.499 m · sn 001234"
QString traceSummary(const Trace &trace);
// A short name for legends: "#007 2021-02-18 12:30:45" for a file named the
// way a download names it, the file name without ".tdr" otherwise.
QString traceShortName(const Trace &trace);

// A '#'-commented header with the record's fields, then "distance_m,value"
// and one line per sample. Numbers always use '.' as decimal separator.
QString traceCsv(const Trace &trace);

// Several traces side by side: the header fields of each, numbered
// ("# file_2: ..."), then "distance_m,value_1,value_2..." with one value
// column per trace. One trace gives traceCsv's text; traces whose samples
// do not lie at the same distances give an empty string.
QString tracesCsv(const QVector<Trace> &traces);

// Distances as shown to people and written to CSV files, independent of the
// locale: "373.2416".
QString distanceText(double metres, int decimals = 4);

} // namespace protocol
