// SPDX-License-Identifier: GPL-3.0-or-later
#include "bluetooth/emulator/waveform.h"

#include "protocol/frame.h"
#include "protocol/tdrrecord.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace emu {

namespace {

constexpr double kHalfLightSpeed = 299.79245;

// Divisors whose step does not survive the float arithmetic of an upload.
constexpr std::array<int, 10> kUnstableDivisors{15, 30, 60, 113, 120, 221, 226, 235, 240, 245};

constexpr int kUndershootValue = 0x0A;

} // namespace

double distanceStep(int stepDivisor)
{
    return kHalfLightSpeed / (2.0 * std::max(stepDivisor, 1));
}

int defaultStepDivisor(double range)
{
    const double coverage = kWaveformSamples * kHalfLightSpeed / 2.0;
    int divisor = range > 0 ? int(std::floor(coverage / range)) : 255;
    divisor = std::clamp(divisor, 1, 255);
    while (divisor > 1 && std::find(kUnstableDivisors.cbegin(), kUnstableDivisors.cend(),
                                    divisor) != kUnstableDivisors.cend())
        --divisor;
    return divisor;
}

CableParams cableFor(const WaveformParams &params)
{
    CableParams cable;
    cable.step = params.step > 0 ? params.step : 1.0;
    cable.samples = kWaveformSamples;
    cable.launchTime = kLaunchTime;
    cable.launchHeight = 110;
    cable.launchWidth = 1.3;
    cable.riseTime = 0.6;
    cable.tailShare = 0.12;
    cable.tailTime = 15;
    cable.sourceReflection = 0.1;
    cable.attenuation = 0.6 / kWaveformSamples;
    cable.dispersion = 1.5 / kWaveformSamples;
    cable.baseline = kWaveformBaseline;
    cable.acTime = 150;
    cable.noise = std::max(0.0, params.noise);
    cable.seed = params.seed;
    for (const Fault &fault : params.faults)
        cable.faults.append(
            {fault.distance,
             (fault.kind == FaultKind::Open ? 1.0 : -1.0) * std::clamp(fault.strength, 0.0, 1.0),
             0.0});
    cable.length = params.cableLength;
    cable.end = params.cableLength > 0 ? FarEnd::Open : FarEnd::Beyond;
    return cable;
}

QByteArray synthesiseWaveform(const WaveformParams &params)
{
    QByteArray samples = drawCable(cableFor(params)).samples;
    // The launch's undershoot passes through 0x0A and the next sample climbs
    // into 0x40..0x46: every record block therefore holds a byte that looks
    // like the start of a frame just after a 0x0A.
    samples[kUndershootSample] = char(kUndershootValue);
    samples[kUndershootSample + 1] = char(0x40 + int(params.seed % 7));
    return samples;
}

QByteArray downloadedImage(const WaveformParams &params)
{
    QByteArray block(protocol::kRecordBlockLength, '\0');
    block[0] = char(TDRCommand::ReadRecord);
    block[16] = char(std::lround(kHalfLightSpeed / (2.0 * params.step)));
    const QByteArray samples = synthesiseWaveform(params);
    block.replace(33, samples.size(), samples);
    TDRRecord record = protocol::emptyRecord();
    protocol::applyRecordBlock(record, block);
    return protocol::recordBytes(record);
}

protocol::Trace downloadedTrace(const WaveformParams &params)
{
    return protocol::readTrace(downloadedImage(params), QStringLiteral("emulated.tdr")).trace;
}

} // namespace emu
