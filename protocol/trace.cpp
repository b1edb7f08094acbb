// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/trace.h"

#include "protocol/filename.h"
#include "protocol/tdrrecord.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cmath>

namespace protocol {

namespace {

// A class of its own, so that lupdate files these texts under the context
// they are looked up in; a plain tr() inside the namespace would land in
// "protocol".
struct TraceText
{
    Q_DECLARE_TR_FUNCTIONS(Trace)
};

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

// Shortest text that reads back as the same float: 1.5, 1.4989623.
QString floatText(float value)
{
    for (int precision = 6; precision < 9; ++precision) {
        const QString text = QString::number(double(value), 'g', precision);
        if (text.toFloat() == value)
            return text;
    }
    return QString::number(double(value), 'g', 9);
}

} // namespace

int Trace::indexAt(double distance) const
{
    if (points.isEmpty())
        return -1;
    if (!(distanceStep > 0) || !std::isfinite(distance))
        return 0;
    const double index = std::round((distance + origin) / double(distanceStep));
    return int(qBound(0.0, index, double(points.size() - 1)));
}

TraceResult readTrace(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    QFile file;
    QString error;
    bool notRegular = false;
    // A FIFO or a device (or a link to one) could block the read for ever.
    if (!openForReading(file, path, &error, &notRegular)) {
        TraceResult result;
        result.trace.fileName = name;
        result.error = notRegular ? TraceText::tr("%1 is not a regular file.").arg(name)
                                  : TraceText::tr("Cannot read %1: %2.").arg(name, error);
        return result;
    }
    // A file far larger than a record is refused without reading it whole.
    if (file.size() > kRecordImageSize) {
        TraceResult result;
        result.trace.fileName = name;
        result.error = TraceText::tr("%1 is not a TDR record: it has %2 bytes, a record has %3.")
                           .arg(name)
                           .arg(file.size())
                           .arg(kRecordImageSize);
        return result;
    }
    const QByteArray content = file.read(kRecordImageSize);
    if (file.error() != QFileDevice::NoError) {
        TraceResult result;
        result.trace.fileName = name;
        result.error = TraceText::tr("Cannot read %1: %2.").arg(name, file.errorString());
        return result;
    }
    return readTrace(content, name);
}

TraceResult readTrace(const QByteArray &content, const QString &name)
{
    TraceResult result;
    Trace &trace = result.trace;
    trace.fileName = name;
    if (content.isEmpty()) {
        result.error = TraceText::tr("%1 is empty: a TDR record has %2 bytes.")
                           .arg(name)
                           .arg(kRecordImageSize);
        return result;
    }
    if (content.size() != kRecordImageSize) {
        result.error = TraceText::tr("%1 is not a TDR record: it has %2 bytes, a record has %3.")
                           .arg(name)
                           .arg(content.size())
                           .arg(kRecordImageSize);
        return result;
    }

    const TDRRecord record = recordFromBytes(content);
    trace.model = record.model;
    trace.serialNumber = record.serialNumber;
    trace.year = 2000 + record.year;
    trace.month = record.month;
    trace.day = record.day;
    trace.hour = record.hour;
    trace.minute = record.minute;
    trace.second = record.second;
    trace.range = record.range;
    trace.length = record.length;
    trace.distanceStep = record.distanceStep;

    // A record downloaded with a step divisor of 0 has step 0: every sample
    // would sit at distance 0, which is no plot at all. An instrument's step
    // lies between about 0.6 m and 150 m; a millimetre, or a trace longer
    // than 1,000 km, is no cable the samples could describe.
    const float step = trace.distanceStep;
    const int count = int(sizeof record.samples);
    if (!std::isfinite(step) || !(step >= kMinDistanceStep) ||
        double(step) * (count - 1) > kMaxTraceLength) {
        result.error =
            TraceText::tr("%1 has no usable distance step (%2 m): its samples cannot be placed "
                          "against distance.")
                .arg(name, QString::number(double(step)));
        return result;
    }

    trace.points.reserve(count);
    for (int i = 0; i < count; ++i)
        trace.points.append(QPointF(i * double(step), record.samples[i]));
    return result;
}

QString traceDateText(const Trace &trace)
{
    return QStringLiteral("%1-%2-%3")
        .arg(trace.year, 4, 10, QLatin1Char('0'))
        .arg(twoDigits(trace.month), twoDigits(trace.day));
}

QString traceTimeText(const Trace &trace)
{
    return QStringLiteral("%1:%2:%3")
        .arg(twoDigits(trace.hour), twoDigits(trace.minute), twoDigits(trace.second));
}

QString traceSerialText(const Trace &trace)
{
    return QStringLiteral("%1").arg(trace.serialNumber, 6, 10, QLatin1Char('0'));
}

QString traceSummary(const Trace &trace)
{
    return TraceText::tr("%1 %2 · range %3 m · length %4 m · step %5 m · sn %6")
        .arg(traceDateText(trace), traceTimeText(trace), QString::number(trace.range),
             QString::number(double(trace.length), 'g', 6),
             distanceText(double(trace.distanceStep), 3), traceSerialText(trace));
}

QString traceShortName(const Trace &trace)
{
    static const QRegularExpression downloadName(QStringLiteral("^(#\\d+) "));
    const QRegularExpressionMatch match = downloadName.match(trace.fileName);
    if (match.hasMatch())
        return QStringLiteral("%1 %2 %3")
            .arg(match.captured(1), traceDateText(trace), traceTimeText(trace));
    QString name = trace.fileName;
    if (name.endsWith(QLatin1String(".tdr"), Qt::CaseInsensitive))
        name.chop(4);
    return name;
}

QString distanceText(double metres, int decimals)
{
    return QString::number(metres, 'f', decimals);
}

namespace {

void csvHeader(QString &csv, const Trace &trace, const QString &suffix)
{
    // A file name could hold a line break; it must not break the header.
    QString fileName = trace.fileName;
    fileName.replace(QLatin1Char('\n'), QLatin1Char(' '))
        .replace(QLatin1Char('\r'), QLatin1Char(' '));
    const auto field = [&](const char *key, const QString &value) {
        csv += QStringLiteral("# %1%2: %3\n").arg(QLatin1String(key), suffix, value);
    };
    field("file", fileName);
    field("serial_number", traceSerialText(trace));
    field("model", QString::number(trace.model));
    field("date", traceDateText(trace));
    field("time", traceTimeText(trace));
    field("range_m", QString::number(trace.range));
    field("length_m", floatText(trace.length));
    field("distance_step_m", floatText(trace.distanceStep));
    field("points", QString::number(trace.points.size()));
    field("distance_zero_m", distanceText(trace.origin));
}

} // namespace

QString traceCsv(const Trace &trace)
{
    return tracesCsv({trace});
}

QString tracesCsv(const QVector<Trace> &traces)
{
    if (traces.isEmpty())
        return QString();
    for (const Trace &trace : traces)
        if (trace.distanceStep != traces.first().distanceStep ||
            trace.points.size() != traces.first().points.size() ||
            trace.origin != traces.first().origin)
            return QString();
    const bool one = traces.size() == 1;
    QString csv;
    QStringList columns{QStringLiteral("distance_m")};
    for (int t = 0; t < traces.size(); ++t) {
        const QString suffix = one ? QString() : QStringLiteral("_%1").arg(t + 1);
        csvHeader(csv, traces.at(t), suffix);
        columns << QStringLiteral("value") + suffix;
    }
    csv += columns.join(QLatin1Char(',')) + QLatin1Char('\n');
    for (int i = 0; i < traces.first().points.size(); ++i) {
        csv += distanceText(traces.first().points.at(i).x());
        for (const Trace &trace : traces) {
            csv += QLatin1Char(',');
            csv += QString::number(int(trace.points.at(i).y()));
        }
        csv += QLatin1Char('\n');
    }
    return csv;
}

} // namespace protocol
