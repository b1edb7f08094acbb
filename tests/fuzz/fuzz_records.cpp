// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to what reads a record file and turns it into a
// trace: the file reader, the trace and its CSV, event detection (on the
// trace and on raw samples with any step) and the cursor readout. Besides the
// sanitizers, it checks properties that must hold for any input.

#include "app/waveform/measurement.h"
#include "fuzzcheck.h"
#include "protocol/events.h"
#include "protocol/tdrrecord.h"
#include "protocol/trace.h"

#include <QDir>
#include <QFile>

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

void checkEvents(const protocol::EventAnalysis &analysis, double length)
{
    double last = -1;
    for (const protocol::TraceEvent &event : analysis.events) {
        FUZZ_CHECK(std::isfinite(event.distance) && std::isfinite(event.strength));
        FUZZ_CHECK(event.uncertainty > 0 && event.uncertainty < length &&
                   event.peak >= event.distance);
        FUZZ_CHECK(event.distance >= last && event.distance >= 0 && event.distance <= length);
        FUZZ_CHECK(event.strength >= 0 && event.height != 0);
        last = event.distance;
    }
}

void checkTrace(const protocol::TraceResult &result)
{
    if (!result.ok()) {
        FUZZ_CHECK(result.trace.points.isEmpty());
        return;
    }
    const protocol::Trace &trace = result.trace;
    FUZZ_CHECK(trace.points.size() == 250);
    FUZZ_CHECK(trace.distanceStep >= protocol::kMinDistanceStep);
    FUZZ_CHECK(trace.maxDistance() <= protocol::kMaxTraceLength);
    for (int i = 1; i < trace.points.size(); ++i)
        FUZZ_CHECK(trace.points.at(i).x() > trace.points.at(i - 1).x());
    FUZZ_CHECK(protocol::traceCsv(trace).count(QLatin1Char('\n')) == 9 + 1 + 250);
    checkEvents(protocol::detectEvents(trace), trace.maxDistance());

    Measurement measurement;
    measurement.setTraces({trace});
    const double at = trace.points.at(trace.points.size() / 2).y() * trace.distanceStep;
    measurement.setCursor(at);
    measurement.setReference(-at);
    FUZZ_CHECK(measurement.readoutText().startsWith(QLatin1String("Cursor: ")));
    FUZZ_CHECK(*measurement.stepped(300, 0) == trace.maxDistance());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), int(size));

    // As given, then padded or cut to a record's size, so that the fields of
    // a whole image get explored and not only its length check.
    checkTrace(protocol::readTrace(input, QStringLiteral("fuzz.tdr")));
    QByteArray image = input.left(protocol::kRecordImageSize);
    image.append(QByteArray(protocol::kRecordImageSize - image.size(), '\x80'));
    checkTrace(protocol::readTrace(image, QStringLiteral("fuzz.tdr")));

    // The same through a file.
    static const QString path = QDir::temp().filePath(QStringLiteral("varnel-fuzz-records.tdr"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(size % 2 ? input : image);
        file.close();
        checkTrace(protocol::readTrace(path));
    }

    // Raw samples with whatever step the first eight bytes make.
    if (size >= 8) {
        double step;
        std::memcpy(&step, data, sizeof step);
        QVector<double> samples;
        for (size_t i = 8; i < size && samples.size() < 4096; ++i)
            samples.append(data[i]);
        const protocol::EventAnalysis analysis = protocol::detectEvents(samples, step);
        if (std::isfinite(step) && step > 0)
            checkEvents(analysis, step * samples.size());
        else
            FUZZ_CHECK(analysis.events.isEmpty());
    }
    return 0;
}
